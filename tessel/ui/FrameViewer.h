#pragma once
// The "Frame Editor" child window: one or three 3-D views of the current
// frame (frame paint boxes on surface widgets), the tool bar that switches
// their render mode, view preset, zoom and resolution, the context menus
// that carry the geometry commands, playback, snapshots, the skin recorder
// and the window's own settings in section "VIEW3D". The views do the work;
// this window only switches them and passes the main window's tool on.

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "editor/MDLEdit.h"
#include "render/MDLFramePaintBox.h"

class QAction;
class QActionGroup;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;
class SurfaceWidget;
class TIniFile;
class TVertSplit;
class THorzSplit;
class TPerformanceForm;
class TFrameViewerOptions;

// Where the skin the recorder made goes.
enum TRenderedSkinChoice { rsInsertNew, rsReplaceCurrent, rsDiscard };

class TFrameViewer : public QWidget {
  Q_OBJECT

public:
  static constexpr int kViewCount = 3;
  // The render size of a view before the settings say otherwise.
  static constexpr int kDefaultWidth = 640;
  static constexpr int kDefaultHeight = 480;
  // "500 %": a whole model and some ground around it at the usual distance.
  static constexpr int kDefaultFieldOfView = 55;

  explicit TFrameViewer(QWidget* parent = nullptr);
  ~TFrameViewer() override;

  // ---- views
  TMDLFramePaintBox& FramePaintBox(int i) const { return *Boxes_[static_cast<size_t>(i)]; }
  SurfaceWidget* ViewWidget(int i) const { return Widgets_[static_cast<size_t>(i)]; }
  TMDLFramePaintBox& ActiveView() const { return *ActiveView_; }
  // Makes `box` the view the tool bar acts on and marks it.
  void SetActiveView(TMDLFramePaintBox& box);
  bool ThreePanels() const { return ThreePanels_; }
  void SetThreePanels(bool on);

  // ---- the tool bar's commands (on ActiveView unless said otherwise)
  // 0 texture mapped, 1 solid, 2 wireframe, 3 texture mapped with the skin recorder on.
  void SetPaintMode(int mode);
  // The view buttons' tags 1..8 (tag 7 the standard view 0).
  void SetViewButton(int tag);
  // "100 %" ... "1000 %".
  void SetZoom(int percent);
  // The zoom entry that matches the field of view, or 0.
  int ZoomPercent() const;
  // Tags 0..5 of "320 x 240" ... "1120 x 840" for every view.
  void SetResolutionTag(int tag);
  bool AutoFocus() const { return AutoFocus_; }
  void SetAutoFocus(bool on);
  void SetPerspective(bool perspective);
  void SetShowBacksides(bool on);
  void SetSpotlight(bool on);
  void SnapSpotlight();
  // "Play scene forward": the active view plays, the others stop.
  void Play();
  // "Stop playing": the active view stops.
  void Stop();
  // Every view stops (the main window closes).
  void StopAll();
  // The skin recorder of the active view; switching it off asks where the
  // rendered skin goes.
  void SetSkinRecorder(bool on);
  // The rendered picture of the active view (null without a valid editor).
  QImage Snapshot() const;
  void SnapshotToClipboard();
  // Throws when the file cannot be written.
  void SnapshotToFile(const QString& fileName);

  // ---- tools and menus
  int Tool() const { return Tool_; }
  void SetTool(int tool);
  QMenu* VertexMenu() const { return VertexMenu_; }
  QMenu* TriangleMenu() const { return TriangleMenu_; }
  QMenu* ObjectMenu() const { return ObjectMenu_; }
  // The menu a right click opens now (null for none).
  QMenu* ContextMenu() const;
  // Every command of the window by its caption without "&", or its hint for the tool buttons.
  QAction* Action(const QString& caption) const;
  QToolBar* ToolBar() const { return ToolBar_; }

  // ---- the options page
  // Fills the page from the active view and the model's eye height.
  void LoadOptions(TFrameViewerOptions& page) const;
  // The page's values to the views and the eye height to the model.
  void ApplyOptions(const TFrameViewerOptions& page);

  // ---- settings
  void ReadSettings(TIniFile& ini);
  void WriteSettings(TIniFile& ini);
  // The window bounds the settings asked for (applied when shown in a frame).
  QRect StoredBounds() const { return StoredBounds_; }
  void UpdateCaption();
  // Opens (or brings up) the performance window of the active view.
  TPerformanceForm* ShowPerformance();

  // Raised after each frame a view renders while playing.
  std::function<void(TMDLFramePaintBox& view)> OnChange;
  // Asks where a rendered skin goes; tests replace it.
  static std::function<TRenderedSkinChoice(QWidget* parent)> AskRenderedSkin;
  // Asks for the snapshot's file name (empty: cancelled); tests replace it.
  static std::function<QString(QWidget* parent)> AskSnapshotFile;
  // Shows the errors of the commands; tests replace it.
  static std::function<void(QWidget* parent, const QString& text)> ShowError;

protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void CreateViews();
  void CreateToolBar();
  void CreateMenus();
  void BindObserver();
  void ApplyToAll(const std::function<void(TMDLFramePaintBox&)>& f);
  void UpdateButtons();
  void FitAutoFocus(int i);
  void Refit(TMDLFramePaintBox& box);
  void ShowContextMenu(const QString& name, const QPoint& at);
  void FillObjectMenu(QMenu* menu, const std::function<void(int)>& command);
  // Runs an editor command when `tool` is current, showing what it throws.
  void Command(int tool, const std::function<void(TMDLEditor&)>& f);
  void StoreRecording(TRenderedSkinChoice choice);
  void PaintLabels(int i, QPainter& painter);

  TMDLObserver Observer_;
  std::array<std::unique_ptr<TMDLFramePaintBox>, kViewCount> Boxes_;
  std::array<SurfaceWidget*, kViewCount> Widgets_{};
  TMDLFramePaintBox* ActiveView_ = nullptr;
  QWidget* BackPanel2_ = nullptr;
  THorzSplit* HorzSplit_ = nullptr;
  TVertSplit* VertSplit_ = nullptr;
  QToolBar* ToolBar_ = nullptr;
  QTimer* UpdateControl_ = nullptr;
  QTimer* StartupTimer_ = nullptr;
  QMenu* VertexMenu_ = nullptr;
  QMenu* TriangleMenu_ = nullptr;
  QMenu* ObjectMenu_ = nullptr;
  QMenu* ZoomMenu_ = nullptr;
  QMenu* ResolutionMenu_ = nullptr;
  QMenu* SnapshotMenu_ = nullptr;
  QList<QAction*> Actions_;
  QAction* WiresAct_ = nullptr;
  QAction* SolidAct_ = nullptr;
  QAction* TextureAct_ = nullptr;
  QAction* SwitchViewsAct_ = nullptr;
  QAction* PerspectiveAct_ = nullptr;
  QAction* LightAct_ = nullptr;
  QAction* SnapLightAct_ = nullptr;
  QAction* SkinRecAct_ = nullptr;
  QAction* BacksidesAct_ = nullptr;
  QAction* AutoFocusAct_ = nullptr;
  QAction* UndoAct_ = nullptr;
  QAction* RedoAct_ = nullptr;
  QPointer<TPerformanceForm> Performance_;
  bool ThreePanels_ = false;
  bool AutoFocus_ = false;
  int Tool_ = 0;
  bool Placed_ = false;
  QRect StoredBounds_;
  bool StoredMaximized_ = false;
};
