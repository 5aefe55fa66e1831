#include "tessel/ui/ChildWindowPlace.h"
#include "tessel/ui/SkinViewer.h"
#include "tessel/ui/UndoActions.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/IniFile.h"
#include "mdl/Mdl.h"
#include "widgets/Icons.h"
#include "widgets/SurfaceWidget.h"

namespace {

constexpr const char* kView2D = "VIEW2D";
constexpr const char* kCaption = "Skin Texture Editor";

// One cursor per tool, from the program's cursor set.
constexpr TCursorId kToolCursors[9] = {13, 6, 6, 5, 3, 12, 15, 16, 14};

// The player colour rows a menu offers.
constexpr int kPlayerColors = 14;

}  // namespace

std::function<QString(QWidget*)> TSkinViewer::AskSnapshotFile = [](QWidget* parent) {
  QFileDialog dlg(parent, "Save Snapshot", QString(), "Bitmap Files (*.BMP *.bmp)");
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setDefaultSuffix("BMP");
  return dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty() ? dlg.selectedFiles().first() : QString();
};

std::function<void(QWidget*, const QString&)> TSkinViewer::ShowError = [](QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, kCaption, text);
};

// ---- construction ------------------------------------------------------------------------

TSkinViewer::TSkinViewer(QWidget* parent) : QWidget(parent) {
  setObjectName("SkinViewer");
  setWindowTitle(kCaption);
  setWindowIcon(ProgramIcon("skineditor"));
  resize(531, 452);

  ScrollBox_ = new QScrollArea(this);
  ScrollBox_->setObjectName("ScrollBox");
  ScrollBox_->setBackgroundRole(QPalette::Dark);
  BackPanel_ = new QWidget;
  BackPanel_->setObjectName("BackPanel2");
  ImageWidget_ = new SurfaceWidget(BackPanel_);
  ImageWidget_->setObjectName("SkinImage");
  ImageWidget_->SetAligned(false);
  ImageWidget_->move(2, 2);
  Image_ = std::make_unique<TMDLTextureImage>(nullptr, ImageWidget_);
  Image_->SetBackgroundColor(0);
  Image_->SetBitmapFitting(bfNone);
  Image_->SetBitmapWidth(160);
  Image_->SetBitmapHeight(100);
  Image_->SetAutoSizeZoomPctg(100);
  Image_->SetAutoSize(true);
  ImageWidget_->SetSurface(Image_.get());
  Image_->OnPaintSurface = [this](TWinGSurface&, TWinGBitmap&) { SizePanel(); };
  ScrollBox_->setWidget(BackPanel_);

  RepaintTimer_ = new QTimer(this);
  RepaintTimer_->setInterval(TMDLTextureImage::kRepaintInterval);
  connect(RepaintTimer_, &QTimer::timeout, this, [this] { Image_->RepaintTimerTick(); });
  Image_->OnRepaintTimer = [this](bool on) {
    if (on) RepaintTimer_->start();
    else RepaintTimer_->stop();
  };

  CreateToolBar();
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(ToolBar_);
  column->addWidget(ScrollBox_, 1);

  Image_->Loaded();
  BindObserver();
  try {
    TIniFile ini(SettingsFileName());
    ReadSettings(ini);
  } catch (const std::exception&) {
    TIniFile empty;
    ReadSettings(empty);
  }
  SetTool(0);
  UpdateCaption();
}

TSkinViewer::~TSkinViewer() {
  ImageWidget_->SetSurface(nullptr);
  Image_->SetHost(nullptr);
  Image_.reset();
}

void TSkinViewer::CreateToolBar() {
  ToolBar_ = new QToolBar(this);
  ToolBar_->setObjectName("SkinToolBar");
  ToolBar_->setIconSize(QSize(20, 20));
  ToolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  auto make = [this](const QString& name, const char* icon, const QString& hint, std::function<void()> run) {
    QAction* a = new QAction(hint, this);
    a->setObjectName(name);
    a->setIcon(ProgramIcon(icon));
    a->setToolTip(hint);
    a->setStatusTip(hint);
    connect(a, &QAction::triggered, this, [run] { run(); });
    ToolBar_->addAction(a);
    Actions_ << a;
    return a;
  };
  auto manySkins = [](TMDLEditor& e) { return e.SkinCount() >= 2; };
  make("SpeedButton2", "cut", "Cut", [this, manySkins] {
    Command([manySkins](TMDLEditor& e) {
      if (manySkins(e)) e.CutSkin();
    });
  });
  make("SpeedButton3", "copy", "Copy", [this] { Command([](TMDLEditor& e) { e.CopySkin(); }); });
  make("SpeedButton4", "paste", "Paste", [this] {
    Command([](TMDLEditor& e) {
      e.PasteSkin();
      e.SetCurrentSkin(e.CurrentSkin);
    });
  });
  make("SpeedButton1", "delete", "Delete", [this, manySkins] {
    Command([manySkins](TMDLEditor& e) {
      if (manySkins(e)) e.DeleteSkin();
    });
  });
  ToolBar_->addSeparator();
  auto undoRedo = [this](bool undo) {
    try {
      TMDLEditor& e = Image_->Editor();
      undo ? e.Undo() : e.Redo();
    } catch (const std::exception& ex) {
      ShowError(this, QString::fromUtf8(ex.what()));
    }
  };
  UndoAct_ = make("UndoBtn", "undo", "Undo", [undoRedo] { undoRedo(true); });
  RedoAct_ = make("RedoBtn", "redo", "Redo", [undoRedo] { undoRedo(false); });
  ShowUndoState(Image_->Editor(), UndoAct_, RedoAct_);
  ToolBar_->addSeparator();
  make("PrevSkinBtn", "prev", "Previous skin",
       [this] { PreviousSkin(); });
  make("NextSkinBtn", "next", "Next skin", [this] { NextSkin(); });
  ToolBar_->addSeparator();
  make("PaintTrianglesBtn", "paint-triangles", "Paint triangles on the current skin", [this] {
    Command([](TMDLEditor& e) {
      TUndoStep step(e, "Paint Triangles", e.CurrentSkin);
      e.Model->Skins->PaintTriangles(e.CurrentSkin);
      e.SetModified(true);
    });
  });
  make("RecalcSkinVtxBtn", "recalc-skin", "Recalculate the skin vertices",
       [this] { Command([](TMDLEditor& e) { e.RecalculateSkinVertices(); }); });
  make("RearrangeObjSkinBtn", "rearrange-skin", "Cut away unused pieces of skin",
       [this] { Command([](TMDLEditor& e) { e.RearrangeObjectSkins(); }); });
  ShowTrianglesAct_ = make("ShowTrianglesBtn", "show-triangles", "Toggle showing of triangle mesh",
                           [this] { Image_->SetShowTriangles(ShowTrianglesAct_->isChecked()); });
  ShowTrianglesAct_->setCheckable(true);
  ShowTrianglesAct_->setChecked(true);
  ToolBar_->addSeparator();

  auto menuButton = [this](const QString& name, const char* icon, const QString& hint, QMenu* menu) {
    auto* b = new QToolButton(ToolBar_);
    b->setObjectName(name);
    b->setIcon(ProgramIcon(icon));
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setMenu(menu);
    b->setPopupMode(QToolButton::InstantPopup);
    ToolBar_->addWidget(b);
  };
  auto colorMenu = [this](const QString& name, bool shirt) {
    auto* menu = new QMenu(this);
    menu->setObjectName(name);
    for (int i = 0; i < kPlayerColors; ++i) {
      QAction* a = menu->addAction(QString::number(i));
      a->setCheckable(true);
      connect(a, &QAction::triggered, this, [this, i, shirt] {
        Command([i, shirt](TMDLEditor& e) {
          if (shirt) e.SetShirtColor(static_cast<uint8_t>(i));
          else e.SetPantsColor(static_cast<uint8_t>(i));
        });
      });
    }
    connect(menu, &QMenu::aboutToShow, this, [this] { CheckMenus(); });
    return menu;
  };
  ShirtMenu_ = colorMenu("ShirtMenu", true);
  PantsMenu_ = colorMenu("PantsMenu", false);
  menuButton("ShirtCmdBtn", "shirt", "Select player shirt color", ShirtMenu_);
  menuButton("PantsCmdBtn", "pants", "Select player pants color", PantsMenu_);

  ZoomMenu_ = new QMenu(this);
  ZoomMenu_->setObjectName("ZoomMenu");
  for (int z = 100; z <= 1000; z += 100) {
    QAction* a = ZoomMenu_->addAction(QString("%1 %").arg(z));
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, a] {
      // The caption without " %"; 100 when it is no number.
      bool ok = false;
      const int percent = a->text().chopped(2).toInt(&ok);
      SetZoom(ok ? percent : 100);
    });
  }
  connect(ZoomMenu_, &QMenu::aboutToShow, this, [this] { CheckMenus(); });
  menuButton("ZoomCmdBtn", "zoom-in", "Change the zoom of the view", ZoomMenu_);

  SnapshotMenu_ = new QMenu(this);
  SnapshotMenu_->setObjectName("SnapShotMenu");
  QAction* clip = SnapshotMenu_->addAction("Snapshot to Clipboard");
  connect(clip, &QAction::triggered, this, [this] { SnapshotToClipboard(); });
  QAction* file = SnapshotMenu_->addAction("SnapshotToFile");
  connect(file, &QAction::triggered, this, [this] {
    if (!Image_->CanEdit()) return;
    const QString name = AskSnapshotFile(this);
    if (name.isEmpty()) return;
    try {
      SnapshotToFile(name);
    } catch (const std::exception& e) {
      ShowError(this, QString::fromUtf8(e.what()));
    }
  });
  Actions_ << clip << file;
  menuButton("SnapShotCmdBtn", "snapshot", "Take snapshots of the view", SnapshotMenu_);
}

void TSkinViewer::BindObserver() {
  auto change = [this](TMDLObserver*) { UpdateCaption(); };
  Observer_.OnCurrentSkinChange = change;
  Observer_.OnMDLChange = change;
  Observer_.OnPantsColorChange = change;
  Observer_.OnShirtColorChange = change;
  Observer_.OnSkinCountChange = change;
  Observer_.OnModifyChange = [this](TMDLObserver*, bool) { UpdateCaption(); };
  Observer_.OnHistoryChange = [this](TMDLObserver*) { ShowUndoState(Image_->Editor(), UndoAct_, RedoAct_); };
  Observer_.Loaded();
}

QAction* TSkinViewer::Action(const QString& text) const {
  for (QAction* a : Actions_)
    if (a->text().remove('&') == text || a->toolTip() == text) return a;
  for (QMenu* m : {ZoomMenu_, ShirtMenu_, PantsMenu_})
    for (QAction* a : m->actions())
      if (a->text() == text) return a;
  return nullptr;
}

void TSkinViewer::Command(const std::function<void(TMDLEditor&)>& f) {
  TMDLEditor& e = Image_->Editor();
  if (!e.IsValid()) return;
  try {
    f(e);
  } catch (const std::exception& ex) {
    ShowError(this, QString::fromUtf8(ex.what()));
  }
}

void TSkinViewer::CheckMenus() {
  TMDLEditor& e = Image_->Editor();
  for (QAction* a : ShirtMenu_->actions()) a->setChecked(e.IsValid() && a->text().toInt() == e.ShirtColor());
  for (QAction* a : PantsMenu_->actions()) a->setChecked(e.IsValid() && a->text().toInt() == e.PantsColor());
  for (QAction* a : ZoomMenu_->actions())
    a->setChecked(a->text() == QString("%1 %").arg(Image_->AutoSizeZoomPctg()));
}

// ---- tools, zoom, skins ---------------------------------------------------------------------

void TSkinViewer::SetTool(int tool) {
  if (tool < 0 || tool > 8) return;
  bool show = ShowTrianglesAct_->isChecked();
  // The vertex tool needs the mesh to be seen.
  if (tool == 1) show = true;
  Image_->SetShowTriangles(show);
  Image_->SetMode(static_cast<uint8_t>(tool));
  ImageWidget_->SetCursor(kToolCursors[tool]);
}

void TSkinViewer::SetZoom(int percent) {
  Image_->SetAutoSizeZoomPctg(std::clamp(percent, TMDLTextureImage::kMinZoom, TMDLTextureImage::kMaxZoom));
  CheckMenus();
  SizePanel();
}

void TSkinViewer::PreviousSkin() {
  Command([](TMDLEditor& e) { e.SetCurrentSkin(e.CurrentSkin - 1); });
}

void TSkinViewer::NextSkin() {
  Command([](TMDLEditor& e) { e.SetCurrentSkin(e.CurrentSkin + 1); });
}

QImage TSkinViewer::Snapshot() const {
  if (!Image_->CanEdit()) return {};
  return ImageOfBitmap(Image_->Bitmap());
}

void TSkinViewer::SnapshotToClipboard() {
  const QImage image = Snapshot();
  if (!image.isNull()) QGuiApplication::clipboard()->setImage(image);
}

void TSkinViewer::SnapshotToFile(const QString& fileName) {
  if (!Image_->CanEdit()) return;
  Image_->SaveToFile(fileName.toStdString());
}

// ---- caption, settings, closing -------------------------------------------------------------------

void TSkinViewer::UpdateCaption() {
  TMDLEditor& e = Image_->Editor();
  if (e.IsValid()) {
    setWindowTitle(QString(kCaption) + " - " + QString::fromStdString(e.SkinName(e.CurrentSkin)));
    Image_->UpdateSize();
  } else {
    setWindowTitle(kCaption);
    Image_->SetBitmapWidth(160);
    Image_->SetBitmapHeight(100);
  }
  SizePanel();
  ImageWidget_->update();
}

void TSkinViewer::SizePanel() {
  const QSize want(ImageWidget_->width() + 4, ImageWidget_->height() + 4);
  if (BackPanel_->size() != want) BackPanel_->resize(want);
}

void TSkinViewer::ReadSettings(TIniFile& ini) {
  SetZoom(ini.ReadInteger(kView2D, "ZoomPctg", Image_->AutoSizeZoomPctg()));
  ShowTrianglesAct_->setChecked(ini.ReadBool(kView2D, "ShowTriangles", ShowTrianglesAct_->isChecked()));
  Image_->SetShowTriangles(ShowTrianglesAct_->isChecked());
  StoredBounds_ = QRect(ini.ReadInteger(kView2D, "Left", 0), ini.ReadInteger(kView2D, "Top", 0),
                        ini.ReadInteger(kView2D, "Width", 0), ini.ReadInteger(kView2D, "Height", 0));
  StoredMaximized_ = ini.ReadBool(kView2D, "Maximized", false);
  SizePanel();
}

void TSkinViewer::WriteSettings(TIniFile& ini) {
  ini.WriteInteger(kView2D, "ZoomPctg", Image_->AutoSizeZoomPctg());
  ini.WriteBool(kView2D, "ShowTriangles", ShowTrianglesAct_->isChecked());
  WriteChildWindowBounds(ini, kView2D, this);
}

void TSkinViewer::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  UpdateCaption();
  if (Placed_) return;
  Placed_ = true;
  PlaceChildWindow(this, StoredBounds_, StoredMaximized_);
}

void TSkinViewer::closeEvent(QCloseEvent* event) {
  RepaintTimer_->stop();
  // A minimised window keeps the settings it had.
  SaveChildWindowSettings(this, [this](TIniFile& ini) { WriteSettings(ini); }, ShowError);
  QWidget::closeEvent(event);
}
