#pragma once
// The main window of tessel: a multiple-document frame around the editor
// windows, with the navigation panel, the button bar and object library,
// the three dockable tool bars and the status bar. It starts the program,
// keeps "TESSEL.INI" and runs the file commands. It talks to the model
// only through its observer and the editor.

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/MDLEdit.h"

class QAction;
class QActionGroup;
class QLabel;
class QMdiArea;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class TFileDialogs;
class TIniFile;
class TProgressForm;
class TFrameViewer;
class TJointViewer;
class TSceneViewer;
class TSkinGroupViewer;
class TSkinViewer;
class TColorViewer;
class TToolPropsEditor;
class TMDLFramePaintBox;

// The editor windows the main window knows by number (ActiveEditor).
enum TEditorWindow { ewFrame = 0, ewSkin = 1, ewColor = 2, ewJoint = 3 };

class TModelViewer : public QMainWindow {
  Q_OBJECT

public:
  // `arguments` are the command line's arguments after the program name.
  explicit TModelViewer(const QStringList& arguments = {}, QWidget* parent = nullptr);
  ~TModelViewer() override;

  // ---- window state
  std::string LibraryPath;
  std::string StartupModelFile;
  std::vector<std::string> PaletteModelFiles;
  bool ShowFrameEditor = true;
  bool ShowSkinEditor = false;
  bool ShowColorEditor = false;
  bool ShowJointEditor = false;
  int32_t ActiveEditor = 0;
  bool SaveWithExtensions = true;

  // How long after creation the start-up step runs.
  static constexpr int kStartupDelayMs = 0;
  QTimer* StartupTimer() const { return StartupTimer_; }
  bool StartupDone() const { return StartupDone_; }

  TFileDialogs& FileDialogs() const { return *FileDialogs_; }
  QMdiArea* MdiArea() const { return MdiArea_; }
  TProgressForm* ProgressForm() const { return ProgressForm_; }
  // Every menu entry, by its caption without "&" ("Open Model...").
  QAction* Action(const QString& caption) const;
  // The Edit menu's entries, whose captions name the step they take back
  // or do again.
  QAction* UndoAction() const { return UndoAct_; }
  QAction* RedoAction() const { return RedoAct_; }
  QList<QAction*> MenuActions() const;
  QString StatusText(int panel) const;
  QToolBar* ToolPaletteBar() const { return ToolPaletteBar_; }
  QToolBar* ToolPropertiesBar() const { return ToolPropsBar_; }
  QToolBar* ColorPaletteBar() const { return PaletteBar_; }
  QWidget* NavigationPanel() const { return NavigationPanel_; }
  // The navigation panel's two windows.
  TSceneViewer* SceneViewer() const { return SceneViewer_; }
  TSkinGroupViewer* SkinGroupViewer() const { return SkinGroupViewer_; }
  QTabWidget* ObjectPalette() const { return ObjectPalette_; }
  // The tool the frame and skin editors use (0 pointer ... 8 scale).
  int CurrentTool() const { return CurrentTool_; }
  // Whether the window's buttons show their hints as tool tips.
  bool ShowHints() const { return ShowHints_; }
  void SetCurrentTool(int tool);
  // The tool-properties window in its bar.
  TToolPropsEditor* ToolProps() const { return ToolProps_; }
  // The Frame Editor, or null while it is not open.
  TFrameViewer* FrameEditor() const;
  // "&Frame Editor": makes the window when there is none, shows and activates it.
  TFrameViewer* OpenFrameEditor();
  // The Skin Texture Editor, or null while it is not open.
  TSkinViewer* SkinEditor() const;
  // "&Skin Texture Editor": makes the window when there is none, shows and activates it.
  TSkinViewer* OpenSkinEditor();
  // The Skin Color Editor, or null while it is not open.
  TColorViewer* ColorEditor() const;
  // "Skin &Color Editor": makes the window when there is none, shows and activates it.
  TColorViewer* OpenColorEditor();
  // The Joint Track Editor, or null while it is not open.
  TJointViewer* JointEditor() const;
  // "&Joint Track Editor": makes the window when there is none, shows and activates it.
  TJointViewer* OpenJointEditor();
  // The Frame Editor's frame-change callback: the achievable rate in panel 1.
  void FrameRateChanged(const TMDLFramePaintBox& view);

  // ---- commands (the menu's actions; errors are shown in a message box)
  void NewModel();
  void OpenModel();
  void OpenModelFile(const QString& name);
  void MergeModel();
  void MergeModelFile(const QString& name);
  void SaveModel();
  void SaveModelAs();
  void SaveAsQuakeModel();
  void CloseModel();
  void NewModelFromBaseFrame();
  void EditModelProperties();
  void Undo();
  void Redo();
  void EditOptions();
  void ShowMemoryUsage();
  void ShowAbout();
  void TileVertical();
  void TileHorizontal();
  void Cascade();

  // Files dropped on the window, by the program's rules.
  void DropFiles(const QStringList& files);
  // Builds the object library's tabs again from LibraryPath.
  void BuildObjectPalette();

  // Settings, in "TESSEL.INI".
  void ReadSettings(TIniFile& ini);
  void WriteSettings(TIniFile& ini);

  // Shows an error the way the program's top level does; tests replace it.
  static std::function<void(QWidget* parent, const QString& text)> ShowError;
  // Runs f; an error it raises is shown over `parent` and false returned.
  static bool Guarded(QWidget* parent, const std::function<void()>& f);

signals:
  // The start-up step has run: the model is open (or the error shown).
  void startupFinished();

protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void CreateActions();
  void CreateMenus();
  void CreateButtonBar();
  void CreateToolBars();
  void CreateNavigationPanel();
  void CreateStatusBar();
  void BindFileDialogs();
  void BindObserver();
  void StartupTimerTimer();
  void ReadSettingsFile();
  void WriteSettingsFile();
  void ApplyHints(bool show);
  // Runs `f`, showing what it throws; false when it threw.
  bool Guarded(const std::function<void()>& f);
  void SetStatus(int panel, const QString& text);
  void UpdateModifiedState(bool modified);
  void UpdateCaption();
  void AddPaletteButton(QWidget* tab, const QString& modelFile, int tag);
  QIcon ModelGlyph(const QString& modelFile) const;

  TMDLObserver Observer_;
  TFileDialogs* FileDialogs_ = nullptr;
  TProgressForm* ProgressForm_ = nullptr;
  QMdiArea* MdiArea_ = nullptr;
  QTimer* StartupTimer_ = nullptr;
  bool StartupDone_ = false;
  bool ShowHints_ = true;
  int CurrentTool_ = 0;

  QWidget* NavigationPanel_ = nullptr;
  QWidget* SkinGroupPlace_ = nullptr;
  QWidget* ScenePlace_ = nullptr;
  TSceneViewer* SceneViewer_ = nullptr;
  TSkinGroupViewer* SkinGroupViewer_ = nullptr;
  QToolBar* ButtonBar_ = nullptr;
  QToolBar* LibraryBar_ = nullptr;
  QTabWidget* ObjectPalette_ = nullptr;
  QToolBar* ToolPaletteBar_ = nullptr;
  QToolBar* ToolPropsBar_ = nullptr;
  QToolBar* PaletteBar_ = nullptr;
  QActionGroup* ToolGroup_ = nullptr;
  QLabel* Panels_[3] = {};
  QList<QAction*> AllActions_;

  QAction* NewAct_ = nullptr;
  QAction* OpenAct_ = nullptr;
  QAction* MergeAct_ = nullptr;
  QAction* SaveAct_ = nullptr;
  QAction* SaveAsAct_ = nullptr;
  QAction* SaveQuakeAct_ = nullptr;
  QAction* CloseAct_ = nullptr;
  QAction* ImportSkinAct_ = nullptr;
  QAction* ExportSkinAct_ = nullptr;
  QAction* NewFromBaseAct_ = nullptr;
  QAction* ImportFrameAct_ = nullptr;
  QAction* ExportFrameAct_ = nullptr;
  QAction* ImportFramesAct_ = nullptr;
  QAction* ExportFramesAct_ = nullptr;
  QAction* ExitAct_ = nullptr;
  QAction* UndoAct_ = nullptr;
  QAction* RedoAct_ = nullptr;
  QAction* ModelPropsAct_ = nullptr;
  QAction* FrameEditorAct_ = nullptr;
  QAction* SkinEditorAct_ = nullptr;
  QAction* ColorEditorAct_ = nullptr;
  QAction* JointEditorAct_ = nullptr;
  QAction* OptionsAct_ = nullptr;
  QAction* TileVAct_ = nullptr;
  QAction* TileHAct_ = nullptr;
  QAction* CascadeAct_ = nullptr;
  QAction* MemoryAct_ = nullptr;
  QAction* PerformanceAct_ = nullptr;
  QAction* AboutAct_ = nullptr;
  QAction* SaveButtonAct_ = nullptr;
  QPointer<TFrameViewer> FrameViewer_;
  QPointer<TSkinViewer> SkinViewer_;
  QPointer<TColorViewer> ColorViewer_;
  QPointer<TJointViewer> JointViewer_;
  TToolPropsEditor* ToolProps_ = nullptr;
};

// Reads the first line of a small text file (a library model's hint),
// at most 200 characters; empty when there is none.
QString FirstLineOf(const QString& fileName);
// "Description|*.EXT|..." filters of the format registries as Qt filters.
QString QtFilter(const std::string& pipeFilter);
