#pragma once
// The "Skin Texture Editor" child window: the current skin on a texture
// image in a scroll box, and the tool bar with the skin commands, the
// player colour menus, the zoom menu and snapshots. Settings in "VIEW2D".
// The image does the painting; this window passes the main window's tool
// on and runs the commands.

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>

#include "editor/MDLEdit.h"
#include "render/MDLTextureImage.h"

class QAction;
class QMenu;
class QScrollArea;
class QTimer;
class QToolBar;
class QToolButton;
class SurfaceWidget;
class TIniFile;

class TSkinViewer : public QWidget {
  Q_OBJECT

public:
  explicit TSkinViewer(QWidget* parent = nullptr);
  ~TSkinViewer() override;

  TMDLTextureImage& SkinImage() const { return *Image_; }
  SurfaceWidget* ImageWidget() const { return ImageWidget_; }
  QToolBar* ToolBar() const { return ToolBar_; }
  // Every command by its hint (the tool bar) or caption (the menus).
  QAction* Action(const QString& text) const;
  QMenu* ZoomMenu() const { return ZoomMenu_; }
  QMenu* ShirtMenu() const { return ShirtMenu_; }
  QMenu* PantsMenu() const { return PantsMenu_; }

  // The main window's tool, 0..8; others are ignored.
  void SetTool(int tool);
  int Tool() const { return Image_->Mode(); }
  void SetZoom(int percent);

  // The picture as shown, overlays included (null without a valid editor).
  QImage Snapshot() const;
  void SnapshotToClipboard();
  // Throws when the file cannot be written.
  void SnapshotToFile(const QString& fileName);
  void PreviousSkin();
  void NextSkin();

  void ReadSettings(TIniFile& ini);
  void WriteSettings(TIniFile& ini);
  QRect StoredBounds() const { return StoredBounds_; }
  // Caption and the size of the image's panel.
  void UpdateCaption();

  // Asks for the snapshot's file name (empty: cancelled); tests replace it.
  static std::function<QString(QWidget* parent)> AskSnapshotFile;
  // Shows the errors of the commands; tests replace it.
  static std::function<void(QWidget* parent, const QString& text)> ShowError;

protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void CreateToolBar();
  void BindObserver();
  void Command(const std::function<void(TMDLEditor&)>& f);
  void CheckMenus();
  void SizePanel();

  TMDLObserver Observer_;
  std::unique_ptr<TMDLTextureImage> Image_;
  SurfaceWidget* ImageWidget_ = nullptr;
  QWidget* BackPanel_ = nullptr;
  QScrollArea* ScrollBox_ = nullptr;
  QToolBar* ToolBar_ = nullptr;
  QTimer* RepaintTimer_ = nullptr;
  QMenu* ZoomMenu_ = nullptr;
  QMenu* ShirtMenu_ = nullptr;
  QMenu* PantsMenu_ = nullptr;
  QMenu* SnapshotMenu_ = nullptr;
  QAction* ShowTrianglesAct_ = nullptr;
  QAction* UndoAct_ = nullptr;
  QAction* RedoAct_ = nullptr;
  QList<QAction*> Actions_;
  bool Placed_ = false;
  QRect StoredBounds_;
  bool StoredMaximized_ = false;
};
