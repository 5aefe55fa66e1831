#pragma once
// The navigation panel's lower window: the scenes with their frames in one
// tree, the object hierarchy in another. Picking a node makes its scene,
// frame or object current; scenes and objects are renamed in place and
// frames, scenes and objects rearranged by drag and drop. Everything goes
// through the editor; the trees are rebuilt from its events, late (through
// posted refresh requests), with TTreeViewState keeping what the user saw.

#include <QSet>
#include <QStringList>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <memory>

#include "editor/MDLEdit.h"
#include "editor/Timers.h"

class QMenu;
class QAction;
class TMultiFrameSaveDlg;

// A tree's expansion, top item and selection across a rebuild, matched by
// node text and level (the selection and top item without regard to case).
class TTreeViewState {
public:
  void Save(QTreeWidget& tree);
  void Restore(QTreeWidget& tree, QTreeWidgetItem* node);
  // Between these, Restore only notes the top and selected nodes; Finish
  // scrolls and selects once, so a rebuild lays the tree out once.
  void BeginRestore() { Batch_ = true; }
  void Finish(QTreeWidget& tree);

  QSet<QString> ExpandedNodes;
  int32_t SelectedLevel = 0;
  QString SelectedText;
  int32_t TopLevel = 0;
  QString TopText;

private:
  QTreeWidgetItem* SelectedNode_ = nullptr;
  QTreeWidgetItem* TopNode_ = nullptr;
  bool Batch_ = false;
};

// Depth of a node: 0 for a top-level node.
int NodeLevel(const QTreeWidgetItem* node);

// A tree that takes drops only from itself and leaves the move to its owner:
// OnDrop gets the dragged node and the node under the mouse (null: empty
// space), and the tree rebuilds from the model afterwards.
class TNavigationTree : public QTreeWidget {
  Q_OBJECT

public:
  explicit TNavigationTree(QWidget* parent = nullptr);

  std::function<void(QTreeWidgetItem* dragged, QTreeWidgetItem* target)> OnDrop;
  // Whether a node may be dragged at all.
  std::function<bool(QTreeWidgetItem* node)> CanDrag;
  bool Editing() const { return state() == QAbstractItemView::EditingState; }

protected:
  void startDrag(Qt::DropActions actions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

class TSceneViewer : public QWidget {
  Q_OBJECT

public:
  // The deferred refresh requests.
  enum TRefresh { rfTexts = 0, rfSceneTree = 1, rfObjectIcons = 2, rfObjectTree = 3 };

  explicit TSceneViewer(QWidget* parent = nullptr);
  ~TSceneViewer() override;

  TNavigationTree* SceneTree() const { return SceneTree_; }
  TNavigationTree* ObjectTree() const { return ObjectTree_; }
  QMenu* SceneMenu() const { return SceneMenu_; }
  QMenu* ObjectMenu() const { return ObjectMenu_; }
  TOneShotTimer& ObjSelTimer() { return ObjSelTimer_; }
  TMultiFrameSaveDlg* MultiFrameSaveDlg() const { return SaveDlg_; }

  // Posts refresh request `what` (TRefresh); repeated requests before it
  // runs are done once.
  void PostRefresh(int what);
  // Runs every posted request now.
  void FlushRefresh();
  void RebuildSceneTree();
  void RebuildObjectTree();
  void RefreshTexts();
  void RefreshObjectIcons();

  // The scene and object nodes by model index (null when absent).
  QTreeWidgetItem* SceneNode(int scene) const;
  QTreeWidgetItem* FrameNode(int scene, int frame) const;
  QTreeWidgetItem* ObjectNode(int object) const;

  // What a drop does: a frame moves before the frame it lands on (to frame 0
  // of a scene node, to the end of the last scene on empty space); a scene
  // moves to the target's scene (to the end on empty space); an object
  // becomes the child of the object it lands on.
  void DropOnSceneTree(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
  void DropOnObjectTree(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
  // The state icon's click: shows or hides the object and its subtree.
  void ToggleObjectTree(QTreeWidgetItem* node);

  // The menus' commands by tag; any other tag raises "Menu item '%s' not
  // supported" with `caption`.
  void SceneMenuCommand(int tag, const QString& caption);
  void ObjectMenuCommand(int tag, const QString& caption);

  // The file names the menus ask for; tests replace it. `save` chooses a
  // save dialog; an empty answer cancels.
  static std::function<QString(QWidget* parent, const QString& title, const QString& filter,
                               const QString& extension, bool save)>
      AskFileName;
  // Opens the joints dialog for an object; the main window sets it.
  std::function<void(int32_t object)> OnEditJoints;

private:
  void BindObserver();
  void BuildMenus();
  void SceneSelectionChanged();
  void SceneItemChanged(QTreeWidgetItem* item);
  void ObjectItemChanged(QTreeWidgetItem* item);
  void ObjectSelectionChanged();
  void ObjSelTimerTimer();
  void SelectCurrentFrameNode();
  void SelectCurrentObjectNode();
  void UpdateObjectMenu();
  void AddObjectNode(QTreeWidgetItem* parent, TMDLObject& object);
  // Runs `f`, showing what it throws; false when it threw.
  bool Guarded(const std::function<void()>& f);

  TMDLObserver Observer_;
  TNavigationTree* SceneTree_;
  TNavigationTree* ObjectTree_;
  QMenu* SceneMenu_ = nullptr;
  QMenu* ObjectMenu_ = nullptr;
  QMenu* AssignMenu_ = nullptr;
  QAction* GroupAct_ = nullptr;
  TMultiFrameSaveDlg* SaveDlg_ = nullptr;
  TTreeViewState SceneState_;
  TTreeViewState ObjectState_;
  TOneShotTimer ObjSelTimer_;
  bool Pending_[4] = {};
  bool PostQueued_ = false;
  // Set while the window changes its own trees or a drop runs, so the trees'
  // signals are not taken for the user's.
  int Updating_ = 0;
  bool Dropping_ = false;
};
