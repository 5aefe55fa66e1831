#pragma once
// The navigation panel's upper window: the model's skins, one node each.
// Picking a node makes the skin current; skins are renamed in place,
// reordered by drag and drop, and made, copied, imported and exported
// through the skin menu.

#include <QWidget>
#include <functional>

#include "editor/MDLEdit.h"
#include "tessel/ui/SceneViewer.h"

class QMenu;

class TSkinGroupViewer : public QWidget {
  Q_OBJECT

public:
  explicit TSkinGroupViewer(QWidget* parent = nullptr);

  TNavigationTree* SkinTree() const { return Tree_; }
  QMenu* SkinMenu() const { return Menu_; }
  QTreeWidgetItem* SkinNode(int skin) const;

  // Posts a rebuild; repeated requests before it runs are done once.
  void PostRefresh();
  void FlushRefresh();
  void RebuildTree();

  // Skin A dropped on skin B takes B's place; on empty space (null) it goes
  // to the end. The moved skin becomes current.
  void DropOnSkin(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
  // The menu's commands by tag; any other tag raises "Menu item '%s' not
  // supported" with `caption`.
  void SkinMenuCommand(int tag, const QString& caption);

private:
  void BindObserver();
  void BuildMenu();
  void SelectionChanged();
  void ItemChanged(QTreeWidgetItem* item);
  void SelectCurrentSkinNode();
  bool Guarded(const std::function<void()>& f);

  TMDLObserver Observer_;
  TNavigationTree* Tree_;
  QMenu* Menu_ = nullptr;
  TTreeViewState State_;
  bool Pending_ = false;
  int Updating_ = 0;
};
