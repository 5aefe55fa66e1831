#include "tessel/ui/ModelViewer.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "core/IniFile.h"
#include "core/Paths.h"
#include "exchange/BitmapFiler.h"
#include "exchange/TriangleFiler.h"
#include "mdl/Mdl.h"
#include "raster/ColorTables.h"
#include "render/MDLFramePaintBox.h"
#include "render/RenderCamera.h"
#include "tessel/ui/AboutBox.h"
#include "tessel/ui/FrameViewOptions.h"
#include "tessel/ui/FrameViewer.h"
#include "tessel/ui/JointViewer.h"
#include "tessel/ui/JointsEditDlg.h"
#include "tessel/ui/SceneViewer.h"
#include "tessel/ui/SkinGroupViewer.h"
#include "tessel/ui/SkinViewer.h"
#include "tessel/ui/ColorViewer.h"
#include "tessel/ui/ToolPropsEditor.h"
#include "tessel/ui/MemUsageDialog.h"
#include "tessel/ui/ModelPropEditDlg.h"
#include "tessel/ui/ModelViewerOptions.h"
#include "tessel/ui/OptionsDialog.h"
#include "tessel/ui/PaletteBar.h"
#include "tessel/ui/ProgressForm.h"
#include "tessel/ui/UndoActions.h"
#include "widgets/FileDialogs.h"
#include "widgets/Icons.h"
#include "widgets/Splitter.h"
#include "widgets/SurfaceWidget.h"
#include "widgets/XToolBar.h"

namespace {

constexpr const char* kGeneral = "GENERAL";
constexpr const char* kMdl = "MDL";
// The most memory the undo history may be given, in MiB.
constexpr int kMaxUndoMemoryMB = 1 << 20;
constexpr int kDefaultNavigationWidth = 141;
constexpr int kMaxPaletteTabs = 10;
constexpr const char* kToolBarKey = "Software\\Hollin\\Tessel\\ToolBars";

QString Printf(const char* format, auto... args) {
  char buf[256];
  std::snprintf(buf, sizeof buf, format, args...);
  return QString::fromUtf8(buf);
}

QString FromStd(const std::string& s) { return QString::fromStdString(s); }
std::string ToStd(const QString& s) { return s.toStdString(); }

// The hint's first part ("Edit Vertices|Select Vertex Edit Tool" shows
// "Edit Vertices" as tool tip and the rest in the status bar).
QString ShortHint(const QString& hint) { return hint.section('|', 0, 0); }
QString LongHint(const QString& hint) {
  const int bar = hint.indexOf('|');
  return bar < 0 ? hint : hint.mid(bar + 1);
}

struct TToolButtonInfo {
  const char* Name;
  const char* Icon;
  const char* Hint;
};

constexpr TToolButtonInfo kToolButtons[9] = {
    {"PointerToolBtn", "tool-pointer", "Change View and Zoom|Select View and Zoom Tool"},
    {"VertexToolBtn", "tool-vertex", "Edit Vertices|Select Vertex Edit Tool"},
    {"TriangleToolBtn", "tool-triangle", "Edit Triangles|Select Triangle Edit Tool"},
    {"PenBtn", "tool-pen", "Paint current color with pen"},
    {"DropperBtn", "tool-dropper", "Select or replace current color"},
    {"FloodFillBtn", "tool-fill", "Fill areas with current color"},
    {"MoveBtn", "tool-move", "Move Object|Select Object Move Tool"},
    {"RotateBtn", "tool-rotate", "Rotate Object|Select Object Rotate Tool"},
    {"ScaleBtn", "tool-scale", "Scale Object|Select Object Scale Tool"},
};

}  // namespace

std::function<void(QWidget*, const QString&)> TModelViewer::ShowError = [](QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, "Tessel", text);
};

QString FirstLineOf(const QString& fileName) {
  QFile f(fileName);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray head = f.read(1024);
  QString line = QString::fromLocal8Bit(head).section('\n', 0, 0).trimmed();
  line.remove('\r');
  return line.left(200);
}

QString QtFilter(const std::string& pipeFilter) {
  const QStringList parts = FromStd(pipeFilter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      patterns << p.toUpper();
      if (p.toLower() != p.toUpper()) patterns << p.toLower();
    }
    out << parts[i] + " (" + patterns.join(' ') + ")";
  }
  return out.join(";;");
}

// ---- construction ------------------------------------------------------------------------

TModelViewer::TModelViewer(const QStringList& arguments, QWidget* parent) : QMainWindow(parent) {
  setObjectName("ModelViewer");
  setAcceptDrops(true);
  setWindowIcon(ProgramIcon("tessel"));
  // 1. Caption and the colour palette bar.
  setWindowTitle("Tessel");
  MdiArea_ = new QMdiArea(this);
  MdiArea_->setObjectName("MDIArea");
  MdiArea_->setBackground(palette().dark());
  MdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  MdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  FileDialogs_ = new TFileDialogs(this);
  FileDialogs_->SetDescription("Quake Model");
  FileDialogs_->SetExtension("MDL");

  CreateActions();
  CreateMenus();
  CreateButtonBar();
  CreateToolBars();
  // 2.-3. The navigation panel with its two places; the status bar.
  CreateNavigationPanel();
  CreateStatusBar();
  BindFileDialogs();
  BindObserver();
  // 5. The progress window.
  ProgressForm_ = new TProgressForm(this);

  // 6. Settings, then a model named on the command line.
  ReadSettingsFile();
  if (arguments.size() == 1 && QFileInfo(arguments[0]).isFile())
    StartupModelFile = ToStd(QFileInfo(arguments[0]).absoluteFilePath());
  // 7. The object library.
  BuildObjectPalette();
  // 8. The rest once the window is up.
  StartupTimer_ = new QTimer(this);
  StartupTimer_->setSingleShot(true);
  StartupTimer_->setInterval(kStartupDelayMs);
  connect(StartupTimer_, &QTimer::timeout, this, [this] { StartupTimerTimer(); });
  StartupTimer_->start();
}

TModelViewer::~TModelViewer() {
  // The editor windows go while the actions and panels they report to are still here.
  if (FrameViewer_) delete FrameViewer_->parentWidget();
  if (SkinViewer_) delete SkinViewer_->parentWidget();
  if (ColorViewer_) delete ColorViewer_->parentWidget();
  if (JointViewer_) delete JointViewer_->parentWidget();
}

QAction* TModelViewer::Action(const QString& caption) const {
  for (QAction* a : AllActions_) {
    QString text = a->text();
    text.remove('&');
    if (text == caption) return a;
  }
  return nullptr;
}

QList<QAction*> TModelViewer::MenuActions() const { return AllActions_; }

void TModelViewer::CreateActions() {
  auto make = [this](const QString& caption, const char* icon, const char* theme, const QString& hint,
                     std::function<void()> run) {
    QAction* a = new QAction(caption, this);
    if (icon) a->setIcon(ProgramIcon(icon, theme));
    if (!hint.isEmpty()) {
      a->setToolTip(ShortHint(hint));
      a->setStatusTip(LongHint(hint));
    }
    if (run) connect(a, &QAction::triggered, this, [this, run] { Guarded(run); });
    AllActions_ << a;
    return a;
  };
  NewAct_ = make("&New Model", "new", "document-new", "Create a new model", [this] { NewModel(); });
  NewAct_->setShortcut(QKeySequence::New);
  OpenAct_ = make("&Open Model...", "open", "document-open", "Open an existing model", [this] { OpenModel(); });
  OpenAct_->setShortcut(QKeySequence::Open);
  MergeAct_ = make("&Merge Model...", "merge", nullptr, "Merge a model with the current model",
                   [this] { MergeModel(); });
  MergeAct_->setShortcut(QKeySequence("Ctrl+M"));
  SaveAct_ = make("&Save Model", "save", "document-save", "Save the current model", [this] { SaveModel(); });
  SaveAct_->setShortcut(QKeySequence::Save);
  SaveAsAct_ = make("Save Model &As...", "saveas", "document-save-as", "Save the current model in a different file",
                    [this] { SaveModelAs(); });
  SaveAsAct_->setShortcut(QKeySequence::SaveAs);
  SaveQuakeAct_ = make("Save As &Quake Model...", nullptr, nullptr,
                       "Save the current model as a plain game model", [this] { SaveAsQuakeModel(); });
  CloseAct_ = make("&Close Model", nullptr, nullptr, "Close the current model", [this] { CloseModel(); });
  CloseAct_->setShortcut(QKeySequence::Close);
  // The skin and frame exchange entries run the skin-group and scene
  // windows' menu commands.
  auto skinCommand = [this](int tag, const char* caption) {
    return [this, tag, caption] { Guarded([&] { SkinGroupViewer_->SkinMenuCommand(tag, caption); }); };
  };
  auto sceneCommand = [this](int tag, const char* caption) {
    return [this, tag, caption] { Guarded([&] { SceneViewer_->SceneMenuCommand(tag, caption); }); };
  };
  ImportSkinAct_ = make("Import Skin...", "import", nullptr, QString(), skinCommand(5, "Import Skin..."));
  ExportSkinAct_ = make("Export Skin...", "export", nullptr, QString(), skinCommand(6, "Export Skin..."));
  NewFromBaseAct_ = make("New &Model From Base Frame...", nullptr, nullptr,
                         "Create a new model from a geometry file", [this] { NewModelFromBaseFrame(); });
  ImportFrameAct_ = make("Import Frame...", nullptr, nullptr, QString(), sceneCommand(5, "Import Frame..."));
  ExportFrameAct_ = make("Export Frame...", nullptr, nullptr, QString(), sceneCommand(6, "Export Frame..."));
  ImportFramesAct_ = make("Import Multiple Frames...", nullptr, nullptr, QString(),
                          sceneCommand(21, "Import Multiple Frames..."));
  ExportFramesAct_ = make("Export Multiple Frames...", nullptr, nullptr, QString(),
                          sceneCommand(22, "Export Multiple Frames..."));
  ExitAct_ = make("E&xit", "exit", "application-exit", "Quit the program", [this] { close(); });
  ExitAct_->setShortcut(QKeySequence::Quit);

  UndoAct_ = make("&Undo", "undo", "edit-undo", QString(), [this] { Undo(); });
  UndoAct_->setObjectName("UndoAction");
  UndoAct_->setShortcut(QKeySequence::Undo);
  RedoAct_ = make("&Redo", "redo", "edit-redo", QString(), [this] { Redo(); });
  RedoAct_->setObjectName("RedoAction");
  RedoAct_->setShortcuts({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")});
  ShowUndoState(TMDLEditor::Instance(), UndoAct_, RedoAct_);

  ModelPropsAct_ = make("&Model Property Editor", "modelprops", nullptr, "Edit global model properties",
                        [this] { EditModelProperties(); });
  // The editor windows come with their own parts of the program.
  FrameEditorAct_ = make("&Frame Editor", "frameeditor", nullptr, "Edit frames", [this] { OpenFrameEditor(); });
  SkinEditorAct_ = make("&Skin Texture Editor", "skineditor", nullptr, "Edit skin texture", [this] { OpenSkinEditor(); });
  ColorEditorAct_ = make("Skin &Color Editor", "coloreditor", nullptr, "Edit skin colors", [this] { OpenColorEditor(); });
  JointEditorAct_ = make("&Joint Track Editor", "jointeditor", nullptr, "Edit joint tracks", [this] { OpenJointEditor(); });

  OptionsAct_ = make("&Edit", "options", nullptr, "Edit the program's options", [this] { EditOptions(); });
  TileVAct_ = make("Tile &Vertical", "tile-vertical", nullptr, "Arrange the windows side by side",
                   [this] { TileVertical(); });
  TileHAct_ = make("Tile &Horizontal", "tile-horizontal", nullptr, "Arrange the windows one above the other",
                   [this] { TileHorizontal(); });
  CascadeAct_ = make("&Cascade", "cascade", nullptr, "Arrange the windows overlapping", [this] { Cascade(); });

  MemoryAct_ = make("Memory Usage", nullptr, nullptr, "Show the program's memory usage",
                    [this] { ShowMemoryUsage(); });
  PerformanceAct_ = make("Rendering Performance", nullptr, nullptr, QString(), [this] {
    if (FrameViewer_) FrameViewer_->ShowPerformance();
  });
  PerformanceAct_->setVisible(false);
  PerformanceAct_->setEnabled(false);
  AboutAct_ = make("&About...", "about", "help-about", "About this program", [this] { ShowAbout(); });

  // The button bar's Save is enabled only while the model is modified.
  SaveButtonAct_ = new QAction(SaveAct_->icon(), "Save", this);
  SaveButtonAct_->setToolTip("Save the current model");
  SaveButtonAct_->setStatusTip("Save the current model");
  SaveButtonAct_->setEnabled(false);
  connect(SaveButtonAct_, &QAction::triggered, this, [this] { Guarded([this] { SaveModel(); }); });
}

void TModelViewer::CreateMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->addAction(NewAct_);
  file->addAction(OpenAct_);
  file->addAction(MergeAct_);
  file->addSeparator();
  file->addAction(SaveAct_);
  file->addAction(SaveAsAct_);
  file->addAction(SaveQuakeAct_);
  file->addSeparator();
  file->addAction(CloseAct_);
  file->addSeparator();
  file->addAction(ImportSkinAct_);
  file->addAction(ExportSkinAct_);
  file->addSeparator();
  file->addAction(NewFromBaseAct_);
  file->addAction(ImportFrameAct_);
  file->addAction(ExportFrameAct_);
  file->addAction(ImportFramesAct_);
  file->addAction(ExportFramesAct_);
  file->addSeparator();
  file->addAction(ExitAct_);

  QMenu* edit = menuBar()->addMenu("&Edit");
  edit->setObjectName("EditMenu");
  edit->addAction(UndoAct_);
  edit->addAction(RedoAct_);

  QMenu* view = menuBar()->addMenu("&View");
  view->setObjectName("ViewMenu");
  view->addAction(ModelPropsAct_);
  view->addSeparator();
  view->addAction(FrameEditorAct_);
  view->addAction(SkinEditorAct_);
  view->addAction(ColorEditorAct_);
  view->addAction(JointEditorAct_);
  view->addSeparator();
  // The tool bars' entries join once the bars exist (CreateToolBars).

  QMenu* options = menuBar()->addMenu("&Options");
  options->addAction(OptionsAct_);
  options->addSeparator();
  options->addAction(TileVAct_);
  options->addAction(TileHAct_);
  options->addAction(CascadeAct_);

  QMenu* help = menuBar()->addMenu("&Help");
  help->addAction(MemoryAct_);
  help->addAction(PerformanceAct_);
  help->addSeparator();
  help->addAction(AboutAct_);
}

void TModelViewer::CreateButtonBar() {
  ButtonBar_ = new QToolBar("Buttons", this);
  ButtonBar_->setObjectName("ButtonBar");
  ButtonBar_->setMovable(false);
  ButtonBar_->setFloatable(false);
  ButtonBar_->setIconSize(QSize(24, 24));
  ButtonBar_->toggleViewAction()->setVisible(false);
  ButtonBar_->addAction(NewAct_);
  ButtonBar_->addAction(OpenAct_);
  ButtonBar_->addAction(ModelPropsAct_);
  ButtonBar_->addAction(FrameEditorAct_);
  ButtonBar_->addAction(MergeAct_);
  ButtonBar_->addAction(SaveButtonAct_);
  ButtonBar_->addAction(SaveAsAct_);
  ButtonBar_->addAction(SkinEditorAct_);
  ButtonBar_->addAction(ColorEditorAct_);
  ButtonBar_->addAction(JointEditorAct_);
  addToolBar(Qt::TopToolBarArea, ButtonBar_);

  // The object library: one tab per folder, one button per model.
  LibraryBar_ = new QToolBar("Object Library", this);
  LibraryBar_->setObjectName("LibraryBar");
  LibraryBar_->setMovable(false);
  LibraryBar_->setFloatable(false);
  LibraryBar_->toggleViewAction()->setVisible(false);
  ObjectPalette_ = new QTabWidget(LibraryBar_);
  ObjectPalette_->setObjectName("ObjectPalette");
  ObjectPalette_->setDocumentMode(true);
  ObjectPalette_->setUsesScrollButtons(true);
  LibraryBar_->addWidget(ObjectPalette_);
  addToolBar(Qt::TopToolBarArea, LibraryBar_);
  addToolBarBreak(Qt::TopToolBarArea);
}

void TModelViewer::CreateToolBars() {
  TDockMetrics::SetControlSize(24, 24);
  TDockMetrics::SetSpacing(3, TDockMetrics::VerticalSpacing);
  auto setup = [this](TXToolBar* bar) {
    bar->setIconSize(QSize(24, 24));
    bar->SetAutoSavePosition(true);
    bar->SetRegistryKey(kToolBarKey);
    findChild<QMenu*>("ViewMenu")->addAction(bar->toggleViewAction());
  };
  auto* tools = new TXToolBar("EditToolBar", this, "Tool Palette");
  setup(tools);
  ToolGroup_ = new QActionGroup(this);
  ToolGroup_->setExclusive(true);
  for (int i = 0; i < 9; ++i) {
    const TToolButtonInfo& info = kToolButtons[i];
    QAction* a = tools->addAction(ProgramIcon(info.Icon), ShortHint(info.Hint));
    a->setObjectName(info.Name);
    a->setCheckable(true);
    a->setToolTip(ShortHint(info.Hint));
    a->setStatusTip(LongHint(info.Hint));
    a->setData(i);
    ToolGroup_->addAction(a);
    connect(a, &QAction::triggered, this, [this, i] { SetCurrentTool(i); });
  }
  ToolGroup_->actions().at(0)->setChecked(true);
  addToolBar(Qt::LeftToolBarArea, tools);
  ToolPaletteBar_ = tools;

  // The host of the tool-properties window; only the top and bottom suit it.
  auto* props = new TXToolBar("ToolPropToolbar", this, "Tool Properties");
  setup(props);
  props->SetAllowedDock({dpTop, dpBottom});
  addToolBar(Qt::TopToolBarArea, props);
  ToolPropsBar_ = props;
  ToolProps_ = new TToolPropsEditor(props);
  props->addWidget(ToolProps_);

  auto* colors = new TXToolBar("PaletteBar", this, "Color Palette");
  setup(colors);
  auto* content = new TPaletteBarContent(nullptr, colors);
  colors->addWidget(content);
  connect(colors, &QToolBar::orientationChanged, content, &TPaletteBarContent::setOrientation);
  addToolBar(Qt::BottomToolBarArea, colors);
  PaletteBar_ = colors;
}

void TModelViewer::CreateNavigationPanel() {
  auto* central = new QWidget(this);
  auto* row = new QHBoxLayout(central);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);

  NavigationPanel_ = new QWidget(central);
  NavigationPanel_->setObjectName("NavigationPanel");
  auto* column = new QVBoxLayout(NavigationPanel_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  // The skin list and the scene tree fill these places.
  SkinGroupPlace_ = new QFrame(NavigationPanel_);
  SkinGroupPlace_->setObjectName("SkinGroupPlace");
  static_cast<QFrame*>(SkinGroupPlace_)->setFrameShape(QFrame::StyledPanel);
  SkinGroupPlace_->setFixedHeight(120);
  ScenePlace_ = new QFrame(NavigationPanel_);
  ScenePlace_->setObjectName("ScenePlace");
  static_cast<QFrame*>(ScenePlace_)->setFrameShape(QFrame::StyledPanel);
  auto* vsplit = new TVertSplit(NavigationPanel_);
  vsplit->setObjectName("VertSplit1");
  vsplit->SetTopControl(SkinGroupPlace_);
  column->addWidget(SkinGroupPlace_);
  column->addWidget(vsplit);
  column->addWidget(ScenePlace_, 1);
  SkinGroupViewer_ = new TSkinGroupViewer(SkinGroupPlace_);
  (new QVBoxLayout(SkinGroupPlace_))->addWidget(SkinGroupViewer_);
  SkinGroupPlace_->layout()->setContentsMargins(0, 0, 0, 0);
  SceneViewer_ = new TSceneViewer(ScenePlace_);
  SceneViewer_->OnEditJoints = [this](int32_t object) {
    TJointsEditDlg dlg(object, this);
    dlg.exec();
  };
  (new QVBoxLayout(ScenePlace_))->addWidget(SceneViewer_);
  ScenePlace_->layout()->setContentsMargins(0, 0, 0, 0);
  NavigationPanel_->setFixedWidth(kDefaultNavigationWidth);

  auto* hsplit = new THorzSplit(central);
  hsplit->setObjectName("HorzSplit1");
  hsplit->SetLeftControl(NavigationPanel_);
  row->addWidget(NavigationPanel_);
  row->addWidget(hsplit);
  row->addWidget(MdiArea_, 1);
  setCentralWidget(central);
}

void TModelViewer::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("FrameStatusBar");
  const int widths[3] = {250, 75, 50};
  for (int i = 0; i < 3; ++i) {
    Panels_[i] = new QLabel(bar);
    Panels_[i]->setObjectName(QString("StatusPanel%1").arg(i));
    Panels_[i]->setMinimumWidth(widths[i]);
    Panels_[i]->setFrameShape(QFrame::StyledPanel);
    Panels_[i]->setFrameShadow(QFrame::Sunken);
    // The last panel takes the rest of the bar.
    bar->addWidget(Panels_[i], i == 2 ? 1 : 0);
  }
  bar->installEventFilter(this);
}

// ---- file dialogs and the observer -------------------------------------------------------

void TModelViewer::BindFileDialogs() {
  TFileDialogs& fd = *FileDialogs_;
  fd.OnCheckModified = [](TFileDialogs*, bool& modified) { modified = TMDLEditor::Instance().Modified; };
  fd.OnClear = [](TFileDialogs*) { TMDLEditor::Instance().Clear(); };
  fd.OnLoad = [this](TFileDialogs*, const QString& name) {
    const std::string file = ToStd(name);
    // A damaged file must not cost the model that is open: it is read once
    // on its own, and only a file that reads is loaded into the editor.
    {
      TMDL probe;
      probe.LoadFromFile(file);
    }
    TMDLEditor::Instance().LoadFromFile(file);
    StartupModelFile = file;
  };
  fd.OnStore = [this](TFileDialogs*, const QString& name) {
    const std::string file = ToStd(name);
    TMDLEditor::Instance().SaveToFile(file, SaveWithExtensions);
    StartupModelFile = file;
  };
  fd.OnFileNameChange = [this](TFileDialogs*) { UpdateCaption(); };
}

void TModelViewer::UpdateCaption() {
  const QString name = FileDialogs_->FileName();
  setWindowTitle(name.isEmpty() ? QString("Tessel") : "Tessel - " + name);
}

void TModelViewer::SetStatus(int panel, const QString& text) {
  if (panel >= 0 && panel < 3) Panels_[panel]->setText(text);
}

QString TModelViewer::StatusText(int panel) const {
  return panel >= 0 && panel < 3 ? Panels_[panel]->text() : QString();
}

void TModelViewer::UpdateModifiedState(bool modified) { SaveButtonAct_->setEnabled(modified); }

void TModelViewer::BindObserver() {
  TMDLObserver& o = Observer_;
  o.OnModifyChange = [this](TMDLObserver*, bool modified) { UpdateModifiedState(modified); };
  o.OnHistoryChange = [this](TMDLObserver*) { ShowUndoState(TMDLEditor::Instance(), UndoAct_, RedoAct_); };
  o.OnApplicationHintChange = [this](TMDLObserver*) { SetStatus(2, FromStd(TMDLEditor::Instance().ApplicationHint)); };
  auto frameChange = [this](TMDLObserver*) {
    TMDLEditor& e = TMDLEditor::Instance();
    TMDLFrame* f = e.CurrentFrameObject();
    if (!e.IsValid() || !f) return;
    SetStatus(0, Printf("Frame:%.3d  %s", e.CurrentFrame, f->Name().c_str()));
    SetStatus(1, QString());
  };
  o.OnCurrentFrameChange = frameChange;
  o.OnCurrentSceneChange = frameChange;
  // A model loaded or cleared: the panels start again from its first frame.
  o.OnMDLChange = [this, frameChange](TMDLObserver* sender) {
    SetStatus(0, QString());
    SetStatus(1, QString());
    frameChange(sender);
  };
  o.OnCurrentTriangleChange = [this](TMDLObserver*) {
    TMDLEditor& e = TMDLEditor::Instance();
    if (e.CurrentTriangle != -1) SetStatus(0, Printf("Triangle:%.3d", e.CurrentTriangle));
  };
  o.OnCurrentVertexChange = [this](TMDLObserver*) {
    TMDLEditor& e = TMDLEditor::Instance();
    const int v = e.CurrentVertex;
    if (v == -1 || !e.IsValid() || v >= e.Model->Vertices->Count()) return;
    // The frame editor shows positions; every other window skin coordinates.
    QMdiSubWindow* active = MdiArea_->activeSubWindow();
    const bool frameEditorActive = active && active->widget() && active->widget()->objectName() == "FrameViewer";
    TMDLFrame* f = e.CurrentFrameObject();
    if (frameEditorActive && f && v < f->Count()) {
      const TFrameVertex p = f->Get(v);
      SetStatus(0, Printf("Frame Vertex:%.3d  X:%3.2f  Y:%3.2f  Z:%3.2f", v, double(p.X), double(p.Y),
                          double(p.Z)));
    } else {
      const TSkinVertex s = e.SkinVertex(v);
      QString text = Printf("Skin Vertex:%.3d  X:%.3d  Y:%.3d", v, s.S, s.T);
      if (s.Flags & kOnSeam) text += " (on seam)";
      SetStatus(0, text);
    }
    SetStatus(1, FromStd(e.ObjectName(e.VertexObject(v))));
  };
  o.OnCurrentColorChange = [this](TMDLObserver*) {
    TMDLEditor& e = TMDLEditor::Instance();
    if (!e.IsValid()) return;
    const int c = e.CurrentColor;
    const TPaletteEntry p = GamePalette().GetEntry(c);
    SetStatus(0, Printf("Pal Color:%.3d  R:%.3d  G:%.3d  B:%.3d", c, p.Red, p.Green, p.Blue));
    if (TMDLBitmap* skin = e.CurrentSkinObject()) SetStatus(1, Printf("Count: %d", skin->ColorCount()[c]));
  };
  o.OnObjectCountChange = [this](TMDLObserver*) {
    if (TMDLEditor::Instance().IsValid()) return;
    SetStatus(0, QString());
    SetStatus(1, QString());
  };
  o.OnCurrentObjectChange = [this](TMDLObserver*) {
    TMDLEditor& e = TMDLEditor::Instance();
    if (!e.IsValid()) return;
    if (CurrentTool() == 1) e.SelectObjectVertices();
    else if (CurrentTool() == 2) e.SelectObjectTriangles();
  };
  TMDLEditor::Instance();
  o.Loaded();
}

void TModelViewer::SetCurrentTool(int tool) {
  if (tool < 0 || tool > 8) return;
  CurrentTool_ = tool;
  const QList<QAction*> actions = ToolGroup_->actions();
  if (!actions.at(tool)->isChecked()) actions.at(tool)->setChecked(true);
  if (FrameViewer_) FrameViewer_->SetTool(tool);
  if (SkinViewer_) SkinViewer_->SetTool(tool);
  ToolProps_->SetTool(tool);
}

TFrameViewer* TModelViewer::FrameEditor() const { return FrameViewer_; }

TFrameViewer* TModelViewer::OpenFrameEditor() {
  if (!FrameViewer_) {
    auto* viewer = new TFrameViewer;
    FrameViewer_ = viewer;
    viewer->SetTool(CurrentTool_);
    viewer->OnChange = [this](TMDLFramePaintBox& view) { FrameRateChanged(view); };
    QMdiSubWindow* frame = MdiArea_->addSubWindow(viewer);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    // The design size, wide enough for every tool-bar button, within the
    // area; stored bounds replace it when shown.
    const QSize area = MdiArea_->viewport()->size();
    const int margins = frame->width() - viewer->width();
    const int width = std::max(700, viewer->ToolBar()->sizeHint().width() + std::max(margins, 0));
    frame->resize(std::min(std::max(area.width(), 320), width), std::min(std::max(area.height(), 240), 580));
    PerformanceAct_->setEnabled(true);
    connect(viewer, &QObject::destroyed, this, [this] {
      PerformanceAct_->setEnabled(false);
      SetStatus(1, QString());
    });
  }
  FrameViewer_->show();
  MdiArea_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(FrameViewer_->parentWidget()));
  FrameViewer_->setFocus();
  return FrameViewer_;
}

TSkinViewer* TModelViewer::SkinEditor() const { return SkinViewer_; }

TSkinViewer* TModelViewer::OpenSkinEditor() {
  if (!SkinViewer_) {
    auto* viewer = new TSkinViewer;
    SkinViewer_ = viewer;
    // Both editors follow the main window's tool, so one opened second
    // takes over the tool the other has.
    viewer->SetTool(CurrentTool_);
    QMdiSubWindow* frame = MdiArea_->addSubWindow(viewer);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->resize(531, 452 + viewer->ToolBar()->sizeHint().height());
  }
  SkinViewer_->show();
  MdiArea_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(SkinViewer_->parentWidget()));
  SkinViewer_->setFocus();
  return SkinViewer_;
}

TColorViewer* TModelViewer::ColorEditor() const { return ColorViewer_; }

TJointViewer* TModelViewer::JointEditor() const { return JointViewer_; }

TJointViewer* TModelViewer::OpenJointEditor() {
  if (!JointViewer_) {
    auto* viewer = new TJointViewer;
    JointViewer_ = viewer;
    QMdiSubWindow* frame = MdiArea_->addSubWindow(viewer);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->adjustSize();
  }
  JointViewer_->show();
  MdiArea_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(JointViewer_->parentWidget()));
  JointViewer_->setFocus();
  return JointViewer_;
}

TColorViewer* TModelViewer::OpenColorEditor() {
  if (!ColorViewer_) {
    auto* viewer = new TColorViewer;
    ColorViewer_ = viewer;
    QMdiSubWindow* frame = MdiArea_->addSubWindow(viewer);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->adjustSize();
  }
  ColorViewer_->show();
  MdiArea_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(ColorViewer_->parentWidget()));
  ColorViewer_->setFocus();
  return ColorViewer_;
}

void TModelViewer::FrameRateChanged(const TMDLFramePaintBox& view) {
  if (view.RenderTime <= 0) {
    SetStatus(1, "?/? fps");
    return;
  }
  const int achievable = static_cast<int>(std::lround(1000.0 / view.RenderTime));
  const int target = FrameViewer_ ? view.FramesPerSecond() : 40;
  SetStatus(1, Printf("%d/%d fps", std::min(target, achievable), achievable));
}

bool TModelViewer::Guarded(QWidget* parent, const std::function<void()>& f) {
  try {
    f();
    return true;
  } catch (const std::exception& e) {
    ShowError(parent, QString::fromUtf8(e.what()));
  } catch (...) {
    ShowError(parent, "Unknown error");
  }
  return false;
}

bool TModelViewer::Guarded(const std::function<void()>& f) { return Guarded(this, f); }

// ---- start-up and closing ------------------------------------------------------------------

void TModelViewer::StartupTimerTimer() {
  StartupTimer_->stop();
  bool loaded = true;
  if (!StartupModelFile.empty()) {
    const std::string name = StartupModelFile;
    loaded = Guarded([&] { FileDialogs_->OpenFile(FromStd(name)); });
    // A model that fails keeps its name for the next start; no editor
    // window opens by itself then.
    if (!loaded) StartupModelFile = name;
  } else {
    Guarded([this] { FileDialogs_->New(); });
  }
  if (loaded) StartupModelFile = ToStd(FileDialogs_->FileName());
  // The editor windows, the active one opened last so it ends on top. Only
  // the Frame Editor is part of the program so far.
  if (loaded && ActiveEditor >= ewFrame && ActiveEditor <= ewJoint) {
    // From the window three after the active one round to it, so the
    // active one is opened last and ends on top.
    for (int i = 3; i >= 0; --i) {
      const int w = (ActiveEditor + i) % 4;
      if (w == ewFrame && ShowFrameEditor) OpenFrameEditor();
      if (w == ewSkin && ShowSkinEditor) OpenSkinEditor();
      if (w == ewColor && ShowColorEditor) OpenColorEditor();
      if (w == ewJoint && ShowJointEditor) OpenJointEditor();
    }
  }
  StartupDone_ = true;
  emit startupFinished();
}

void TModelViewer::ReadSettingsFile() {
  try {
    TIniFile ini(SettingsFileName());
    ReadSettings(ini);
  } catch (const std::exception&) {
    // An unreadable settings file gives the defaults.
    TIniFile empty;
    ReadSettings(empty);
  }
}

void TModelViewer::WriteSettingsFile() {
  try {
    TIniFile ini(SettingsFileName());
    WriteSettings(ini);
    ini.UpdateFile();
  } catch (const std::exception& e) {
    ShowError(this, QString("The settings could not be saved: ") + QString::fromUtf8(e.what()));
  }
}

void TModelViewer::ReadSettings(TIniFile& ini) {
  TMDLEditor& editor = TMDLEditor::Instance();
  const int gamma = ini.ReadInteger(kMdl, "Gamma", editor.Gamma);
  editor.SetGamma(std::clamp(gamma, -31, 32));
  // The undo history's memory, in MiB; 0 keeps no steps.
  const int undoMB = ini.ReadInteger(kMdl, "UndoMemoryMB", static_cast<int>(TUndoHistory::kDefaultBudget >> 20));
  editor.History.SetBudget(static_cast<size_t>(std::clamp(undoMB, 0, kMaxUndoMemoryMB)) << 20);
  StartupModelFile = ini.ReadString(kGeneral, "ModelFile", "");
  ApplyHints(ini.ReadBool(kGeneral, "ShowHints", true));

  // The window's bounds, kept on the screen whatever the file says.
  QRect area(0, 0, 1024, 768);
  if (QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
  const int w = std::clamp(ini.ReadInteger(kGeneral, "Width", 800), 320, std::max(320, area.width()));
  const int h = std::clamp(ini.ReadInteger(kGeneral, "Height", 600), 240, std::max(240, area.height()));
  const int l = std::clamp(ini.ReadInteger(kGeneral, "Left", area.left() + 40), area.left(),
                           std::max(area.left(), area.right() - w + 1));
  const int t = std::clamp(ini.ReadInteger(kGeneral, "Top", area.top() + 40), area.top(),
                           std::max(area.top(), area.bottom() - h + 1));
  resize(w, h);
  move(l, t);
  const int nav = ini.ReadInteger(kGeneral, "NavigationPanelWidth", kDefaultNavigationWidth);
  NavigationPanel_->setFixedWidth(std::clamp(nav, 0, std::max(0, w - 40)));

  std::string lib = ini.ReadString(kGeneral, "LibraryPath", ProgramDirectory());
  if (lib.empty() || lib.back() != '/') lib += '/';
  LibraryPath = lib;
  ShowFrameEditor = ini.ReadBool(kGeneral, "FrameEditor", true);
  ShowSkinEditor = ini.ReadBool(kGeneral, "SkinEditor", false);
  ShowColorEditor = ini.ReadBool(kGeneral, "ColorEditor", false);
  ShowJointEditor = ini.ReadBool(kGeneral, "JointEditor", false);
  ActiveEditor = ini.ReadInteger(kGeneral, "ActiveEditor", 0);
  ToolPaletteBar_->setVisible(ini.ReadBool(kGeneral, "ShowToolBar", true));
  ToolPropsBar_->setVisible(ini.ReadBool(kGeneral, "ShowToolProps", true));
  PaletteBar_->setVisible(ini.ReadBool(kGeneral, "ShowColorPalette", true));
  TXToolBar::LoadPositions(this);
}

void TModelViewer::WriteSettings(TIniFile& ini) {
  ini.WriteInteger(kMdl, "Gamma", TMDLEditor::Instance().Gamma);
  ini.WriteInteger(kMdl, "UndoMemoryMB", static_cast<int>(TMDLEditor::Instance().History.Budget() >> 20));
  ini.WriteString(kGeneral, "ModelFile", StartupModelFile);
  ini.WriteBool(kGeneral, "ShowHints", ShowHints_);
  const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
  ini.WriteInteger(kGeneral, "Left", g.left());
  ini.WriteInteger(kGeneral, "Top", g.top());
  ini.WriteInteger(kGeneral, "Width", g.width());
  ini.WriteInteger(kGeneral, "Height", g.height());
  ini.WriteInteger(kGeneral, "NavigationPanelWidth", NavigationPanel_->width());
  ini.WriteString(kGeneral, "LibraryPath", LibraryPath);
  // The windows that exist are written as they are; the editor windows not
  // yet part of this build keep the choices read at start.
  ShowFrameEditor = FrameViewer_ != nullptr;
  QMdiSubWindow* current = MdiArea_->currentSubWindow();
  ActiveEditor = FrameViewer_ && current && current->widget() == FrameViewer_ ? ewFrame : -1;
  ShowSkinEditor = SkinViewer_ != nullptr;
  if (SkinViewer_ && current && current->widget() == SkinViewer_) ActiveEditor = ewSkin;
  ShowColorEditor = ColorViewer_ != nullptr;
  if (ColorViewer_ && current && current->widget() == ColorViewer_) ActiveEditor = ewColor;
  ShowJointEditor = JointViewer_ != nullptr;
  if (JointViewer_ && current && current->widget() == JointViewer_) ActiveEditor = ewJoint;
  ini.WriteBool(kGeneral, "FrameEditor", ShowFrameEditor);
  ini.WriteBool(kGeneral, "SkinEditor", ShowSkinEditor);
  ini.WriteBool(kGeneral, "ColorEditor", ShowColorEditor);
  ini.WriteBool(kGeneral, "JointEditor", ShowJointEditor);
  ini.WriteInteger(kGeneral, "ActiveEditor", ActiveEditor);
  ini.WriteBool(kGeneral, "ShowToolBar", !ToolPaletteBar_->isHidden());
  ini.WriteBool(kGeneral, "ShowToolProps", !ToolPropsBar_->isHidden());
  ini.WriteBool(kGeneral, "ShowColorPalette", !PaletteBar_->isHidden());
}

void TModelViewer::ApplyHints(bool show) {
  // Without hints the tool tips of this window and its bars are held back
  // (see eventFilter); the status-bar texts stay.
  if (show == ShowHints_) return;
  ShowHints_ = show;
  if (show) qApp->removeEventFilter(this);
  else qApp->installEventFilter(this);
}

void TModelViewer::closeEvent(QCloseEvent* event) {
  // Playback stops before anything else; then the settings, which are kept
  // even when the user then cancels.
  if (FrameViewer_) FrameViewer_->StopAll();
  WriteSettingsFile();
  TXToolBar::SavePositions(this);
  int result = TFileDialogs::kCancelled;
  Guarded([&] { result = FileDialogs_->CanClose(); });
  if (result != TFileDialogs::kDone) {
    event->ignore();
    return;
  }
  ProgressForm_->close();
  MdiArea_->closeAllSubWindows();
  event->accept();
}

bool TModelViewer::event(QEvent* event) {
  // Hints of menus and buttons go to the editor, which tells every window;
  // the status bar's third panel shows them (not a message over the panels).
  if (event->type() == QEvent::StatusTip) {
    TMDLEditor::Instance().SetApplicationHint(ToStd(static_cast<QStatusTipEvent*>(event)->tip()));
    return true;
  }
  return QMainWindow::event(event);
}

bool TModelViewer::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ToolTip && !ShowHints_) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (w && (w->window() == this || isAncestorOf(w) || qobject_cast<QToolBar*>(w->window()))) return true;
  }
  // A double click on the status bar asks for the rendering performance,
  // which only the frame editor has.
  // (The hidden menu entry counts as disabled to Qt, so the window is asked directly.)
  if (watched == statusBar() && event->type() == QEvent::MouseButtonDblClick && FrameViewer_)
    FrameViewer_->ShowPerformance();
  return QMainWindow::eventFilter(watched, event);
}

// ---- file commands ---------------------------------------------------------------------------

void TModelViewer::NewModel() { FileDialogs_->New(); }

void TModelViewer::OpenModel() { FileDialogs_->Open(); }

void TModelViewer::OpenModelFile(const QString& name) { FileDialogs_->OpenFile(name); }

void TModelViewer::MergeModel() {
  const QString name = QFileDialog::getOpenFileName(this, "Merge Model", FromStd(LibraryPath),
                                                    "Quake Model (*.MDL *.mdl)");
  if (!name.isEmpty()) MergeModelFile(name);
}

void TModelViewer::MergeModelFile(const QString& name) {
  if (!QFileInfo(name).isFile()) throw std::runtime_error("File not found: " + ToStd(name));
  TMDLEditor::Instance().MergeModel(ToStd(name));
}

void TModelViewer::SaveModel() {
  SaveWithExtensions = true;
  FileDialogs_->Save();
}

void TModelViewer::SaveModelAs() {
  SaveWithExtensions = true;
  FileDialogs_->SaveAs();
}

void TModelViewer::SaveAsQuakeModel() {
  SaveWithExtensions = false;
  FileDialogs_->SaveAs();
}

void TModelViewer::CloseModel() { FileDialogs_->New(); }

void TModelViewer::NewModelFromBaseFrame() {
  const QString name = QFileDialog::getOpenFileName(this, "New Model From Base Frame", FromStd(LibraryPath),
                                                    QtFilter(TTriangleFiler::Instance().GetImportFilter()));
  if (name.isEmpty() || !QFileInfo(name).isFile()) return;
  if (FileDialogs_->New() != TFileDialogs::kDone) return;
  TMDLEditor::Instance().NewFromBaseFrame(ToStd(name));
}

void TModelViewer::EditModelProperties() {
  TModelPropEditDlg dlg(this);
  dlg.exec();
}

void TModelViewer::Undo() { TMDLEditor::Instance().Undo(); }

void TModelViewer::Redo() { TMDLEditor::Instance().Redo(); }

void TModelViewer::EditOptions() {
  TOptionsDialog dlg(this);
  dlg.General()->SetShowHints(ShowHints_);
  dlg.General()->SetGamma(TMDLEditor::Instance().Gamma);
  dlg.General()->SetLibraryPath(FromStd(LibraryPath));
  // The Frame Editor's page is there while the window is.
  TFrameViewerOptions* framePage = nullptr;
  if (FrameViewer_) {
    framePage = new TFrameViewerOptions;
    dlg.AddPage(framePage, "Frame Viewer Options");
    FrameViewer_->LoadOptions(*framePage);
  }
  TColorViewerOptions* colorPage = nullptr;
  if (ColorViewer_) {
    colorPage = new TColorViewerOptions;
    dlg.AddPage(colorPage, "Color Viewer Options");
    ColorViewer_->LoadOptions(*colorPage);
  }
  if (dlg.exec() != QDialog::Accepted) return;
  if (framePage && FrameViewer_) FrameViewer_->ApplyOptions(*framePage);
  if (colorPage && ColorViewer_) ColorViewer_->ApplyOptions(*colorPage);
  TMDLEditor::Instance().SetGamma(dlg.General()->Gamma());
  ApplyHints(dlg.General()->ShowHints());
  std::string lib = ToStd(dlg.General()->LibraryPath());
  if (lib.empty() || lib.back() != '/') lib += '/';
  LibraryPath = lib;
  BuildObjectPalette();
}

void TModelViewer::ShowMemoryUsage() {
  TMemUsageDialog dlg(this);
  dlg.exec();
}

void TModelViewer::ShowAbout() {
  TAboutBox box(this);
  box.exec();
}

// ---- child window arrangement ---------------------------------------------------------------

namespace {

QList<QMdiSubWindow*> ArrangeableWindows(QMdiArea* area) {
  QList<QMdiSubWindow*> out;
  for (QMdiSubWindow* w : area->subWindowList())
    if (w->isVisible() && !w->isMinimized()) out << w;
  return out;
}

void Tile(QMdiArea* area, bool sideBySide) {
  const QList<QMdiSubWindow*> windows = ArrangeableWindows(area);
  if (windows.isEmpty()) return;
  const QRect r = area->viewport()->rect();
  const int n = static_cast<int>(windows.size());
  for (int i = 0; i < n; ++i) {
    windows[i]->showNormal();
    if (sideBySide) {
      const int x0 = r.width() * i / n, x1 = r.width() * (i + 1) / n;
      windows[i]->setGeometry(x0, 0, x1 - x0, r.height());
    } else {
      const int y0 = r.height() * i / n, y1 = r.height() * (i + 1) / n;
      windows[i]->setGeometry(0, y0, r.width(), y1 - y0);
    }
  }
}

}  // namespace

void TModelViewer::TileVertical() { Tile(MdiArea_, true); }
void TModelViewer::TileHorizontal() { Tile(MdiArea_, false); }
void TModelViewer::Cascade() { MdiArea_->cascadeSubWindows(); }

// ---- dropped files ----------------------------------------------------------------------------

void TModelViewer::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TModelViewer::dropEvent(QDropEvent* event) {
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) files << url.toLocalFile();
  event->acceptProposedAction();
  DropFiles(files);
}

void TModelViewer::DropFiles(const QStringList& files) {
  // 1. The first model opens, and nothing else happens.
  for (const QString& f : files) {
    if (QFileInfo(f).suffix().compare("MDL", Qt::CaseInsensitive) == 0) {
      if (Guarded([&] { FileDialogs_->OpenFile(f); })) StartupModelFile = ToStd(FileDialogs_->FileName());
      return;
    }
  }
  TMDLEditor& editor = TMDLEditor::Instance();
  // 2. Pictures become skins; only the first three places of the list count.
  TBitmapFiler& pictures = TBitmapFiler::Instance();
  for (int i = 0; i < files.size(); ++i) {
    const std::string ext = ToStd("." + QFileInfo(files[i]).suffix());
    const TBmpImpExpFormat* format = pictures.Formats().Find(ext);
    if (!format || !format->CanImport()) continue;
    if (i > 2) break;
    if (!Guarded([&] { editor.ImportSkin(ToStd(files[i])); })) return;
  }
  // 3. Geometry files become frames, all in one step.
  TTriangleFiler& geometry = TTriangleFiler::Instance();
  std::vector<std::string> frames;
  for (const QString& f : files) {
    const TTriImpExpFormat* format = geometry.Formats().Find(ToStd("." + QFileInfo(f).suffix()));
    if (format && format->CanImport()) frames.push_back(ToStd(f));
  }
  if (!frames.empty()) Guarded([&] { editor.ImportFrames(frames); });
}

// ---- the object library -----------------------------------------------------------------------

QIcon TModelViewer::ModelGlyph(const QString& modelFile) const {
  // A picture beside the model, of the same name, is its glyph.
  const QFileInfo info(modelFile);
  const QDir dir = info.dir();
  const QStringList pictures =
      dir.entryList({info.completeBaseName() + ".bmp"}, QDir::Files | QDir::Readable, QDir::Name);
  for (const QString& p : pictures) {
    QImageReader reader(dir.filePath(p));
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > 256 || size.height() > 256) continue;
    const QImage image = reader.read();
    if (!image.isNull()) return QIcon(QPixmap::fromImage(image));
  }
  // Otherwise the model itself, drawn small by the frame view's own paint
  // box through an editor of its own, so the open model is not touched.
  try {
    TMDLEditor editor;
    editor.LoadFromFile(ToStd(modelFile));
    if (editor.IsValid()) {
      constexpr int kSize = 48;
      TOffscreenSurfaceHost host;
      host.Bounds = TRect{0, 0, kSize, kSize};
      TMDLFramePaintBox box(&editor, &host);
      box.SetBitmapFitting(bfNone);
      box.SetViewMode(vmTextured);
      box.SetResolution(kSize, kSize);
      box.SetView(0);
      box.CenterView();
      FitCamera(box, *editor.Model, box.Bitmap().GetWidth(), box.Bitmap().GetHeight());
      box.LightFromCamera();
      box.Paint();
      return QIcon(QPixmap::fromImage(ImageOfBitmap(box.Bitmap())));
    }
  } catch (const std::exception&) {
    // A damaged library model gets the plain glyph; clicking it reports the error.
  }
  return ProgramIcon("merge");
}

void TModelViewer::AddPaletteButton(QWidget* tab, const QString& modelFile, int tag) {
  auto* button = new QToolButton(tab);
  const QFileInfo info(modelFile);
  button->setObjectName("PaletteButton" + QString::number(tag));
  button->setProperty("tag", tag);
  button->setIcon(ModelGlyph(modelFile));
  button->setIconSize(QSize(32, 32));
  button->setAutoRaise(true);
  QString hint;
  const QStringList texts = info.dir().entryList({info.completeBaseName() + ".txt"}, QDir::Files, QDir::Name);
  if (!texts.isEmpty()) hint = FirstLineOf(info.dir().filePath(texts.first()));
  if (hint.isEmpty()) hint = info.completeBaseName();
  button->setToolTip(hint);
  button->setStatusTip(hint);
  connect(button, &QToolButton::clicked, this, [this, tag] {
    if (tag < 0 || tag >= static_cast<int>(PaletteModelFiles.size())) return;
    const QString file = FromStd(PaletteModelFiles[static_cast<size_t>(tag)]);
    Guarded([&] { MergeModelFile(file); });
  });
  tab->layout()->addWidget(button);
}

void TModelViewer::BuildObjectPalette() {
  // Rebuilding starts from nothing.
  while (ObjectPalette_->count() > 0) {
    QWidget* page = ObjectPalette_->widget(0);
    ObjectPalette_->removeTab(0);
    delete page;
  }
  PaletteModelFiles.clear();
  if (!QFileInfo(FromStd(LibraryPath)).isDir()) LibraryPath = ProgramDirectory();

  auto addTab = [this](const QString& caption, const QDir& dir) {
    const QStringList models = dir.entryList({"*.mdl"}, QDir::Files | QDir::Readable, QDir::Name);
    if (models.isEmpty()) return;
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    for (const QString& m : models) {
      const int tag = static_cast<int>(PaletteModelFiles.size());
      PaletteModelFiles.push_back(ToStd(dir.filePath(m)));
      AddPaletteButton(page, dir.filePath(m), tag);
    }
    row->addStretch(1);
    ObjectPalette_->addTab(page, caption);
  };
  const QDir root(FromStd(LibraryPath));
  addTab("Primitive", root);
  for (const QString& sub : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable, QDir::Name)) {
    if (ObjectPalette_->count() >= kMaxPaletteTabs) break;
    if (sub.startsWith('.') || sub.compare("Demos", Qt::CaseInsensitive) == 0 ||
        sub.compare("Help", Qt::CaseInsensitive) == 0)
      continue;
    addTab(sub, QDir(root.filePath(sub)));
  }
  LibraryBar_->setVisible(ObjectPalette_->count() > 0);
}
