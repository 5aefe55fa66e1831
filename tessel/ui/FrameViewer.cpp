#include "tessel/ui/ChildWindowPlace.h"
#include "tessel/ui/FrameViewer.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/IniFile.h"
#include "exchange/BitmapFiler.h"
#include "mdl/Mdl.h"
#include "tessel/ui/FrameViewOptions.h"
#include "tessel/ui/PerformanceForm.h"
#include "tessel/ui/TextureDestinationDialog.h"
#include "tessel/ui/UndoActions.h"
#include "widgets/Icons.h"
#include "widgets/Splitter.h"
#include "widgets/SurfaceWidget.h"

namespace {

constexpr const char* kView3D = "VIEW3D";
constexpr const char* kMdl = "MDL";

// The fixed entries of the resolution menu, by tag.
constexpr int kResolutions[6][2] = {{320, 240}, {480, 360}, {640, 480}, {800, 600}, {960, 720}, {1120, 840}};

// View buttons: tag, hint, label, preset.
struct TViewButton {
  int Tag;
  const char* Hint;
  const char* Label;
  int Preset;
};
constexpr TViewButton kViewButtons[] = {
    {1, "View Front - YZ", "Fr", 1},  {2, "View Back - YZ", "Bk", 2},  {3, "View Top - XY", "Tp", 5},
    {4, "View Bottom - XY", "Bt", 6}, {5, "View Right - XZ", "Rt", 3}, {6, "View Left - XZ", "Lt", 4},
    {8, "View Player Weapon - YZ", "Wp", 7},
};

int PresetOfTag(int tag) {
  if (tag == 7) return 0;
  for (const TViewButton& b : kViewButtons)
    if (b.Tag == tag) return b.Preset;
  return -1;
}

// One cursor per tool, from the program's cursor set.
constexpr TCursorId kToolCursors[9] = {13, 6, 4, 5, 2, 12, 15, 16, 14};

const char* MenuOfTool(int tool) {
  switch (tool) {
    case 1: return "VertexMenu";
    case 2: return "TriangleMenu";
    case 6: case 7: case 8: return "ObjectMenu";
    default: return "";
  }
}

}  // namespace

std::function<TRenderedSkinChoice(QWidget*)> TFrameViewer::AskRenderedSkin = [](QWidget* parent) {
  TTextureDestinationDialog dlg(parent);
  return dlg.Ask();
};

std::function<QString(QWidget*)> TFrameViewer::AskSnapshotFile = [](QWidget* parent) {
  QFileDialog dlg(parent, "Save Snapshot", QString(), "Bitmap Files (*.BMP *.bmp)");
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setDefaultSuffix("BMP");
  return dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty() ? dlg.selectedFiles().first() : QString();
};

std::function<void(QWidget*, const QString&)> TFrameViewer::ShowError = [](QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, "Frame Editor", text);
};

// ---- construction ------------------------------------------------------------------------

TFrameViewer::TFrameViewer(QWidget* parent) : QWidget(parent) {
  setObjectName("FrameViewer");
  setWindowTitle("Frame Editor");
  setWindowIcon(ProgramIcon("frameeditor"));
  CreateViews();
  CreateMenus();
  CreateToolBar();

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(ToolBar_);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(Widgets_[0], 1);
  row->addWidget(HorzSplit_);
  row->addWidget(BackPanel2_);
  column->addLayout(row, 1);

  UpdateControl_ = new QTimer(this);
  UpdateControl_->setSingleShot(true);
  UpdateControl_->setInterval(10);
  connect(UpdateControl_, &QTimer::timeout, this, [this] { UpdateCaption(); });
  StartupTimer_ = new QTimer(this);
  StartupTimer_->setSingleShot(true);
  StartupTimer_->setInterval(250);
  connect(StartupTimer_, &QTimer::timeout, this, [this] { SetPaintMode(ActiveView().ViewMode()); });

  ActiveView_ = Boxes_[0].get();
  for (int i = 0; i < kViewCount; ++i) Boxes_[static_cast<size_t>(i)]->SetView(i == 0 ? 0 : i == 1 ? 1 : 4);
  BindObserver();
  try {
    TIniFile ini(SettingsFileName());
    ReadSettings(ini);
  } catch (const std::exception&) {
    TIniFile empty;
    ReadSettings(empty);
  }
  SetTool(Tool_);
  UpdateCaption();
  StartupTimer_->start();
}

TFrameViewer::~TFrameViewer() {
  // The performance window reads a view; it goes first. Then the ticks stop
  // and the pictures leave their widgets before the views go.
  delete Performance_.data();
  for (size_t i = 0; i < Boxes_.size(); ++i) {
    Widgets_[i]->SetSurface(nullptr);
    Boxes_[i]->SetHost(nullptr);
  }
  for (auto& b : Boxes_) b.reset();
}

void TFrameViewer::CreateViews() {
  // Ticks reach the user-interface thread through its event loop; the worker
  // waits there until the tick has run. The application object outlives every
  // view, and a tick whose view is gone finds nothing to do.
  const TAnimationTimerThread::TOwnerCall ownerCall = [](const std::function<void()>& call) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(app, [&call] { call(); }, Qt::BlockingQueuedConnection);
  };
  BackPanel2_ = new QWidget(this);
  BackPanel2_->setObjectName("WinGBackPanel2");
  auto* stack = new QVBoxLayout(BackPanel2_);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->setSpacing(0);
  for (int i = 0; i < kViewCount; ++i) {
    auto* w = new SurfaceWidget(i == 0 ? this : BackPanel2_);
    w->setObjectName(QString("FramePaintBox%1").arg(i + 1));
    w->setMinimumSize(40, 30);
    w->setFocusPolicy(Qt::ClickFocus);
    auto box = std::make_unique<TMDLFramePaintBox>(nullptr, w, ownerCall);
    box->SetBitmapFitting(bfFit);
    box->SetResolution(kDefaultWidth, kDefaultHeight);
    w->SetSurface(box.get());
    w->OnPaintOverlay = [this, i](QPainter& p) { PaintLabels(i, p); };
    w->installEventFilter(this);
    connect(w, &SurfaceWidget::popupMenuRequested, this,
            [this](const QString& name, const QPoint& at) { ShowContextMenu(name, at); });
    TMDLFramePaintBox* raw = box.get();
    box->OnMouseDown = [this, raw](TWinGSurface&, TMouseButton, TShiftState, int, int) {
      if (raw != ActiveView_) SetActiveView(*raw);
    };
    box->OnFrameChange = [this](TMDLFramePaintBox& view) {
      if (OnChange) OnChange(view);
    };
    box->Loaded();
    Widgets_[static_cast<size_t>(i)] = w;
    Boxes_[static_cast<size_t>(i)] = std::move(box);
  }
  VertSplit_ = new TVertSplit(BackPanel2_);
  VertSplit_->setObjectName("VertSplit");
  VertSplit_->SetTopControl(Widgets_[1]);
  Widgets_[1]->setFixedHeight(180);
  stack->addWidget(Widgets_[1]);
  stack->addWidget(VertSplit_);
  stack->addWidget(Widgets_[2], 1);
  BackPanel2_->setFixedWidth(240);
  HorzSplit_ = new THorzSplit(this);
  HorzSplit_->setObjectName("HorzSplit");
  HorzSplit_->SetLeftControl(BackPanel2_);
  HorzSplit_->SetIsRight(true);
  BackPanel2_->hide();
  HorzSplit_->hide();
}

void TFrameViewer::CreateMenus() {
  auto add = [this](QMenu* menu, const QString& caption, const QKeySequence& keys, std::function<void()> run) {
    QAction* a = menu->addAction(caption);
    if (!keys.isEmpty()) a->setShortcut(keys);
    connect(a, &QAction::triggered, this, [run] { run(); });
    Actions_ << a;
    return a;
  };
  const QKeySequence del("Ctrl+Del");
  VertexMenu_ = new QMenu(this);
  VertexMenu_->setObjectName("VertexMenu");
  add(VertexMenu_, "Split Vertices", {}, [this] { Command(1, [](TMDLEditor& e) { e.SplitVertices(); }); });
  add(VertexMenu_, "Merge Vertices", {}, [this] { Command(1, [](TMDLEditor& e) { e.MergeVertices(); }); });
  add(VertexMenu_, "Make Triangle", QKeySequence("Ctrl+T"),
      [this] { Command(1, [](TMDLEditor& e) { e.MakeTriangle(); }); });
  add(VertexMenu_, "Delete Vertices", del, [this] { Command(1, [](TMDLEditor& e) { e.DeleteSelectedVertices(); }); });
  add(VertexMenu_, "Assign Vertices to New Object", {},
      [this] { Command(1, [](TMDLEditor& e) { e.AssignVerticesToNewObject(); }); });
  QMenu* vsub = VertexMenu_->addMenu("Assign Vertices to Object");
  vsub->setObjectName("VertexObjectMenu");

  TriangleMenu_ = new QMenu(this);
  TriangleMenu_->setObjectName("TriangleMenu");
  add(TriangleMenu_, "Flip Triangles", {}, [this] { Command(2, [](TMDLEditor& e) { e.FlipSelectedTriangles(); }); });
  add(TriangleMenu_, "Flood Align Triangles", {}, [this] { Command(2, [](TMDLEditor& e) { e.AlignTriangles(); }); });
  add(TriangleMenu_, "Delete Triangles", del,
      [this] { Command(2, [](TMDLEditor& e) { e.DeleteSelectedTriangles(); }); });
  add(TriangleMenu_, "Assign Triangle Vertices to New Object", {},
      [this] { Command(2, [](TMDLEditor& e) { e.AssignTrianglesToNewObject(); }); });
  QMenu* tsub = TriangleMenu_->addMenu("Assign Triangle Vertices to Object");
  tsub->setObjectName("TriangleObjectMenu");

  ObjectMenu_ = new QMenu(this);
  ObjectMenu_->setObjectName("ObjectMenu");
  auto objectTool = [this] { return Tool_ >= 6 && Tool_ <= 8 ? Tool_ : -1; };
  add(ObjectMenu_, "New Object", {}, [this, objectTool] { Command(objectTool(), [](TMDLEditor& e) { e.NewObject(); }); });
  add(ObjectMenu_, "Delete Object", del,
      [this, objectTool] { Command(objectTool(), [](TMDLEditor& e) { e.DeleteObject(); }); });
  QMenu* osub = ObjectMenu_->addMenu("Assign Object Vertices to Object");
  osub->setObjectName("ObjectObjectMenu");

  // The object lists are made when their menu opens.
  connect(VertexMenu_, &QMenu::aboutToShow, this, [this, vsub] {
    FillObjectMenu(vsub, [this](int o) { Command(1, [o](TMDLEditor& e) { e.AssignVerticesToObject(o); }); });
  });
  connect(TriangleMenu_, &QMenu::aboutToShow, this, [this, tsub] {
    FillObjectMenu(tsub, [this](int o) { Command(2, [o](TMDLEditor& e) { e.AssignTrianglesToObject(o); }); });
  });
  connect(ObjectMenu_, &QMenu::aboutToShow, this, [this, osub, objectTool] {
    FillObjectMenu(osub, [this, objectTool](int o) {
      Command(objectTool(), [o](TMDLEditor& e) { e.ReassignObjectVertices(o); });
    });
  });

  // The keys work while the view has the focus, for the menu of the tool
  // that is current (the menus share Ctrl+Del).
  auto* makeTriangle = new QAction(this);
  makeTriangle->setShortcut(QKeySequence("Ctrl+T"));
  makeTriangle->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(makeTriangle, &QAction::triggered, this, [this] { Command(1, [](TMDLEditor& e) { e.MakeTriangle(); }); });
  addAction(makeTriangle);
  auto* remove = new QAction(this);
  remove->setShortcut(del);
  remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(remove, &QAction::triggered, this, [this] {
    if (Tool_ == 1) Command(1, [](TMDLEditor& e) { e.DeleteSelectedVertices(); });
    else if (Tool_ == 2) Command(2, [](TMDLEditor& e) { e.DeleteSelectedTriangles(); });
    else if (Tool_ >= 6 && Tool_ <= 8) Command(Tool_, [](TMDLEditor& e) { e.DeleteObject(); });
  });
  addAction(remove);
}

void TFrameViewer::CreateToolBar() {
  ToolBar_ = new QToolBar(this);
  ToolBar_->setObjectName("FrameToolBar");
  ToolBar_->setIconSize(QSize(20, 20));
  ToolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  auto make = [this](const QString& name, const char* icon, const QString& text, const QString& hint,
                     bool checkable, std::function<void(bool)> run) {
    QAction* a = new QAction(text, this);
    a->setObjectName(name);
    if (icon) a->setIcon(ProgramIcon(icon));
    a->setToolTip(hint.section('|', 0, 0));
    a->setStatusTip(hint.contains('|') ? hint.section('|', 1) : hint);
    a->setCheckable(checkable);
    connect(a, &QAction::triggered, this, [run](bool on) { run(on); });
    ToolBar_->addAction(a);
    Actions_ << a;
    return a;
  };
  SwitchViewsAct_ = make("SwitchViewsBtn", "view-three", "Three Panels",
                         "Toggle between 3 panel and single panel frame editor", true,
                         [this](bool on) { SetThreePanels(on); });
  ToolBar_->addSeparator();
  // Whatever the tool, and also when the model was left without frames.
  auto undoRedo = [this](bool undo) {
    try {
      TMDLEditor& e = TMDLEditor::Instance();
      undo ? e.Undo() : e.Redo();
    } catch (const std::exception& ex) {
      ShowError(this, QString::fromUtf8(ex.what()));
    }
  };
  UndoAct_ = make("UndoBtn", "undo", "Undo", "Undo", false, [undoRedo](bool) { undoRedo(true); });
  RedoAct_ = make("RedoBtn", "redo", "Redo", "Redo", false, [undoRedo](bool) { undoRedo(false); });
  ShowUndoState(TMDLEditor::Instance(), UndoAct_, RedoAct_);
  ToolBar_->addSeparator();
  auto* modes = new QActionGroup(this);
  WiresAct_ = make("ThreeDWires", "render-wire", "Wireframe", "Wireframe Rendering", true,
                   [this](bool) { SetPaintMode(vmWireFrame); });
  SolidAct_ = make("ThreeDSolid", "render-solid", "Solid", "Solid Rendering", true,
                   [this](bool) { SetPaintMode(vmSolid); });
  TextureAct_ = make("ThreeDTexture", "render-texture", "Texture", "Texturemapped Rendering", true,
                     [this](bool) { SetPaintMode(vmTextured); });
  for (QAction* a : {WiresAct_, SolidAct_, TextureAct_}) modes->addAction(a);
  ToolBar_->addSeparator();

  auto menuButton = [this](const QString& name, const char* icon, const QString& text, const QString& hint,
                           QMenu* menu) {
    auto* b = new QToolButton(ToolBar_);
    b->setObjectName(name);
    b->setIcon(ProgramIcon(icon));
    b->setText(text);
    b->setToolTip(hint.section('|', 0, 0));
    b->setStatusTip(hint.section('|', 1));
    b->setMenu(menu);
    b->setPopupMode(QToolButton::InstantPopup);
    ToolBar_->addWidget(b);
  };
  ZoomMenu_ = new QMenu(this);
  ZoomMenu_->setObjectName("ZoomMenu");
  auto* zooms = new QActionGroup(this);
  for (int z = 100; z <= 1000; z += 100) {
    QAction* a = ZoomMenu_->addAction(QString("%1 %").arg(z));
    a->setCheckable(true);
    a->setData(z);
    zooms->addAction(a);
    connect(a, &QAction::triggered, this, [this, z] { SetZoom(z); });
    Actions_ << a;
  }
  connect(ZoomMenu_, &QMenu::aboutToShow, this, [this] {
    for (QAction* a : ZoomMenu_->actions()) a->setChecked(a->data().toInt() == ZoomPercent());
  });
  menuButton("ZoomCmdBtn", "zoom-in", "Zoom", "Select Zoom|Change the zoom factor", ZoomMenu_);

  ResolutionMenu_ = new QMenu(this);
  ResolutionMenu_->setObjectName("ResolutionMenu");
  AutoFocusAct_ = ResolutionMenu_->addAction("Auto Focus");
  AutoFocusAct_->setCheckable(true);
  AutoFocusAct_->setData(-1);
  connect(AutoFocusAct_, &QAction::triggered, this, [this](bool on) { SetAutoFocus(on); });
  Actions_ << AutoFocusAct_;
  ResolutionMenu_->addSeparator();
  for (int tag = 0; tag < 6; ++tag) {
    QAction* a = ResolutionMenu_->addAction(QString("%1 x %2").arg(kResolutions[tag][0]).arg(kResolutions[tag][1]));
    a->setCheckable(true);
    a->setData(tag);
    connect(a, &QAction::triggered, this, [this, tag] { SetResolutionTag(tag); });
    Actions_ << a;
  }
  connect(ResolutionMenu_, &QMenu::aboutToShow, this, [this] {
    for (QAction* a : ResolutionMenu_->actions()) {
      const int tag = a->data().toInt();
      if (tag >= 0 && !a->isSeparator())
        a->setChecked(!AutoFocus_ && ActiveView().BitmapWidth() == kResolutions[tag][0] &&
                      ActiveView().BitmapHeight() == kResolutions[tag][1]);
    }
  });
  menuButton("ResolutionCmdBtn", "resolution", "Resolution", "Select Resolution|Change the view resolution",
             ResolutionMenu_);

  SnapshotMenu_ = new QMenu(this);
  SnapshotMenu_->setObjectName("SnapshotMenu");
  QAction* clip = SnapshotMenu_->addAction("Snapshot to Clipboard");
  connect(clip, &QAction::triggered, this, [this] { SnapshotToClipboard(); });
  QAction* file = SnapshotMenu_->addAction("Snapshot to File");
  connect(file, &QAction::triggered, this, [this] {
    const QString name = AskSnapshotFile(this);
    if (name.isEmpty()) return;
    try {
      SnapshotToFile(name);
    } catch (const std::exception& e) {
      ShowError(this, QString::fromUtf8(e.what()));
    }
  });
  Actions_ << clip << file;
  menuButton("SnapShotCmdBtn", "snapshot", "Snapshot", "Take Snapshot|Take a Snapshot of the Current Picture",
             SnapshotMenu_);
  ToolBar_->addSeparator();

  for (const TViewButton& b : kViewButtons) {
    const int tag = b.Tag;
    const QString icon = QString("view-%1").arg(QString(b.Hint).section(' ', 1, 1).toLower());
    QAction* a = make(QString("ViewBtn%1").arg(tag), nullptr, b.Label, b.Hint, false,
                      [this, tag](bool) { SetViewButton(tag); });
    a->setIcon(ProgramIcon(icon.toLatin1().constData()));
  }
  ToolBar_->addSeparator();
  make("PlayBtn", "play", "Play", "Play scene forward", false, [this](bool) { Play(); });
  make("StopBtn", "stop", "Stop", "Stop playing", false, [this](bool) { Stop(); });
  ToolBar_->addSeparator();
  PerspectiveAct_ = make("PerpectiveBtn", "perspective", "Parallel",
                         "Toggle between perspective projection (up) and parallel projection (down)", true,
                         [this](bool down) { SetPerspective(!down); });
  LightAct_ = make("LightBtn", "spotlight", "Spotlight", "Turn Spotlight On/Off", true,
                   [this](bool on) { SetSpotlight(on); });
  SnapLightAct_ = make("SnapLightBtn", "snaplight", "Snap Light", "Snap spotlight to camera", true,
                       [this](bool) { SnapSpotlight(); });
  SkinRecAct_ = make("SkinRecBtn", "skinrecorder", "Skin Recorder", "Turn Skin Recorder On/Off", true,
                     [this](bool on) { SetSkinRecorder(on); });
  BacksidesAct_ = make("ShowBacksidesBtn", "backsides", "Backsides", "Toggle showing of backside triangles", true,
                       [this](bool on) { SetShowBacksides(on); });
}

void TFrameViewer::BindObserver() {
  auto update = [this](TMDLObserver*) {
    if (!UpdateControl_->isActive()) UpdateControl_->start();
  };
  Observer_.OnCurrentFrameChange = update;
  Observer_.OnCurrentObjectChange = update;
  Observer_.OnCurrentSceneChange = update;
  Observer_.OnCurrentSkinChange = update;
  Observer_.OnFrameCountChange = update;
  Observer_.OnSceneCountChange = update;
  Observer_.OnHistoryChange = [this](TMDLObserver*) { ShowUndoState(TMDLEditor::Instance(), UndoAct_, RedoAct_); };
  Observer_.OnMDLChange = [this, update](TMDLObserver* sender) {
    update(sender);
    // A load announces itself before it starts too: the preset waits for
    // the model that arrives. Weapon models are made to be seen from the
    // player's eye.
    if (!TMDLEditor::Instance().IsValid()) return;
    const QString name = QFileInfo(QString::fromStdString(TMDLEditor::Instance().ModelFileName())).fileName();
    ApplyToAll([this](TMDLFramePaintBox& b) { Refit(b); });
    if (name.startsWith("V_") || name.startsWith("v_")) ActiveView().SetView(7);
    ActiveView().Invalidate();
  };
  Observer_.Loaded();
}

// ---- views ------------------------------------------------------------------------------

void TFrameViewer::ApplyToAll(const std::function<void(TMDLFramePaintBox&)>& f) {
  for (auto& b : Boxes_) f(*b);
}

void TFrameViewer::SetActiveView(TMDLFramePaintBox& box) {
  ActiveView_ = &box;
  if (ThreePanels_)
    for (auto& b : Boxes_) b->SetSelected(b.get() == &box);
  UpdateButtons();
}

void TFrameViewer::SetThreePanels(bool on) {
  ThreePanels_ = on;
  BackPanel2_->setVisible(on);
  HorzSplit_->setVisible(on);
  SwitchViewsAct_->setChecked(on);
  SwitchViewsAct_->setIcon(ProgramIcon(on ? "view-single" : "view-three"));
  if (!on && ActiveView_ != Boxes_[0].get()) {
    Boxes_[1]->StopAnimation();
    Boxes_[2]->StopAnimation();
    ActiveView_ = Boxes_[0].get();
  }
  for (auto& b : Boxes_) {
    b->SetSelected(on && b.get() == ActiveView_);
    // Marking the view is no click of the user's.
    b->IgnoreNextClick = false;
  }
  UpdateButtons();
}

void TFrameViewer::PaintLabels(int i, QPainter& painter) {
  const TMDLFramePaintBox& box = *Boxes_[static_cast<size_t>(i)];
  const TWinGBitmap& bm = box.Bitmap();
  if (box.Labels().empty() || bm.GetWidth() <= 0 || bm.GetHeight() <= 0) return;
  const SurfaceWidget* w = Widgets_[static_cast<size_t>(i)];
  const double sx = double(w->width()) / bm.GetWidth(), sy = double(w->height()) / bm.GetHeight();
  QFont font = painter.font();
  const QFontMetrics plain(font);
  for (const TViewLabel& l : box.Labels()) {
    const uint8_t* c = bm.ColorTable() + 4 * l.Color;
    font.setBold(l.Bold);
    painter.setFont(font);
    painter.setPen(QColor(c[2], c[1], c[0]));
    painter.drawText(QPointF(l.X * sx, l.Y * sy + plain.ascent()), QString::fromStdString(l.Text));
  }
}

bool TFrameViewer::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) {
    for (int i = 0; i < kViewCount; ++i) {
      if (watched != Widgets_[static_cast<size_t>(i)]) continue;
      TMDLFramePaintBox& b = *Boxes_[static_cast<size_t>(i)];
      if (AutoFocus_) FitAutoFocus(i);
      // The picture's proportions follow the view's; the model stays in the middle.
      else if (b.WantedBitmapSize() != TPoint{b.Bitmap().GetWidth(), b.Bitmap().GetHeight()}) Refit(b);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TFrameViewer::Refit(TMDLFramePaintBox& box) {
  // Sizes the picture for the view as it is now, then centres the model in it.
  box.SetResolution(box.BitmapWidth(), box.BitmapHeight());
  box.Invalidate();
}

void TFrameViewer::FitAutoFocus(int i) {
  TMDLFramePaintBox& box = *Boxes_[static_cast<size_t>(i)];
  const int h = std::clamp(Widgets_[static_cast<size_t>(i)]->height(), 1, TFrameRaster::kMaxRows);
  const int w = h * 320 / 240;
  if (box.BitmapWidth() == w && box.BitmapHeight() == h) return;
  box.SetResolution(w, h);
  box.Invalidate();
}

// ---- tool bar commands ------------------------------------------------------------------------

void TFrameViewer::SetPaintMode(int mode) {
  if (mode < vmTextured || mode > vmSkinRecorder) mode = vmTextured;
  TMDLFramePaintBox& v = ActiveView();
  if (v.ViewMode() == vmSkinRecorder && mode != vmSkinRecorder) {
    // Leaving the recorder by another mode still asks where the skin goes.
    v.SetViewMode(static_cast<uint8_t>(mode));
    StoreRecording(AskRenderedSkin(this));
  } else {
    v.SetViewMode(static_cast<uint8_t>(mode));
  }
  UpdateButtons();
  v.Invalidate();
}

void TFrameViewer::UpdateButtons() {
  const TMDLFramePaintBox& v = ActiveView();
  const int mode = v.ViewMode();
  const bool textured = mode == vmTextured || mode == vmSkinRecorder;
  (mode == vmWireFrame ? WiresAct_ : mode == vmSolid ? SolidAct_ : TextureAct_)->setChecked(true);
  SkinRecAct_->setEnabled(textured);
  LightAct_->setEnabled(textured);
  SkinRecAct_->setChecked(mode == vmSkinRecorder);
  LightAct_->setChecked(textured && v.Lighting);
  SnapLightAct_->setEnabled(textured && v.Lighting);
  SnapLightAct_->setChecked(textured && v.Lighting && v.LightFollowsCamera());
  PerspectiveAct_->setChecked(v.Parallel);
  BacksidesAct_->setChecked(v.ShowBacksides);
}

void TFrameViewer::SetViewButton(int tag) {
  const int preset = PresetOfTag(tag);
  if (preset < 0) return;
  ActiveView().SetView(preset);
  if (preset != 7) ActiveView().CenterView();
  ActiveView().Invalidate();
}

void TFrameViewer::SetZoom(int percent) {
  ActiveView().SetFieldOfView(static_cast<int>(std::lround(105.0 - percent * 0.1)));
  ActiveView().CenterView();
  ActiveView().Invalidate();
}

int TFrameViewer::ZoomPercent() const {
  const int z = (105 - ActiveView().GetFieldOfView()) * 10;
  return z >= 100 && z <= 1000 && z % 100 == 0 ? z : 0;
}

void TFrameViewer::SetResolutionTag(int tag) {
  if (tag < 0 || tag >= 6) return;
  SetAutoFocus(false);
  ApplyToAll([tag](TMDLFramePaintBox& b) {
    b.SetResolution(kResolutions[tag][0], kResolutions[tag][1]);
    b.Invalidate();
  });
}

void TFrameViewer::SetAutoFocus(bool on) {
  AutoFocus_ = on;
  AutoFocusAct_->setChecked(on);
  if (on)
    for (int i = 0; i < kViewCount; ++i) FitAutoFocus(i);
}

void TFrameViewer::SetPerspective(bool perspective) {
  ApplyToAll([perspective](TMDLFramePaintBox& b) {
    b.Parallel = !perspective;
    b.UpdateCamera();
    b.CenterView();
    b.Invalidate();
  });
  PerspectiveAct_->setChecked(!perspective);
}

void TFrameViewer::SetShowBacksides(bool on) {
  ApplyToAll([on](TMDLFramePaintBox& b) {
    b.ShowBacksides = on;
    b.Invalidate();
  });
  BacksidesAct_->setChecked(on);
}

void TFrameViewer::SetSpotlight(bool on) {
  ActiveView().Lighting = on;
  if (!on) ActiveView().SetLightFollowsCamera(false);
  ActiveView().Invalidate();
  UpdateButtons();
}

void TFrameViewer::SnapSpotlight() {
  TMDLFramePaintBox& v = ActiveView();
  v.SetLightFollowsCamera(!v.LightFollowsCamera());
  v.Invalidate();
  UpdateButtons();
}

void TFrameViewer::Play() {
  for (auto& b : Boxes_)
    if (b.get() != ActiveView_) b->StopAnimation();
  ActiveView().StartAnimation();
}

void TFrameViewer::Stop() { ActiveView().StopAnimation(); }

void TFrameViewer::StopAll() {
  for (auto& b : Boxes_) b->StopAnimation();
}

void TFrameViewer::SetSkinRecorder(bool on) {
  TMDLFramePaintBox& v = ActiveView();
  if (on) {
    if (v.ViewMode() == vmTextured) v.SetViewMode(vmSkinRecorder);
  } else if (v.ViewMode() == vmSkinRecorder) {
    v.SetViewMode(vmTextured);
    StoreRecording(AskRenderedSkin(this));
  }
  UpdateButtons();
  v.Invalidate();
}

void TFrameViewer::StoreRecording(TRenderedSkinChoice choice) {
  TMDLFramePaintBox& v = ActiveView();
  TMDLEditor& e = v.Editor();
  if (choice == rsDiscard || !e.IsValid() || v.RecordBitmap.GetWidth() <= 0 || v.RecordBitmap.GetHeight() <= 0)
    return;
  try {
    TUndoStep step(e, "Store Rendered Skin");
    if (choice == rsInsertNew) {
      const int k = e.AddSkin();
      e.SetCurrentSkin(k);
    }
    TMDLBitmap* skin = e.CurrentSkinObject();
    if (!skin) return;
    skin->StretchFrom(v.RecordBitmap);
    skin->ColorMapValid = false;
    e.SetModified(true);
    // The views show the new pixels.
    e.Broadcast(&TMDLObserver::OnCurrentSkinChange);
  } catch (const std::exception& ex) {
    ShowError(this, QString::fromUtf8(ex.what()));
  }
}

QImage TFrameViewer::Snapshot() const {
  if (!ActiveView().HasValidEditor()) return {};
  return ImageOfBitmap(ActiveView().Bitmap());
}

void TFrameViewer::SnapshotToClipboard() {
  const QImage image = Snapshot();
  if (!image.isNull()) QGuiApplication::clipboard()->setImage(image);
}

void TFrameViewer::SnapshotToFile(const QString& fileName) {
  const QImage image = Snapshot();
  if (image.isNull()) return;
  if (!image.save(fileName, "BMP"))
    throw std::runtime_error("The snapshot could not be written to " + fileName.toStdString());
}

// ---- tools and menus ----------------------------------------------------------------------------

void TFrameViewer::SetTool(int tool) {
  if (tool < 0 || tool > 8) tool = 0;
  Tool_ = tool;
  for (int i = 0; i < kViewCount; ++i) {
    TMDLFramePaintBox& b = *Boxes_[static_cast<size_t>(i)];
    b.SetToolMode(static_cast<uint8_t>(tool));
    b.PopupMenuName = MenuOfTool(tool);
    Widgets_[static_cast<size_t>(i)]->SetCursor(kToolCursors[tool]);
  }
}

QMenu* TFrameViewer::ContextMenu() const {
  const QString name = MenuOfTool(Tool_);
  if (name == "VertexMenu") return VertexMenu_;
  if (name == "TriangleMenu") return TriangleMenu_;
  if (name == "ObjectMenu") return ObjectMenu_;
  return nullptr;
}

void TFrameViewer::ShowContextMenu(const QString& name, const QPoint& at) {
  QMenu* menu = name == "VertexMenu" ? VertexMenu_ : name == "TriangleMenu" ? TriangleMenu_
                : name == "ObjectMenu" ? ObjectMenu_ : nullptr;
  // Non-modal, so the event loop (and playback) goes on under it.
  if (menu) menu->popup(at);
}

void TFrameViewer::FillObjectMenu(QMenu* menu, const std::function<void(int)>& command) {
  menu->clear();
  TMDLEditor& e = TMDLEditor::Instance();
  const int n = e.IsValid() ? e.ObjectCount() : 0;
  for (int o = 0; o < n; ++o) {
    QAction* a = menu->addAction(QString::fromStdString(e.ObjectName(o)));
    a->setData(o);
    connect(a, &QAction::triggered, this, [command, o] { command(o); });
  }
  menu->setEnabled(n > 0);
}

void TFrameViewer::Command(int tool, const std::function<void(TMDLEditor&)>& f) {
  // The tool may have changed since the menu opened.
  if (tool < 0 || tool != Tool_) return;
  TMDLEditor& e = TMDLEditor::Instance();
  if (!e.IsValid()) return;
  try {
    f(e);
  } catch (const std::exception& ex) {
    ShowError(this, QString::fromUtf8(ex.what()));
  }
}

QAction* TFrameViewer::Action(const QString& caption) const {
  for (QAction* a : Actions_) {
    QString text = a->text();
    text.remove('&');
    if (text == caption || a->toolTip() == caption || a->objectName() == caption) return a;
  }
  return nullptr;
}

// ---- options page ---------------------------------------------------------------------------------

void TFrameViewer::LoadOptions(TFrameViewerOptions& page) const {
  const TMDLFramePaintBox& v = ActiveView();
  page.SetBackColor(v.BackgroundIndex());
  page.SetFrameRate(v.FramesPerSecond());
  page.SetShowGroundPlane(v.ShowGroundPlane);
  page.SetGroundColor(v.GroundColor);
  page.SetGrid(0, v.GridX());
  page.SetGrid(1, v.GridY());
  page.SetGrid(2, v.GridZ());
  const float z = TMDLEditor::Instance().Model->Header->EyePosition[2];
  page.SetGroundZ(std::isfinite(z) ? static_cast<int>(std::lround(std::clamp(z, -1e6f, 1e6f))) : 0);
}

void TFrameViewer::ApplyOptions(const TFrameViewerOptions& page) {
  TMDLEditor& e = TMDLEditor::Instance();
  float& eye = e.Model->Header->EyePosition[2];
  if (eye != static_cast<float>(page.GroundZ())) {
    TUndoStep step(e, "Set Ground Height");
    eye = static_cast<float>(page.GroundZ());
    e.SetModified(true);
  }
  ApplyToAll([&page](TMDLFramePaintBox& b) {
    b.SetBackgroundIndex(static_cast<uint8_t>(page.BackColor()));
    b.SetFramesPerSecond(page.FrameRate());
    b.SetGridX(static_cast<float>(page.Grid(0)));
    b.SetGridY(static_cast<float>(page.Grid(1)));
    b.SetGridZ(static_cast<float>(page.Grid(2)));
    b.GroundColor = static_cast<uint8_t>(page.GroundColor());
    b.Invalidate();
  });
  ActiveView().ShowGroundPlane = page.ShowGroundPlane();
}

// ---- caption, settings, closing -------------------------------------------------------------------

void TFrameViewer::UpdateCaption() {
  UpdateControl_->stop();
  TMDLEditor& e = TMDLEditor::Instance();
  setWindowTitle(e.IsValid() ? "Frame Editor - " + QString::fromStdString(e.CurrentSceneName())
                             : QString("Frame Editor"));
}

void TFrameViewer::ReadSettings(TIniFile& ini) {
  TMDLFramePaintBox& v = *Boxes_[0];
  const int fps = std::min(ini.ReadInteger(kMdl, "FrameRate", v.FramesPerSecond()), 40);
  const int mode = ini.ReadInteger(kView3D, "PaintMode", v.ViewMode()) & 0x7F;
  const int fov = std::clamp(ini.ReadInteger(kView3D, "FOV", kDefaultFieldOfView), 1, 179);
  const int rx = std::clamp(ini.ReadInteger(kView3D, "ResolutionX", v.BitmapWidth()), 16, 4096);
  const int ry = std::clamp(ini.ReadInteger(kView3D, "ResolutionY", v.BitmapHeight()), 16, TFrameRaster::kMaxRows);
  const int back = std::clamp(ini.ReadInteger(kView3D, "BackColor", v.BackgroundIndex()), 0, 255);
  auto grid = [&](const char* key, float now) {
    const int g = ini.ReadInteger(kView3D, key, static_cast<int>(std::lround(now * 100)));
    return static_cast<float>(std::clamp(g, 1, 12800)) * 0.01f;
  };
  const float gx = grid("GridX", v.GridX()), gy = grid("GridY", v.GridY()), gz = grid("GridZ", v.GridZ());
  v.GroundColor = static_cast<uint8_t>(std::clamp(ini.ReadInteger(kView3D, "GroundPlaneColor", v.GroundColor), 0, 255));
  v.ShowGroundPlane = ini.ReadBool(kView3D, "GroundPlane", v.ShowGroundPlane);
  ApplyToAll([&](TMDLFramePaintBox& b) {
    b.SetFramesPerSecond(fps);
    b.SetResolution(rx, ry);
    b.SetFieldOfView(fov);
    b.CenterView();
    b.SetBackgroundIndex(static_cast<uint8_t>(back));
    b.SetGridX(gx);
    b.SetGridY(gy);
    b.SetGridZ(gz);
  });
  v.SetViewMode(static_cast<uint8_t>(mode <= vmSkinRecorder ? mode : vmTextured));
  UpdateButtons();
  StoredBounds_ = QRect(ini.ReadInteger(kView3D, "Left", 0), ini.ReadInteger(kView3D, "Top", 0),
                        ini.ReadInteger(kView3D, "Width", 0), ini.ReadInteger(kView3D, "Height", 0));
  StoredMaximized_ = ini.ReadBool(kView3D, "Maximized", false);
}

void TFrameViewer::WriteSettings(TIniFile& ini) {
  const TMDLFramePaintBox& v = ActiveView();
  ini.WriteInteger(kMdl, "FrameRate", v.FramesPerSecond());
  ini.WriteInteger(kView3D, "PaintMode", v.ViewMode() & 0x7F);
  ini.WriteInteger(kView3D, "FOV", v.GetFieldOfView());
  ini.WriteInteger(kView3D, "ResolutionX", v.BitmapWidth());
  ini.WriteInteger(kView3D, "ResolutionY", v.BitmapHeight());
  ini.WriteInteger(kView3D, "BackColor", v.BackgroundIndex());
  ini.WriteInteger(kView3D, "GridX", static_cast<int>(std::lround(v.GridX() * 100)));
  ini.WriteInteger(kView3D, "GridY", static_cast<int>(std::lround(v.GridY() * 100)));
  ini.WriteInteger(kView3D, "GridZ", static_cast<int>(std::lround(v.GridZ() * 100)));
  ini.WriteInteger(kView3D, "GroundPlaneColor", v.GroundColor);
  ini.WriteBool(kView3D, "GroundPlane", v.ShowGroundPlane);
  WriteChildWindowBounds(ini, kView3D, this);
}

void TFrameViewer::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (Placed_) return;
  Placed_ = true;
  PlaceChildWindow(this, StoredBounds_, StoredMaximized_);
}

void TFrameViewer::closeEvent(QCloseEvent* event) {
  StopAll();
  // A minimised window keeps the settings it had.
  SaveChildWindowSettings(this, [this](TIniFile& ini) { WriteSettings(ini); }, ShowError);
  QWidget::closeEvent(event);
}

TPerformanceForm* TFrameViewer::ShowPerformance() {
  if (!Performance_) Performance_ = new TPerformanceForm(this);
  Performance_->SetView(&ActiveView());
  Performance_->show();
  Performance_->raise();
  return Performance_;
}
