#include "tessel/ui/SceneViewer.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QSet>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/Exception.h"
#include "exchange/TriangleFiler.h"
#include "mdl/Mdl.h"
#include "tessel/ui/DurationEditor.h"
#include "tessel/ui/ModelViewer.h"
#include "tessel/ui/MultiFrameSaveDlg.h"
#include "tessel/ui/TimerPoolDriver.h"

namespace {

constexpr int kDataRole = Qt::UserRole;
const char* const kMultiFrameFilter = "Multiple Frames (FRS)|*.FRS";

QString FromStd(const std::string& s) { return QString::fromStdString(s); }
std::string ToStd(const QString& s) { return s.toStdString(); }

// The trees' images, drawn here: a frame group, a single-frame scene, a frame;
// an object and an object with joints.
QIcon DrawnIcon(QColor fill, bool round, bool stacked) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(40, 40, 40));
  p.setBrush(fill);
  if (stacked) p.drawRect(5, 1, 9, 9);
  if (round)
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
  else
    p.drawRect(stacked ? 2 : 3, stacked ? 5 : 3, stacked ? 9 : 10, stacked ? 9 : 10);
  return QIcon(pm);
}

const QIcon& SceneImage(int image) {
  static const QIcon icons[3] = {DrawnIcon(QColor(230, 200, 90), false, false),
                                 DrawnIcon(QColor(230, 200, 90), false, true),
                                 DrawnIcon(QColor(150, 190, 235), false, false)};
  return icons[image];
}

const QIcon& ObjectImage(bool joint) {
  static const QIcon plain = DrawnIcon(QColor(160, 200, 150), true, false);
  static const QIcon jointed = DrawnIcon(QColor(235, 140, 90), true, false);
  return joint ? jointed : plain;
}

bool HasJoints(const TMDLObject& o) { return std::any_of(std::begin(o.IsJoint), std::end(o.IsJoint), [](bool b) { return b; }); }

// The longest scene name that still leaves room in every frame name for
// the frame's number and the terminating zero.
int MaxSceneNameLength(int frames) { return kFrameNameSize - 1 - static_cast<int>(std::to_string(std::max(frames, 1)).size()); }

}  // namespace

// ---- TTreeViewState --------------------------------------------------------------------------

int NodeLevel(const QTreeWidgetItem* node) {
  int level = 0;
  for (const QTreeWidgetItem* p = node ? node->parent() : nullptr; p; p = p->parent()) ++level;
  return level;
}

void TTreeViewState::Save(QTreeWidget& tree) {
  ExpandedNodes.clear();
  SelectedNode_ = TopNode_ = nullptr;
  QTreeWidgetItem* selected = tree.currentItem();
  if (selected && !selected->isSelected()) selected = nullptr;
  SelectedText = selected ? selected->text(0) : QString();
  SelectedLevel = selected ? NodeLevel(selected) : 0;
  QTreeWidgetItem* top = tree.itemAt(0, 0);
  TopText = top ? top->text(0) : QString();
  TopLevel = top ? NodeLevel(top) : 0;
  // Asking a node whether it is expanded makes the tree look up its row,
  // which for a fresh node is a search of its siblings: only nodes with
  // children can be expanded, so only they are asked.
  for (QTreeWidgetItemIterator it(&tree, QTreeWidgetItemIterator::HasChildren); *it; ++it)
    if ((*it)->isExpanded()) ExpandedNodes.insert((*it)->text(0));
}

void TTreeViewState::Restore(QTreeWidget& tree, QTreeWidgetItem* node) {
  const QString text = node->text(0);
  if (node->childCount() > 0 && ExpandedNodes.contains(text)) node->setExpanded(true);
  const int level = NodeLevel(node);
  // Scrolling lays the tree out: done once, by Finish, for the last match.
  if (level == TopLevel && !TopText.isEmpty() && text.compare(TopText, Qt::CaseInsensitive) == 0) TopNode_ = node;
  if (level == SelectedLevel && !SelectedText.isEmpty() && text.compare(SelectedText, Qt::CaseInsensitive) == 0)
    SelectedNode_ = node;
  if (!Batch_) Finish(tree);
}

void TTreeViewState::Finish(QTreeWidget& tree) {
  if (SelectedNode_) tree.setCurrentItem(SelectedNode_);
  if (TopNode_) tree.scrollToItem(TopNode_, QAbstractItemView::PositionAtTop);
  SelectedNode_ = TopNode_ = nullptr;
  Batch_ = false;
}

// ---- TNavigationTree ---------------------------------------------------------------------------

TNavigationTree::TNavigationTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::InternalMove);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setUniformRowHeights(true);
}

void TNavigationTree::startDrag(Qt::DropActions actions) {
  QTreeWidgetItem* node = currentItem();
  if (!node || (CanDrag && !CanDrag(node))) return;
  QTreeWidget::startDrag(actions);
}

void TNavigationTree::dragEnterEvent(QDragEnterEvent* event) {
  if (event->source() == this)
    QTreeWidget::dragEnterEvent(event);
  else
    event->ignore();
}

void TNavigationTree::dragMoveEvent(QDragMoveEvent* event) {
  if (event->source() == this)
    QTreeWidget::dragMoveEvent(event);
  else
    event->ignore();
}

void TNavigationTree::dropEvent(QDropEvent* event) {
  if (event->source() != this) {
    event->ignore();
    return;
  }
  QTreeWidgetItem* dragged = currentItem();
  QTreeWidgetItem* target = itemAt(event->position().toPoint());
  // The tree is rebuilt from the model; Qt must not move the nodes itself.
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
  if (dragged && OnDrop) OnDrop(dragged, target);
}

// ---- TSceneViewer ------------------------------------------------------------------------------

std::function<QString(QWidget*, const QString&, const QString&, const QString&, bool)> TSceneViewer::AskFileName =
    [](QWidget* parent, const QString& title, const QString& filter, const QString& extension, bool save) {
      QFileDialog dlg(parent, title, QString(), filter);
      dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
      dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
      dlg.setDefaultSuffix(extension);
      if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
      return dlg.selectedFiles().first();
    };

TSceneViewer::TSceneViewer(QWidget* parent)
    : QWidget(parent), SceneTree_(new TNavigationTree), ObjectTree_(new TNavigationTree) {
  setObjectName("SceneViewer");
  setWindowTitle("Scene Editor");
  DriveTimerPool();
  SceneTree_->setObjectName("SceneTree");
  ObjectTree_->setObjectName("ObjectTree");
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(SceneTree_);
  split->addWidget(ObjectTree_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(split);

  SceneTree_->OnDrop = [this](QTreeWidgetItem* d, QTreeWidgetItem* t) { DropOnSceneTree(d, t); };
  ObjectTree_->OnDrop = [this](QTreeWidgetItem* d, QTreeWidgetItem* t) { DropOnObjectTree(d, t); };
  ObjectTree_->CanDrag = [](QTreeWidgetItem* node) { return node->parent() != nullptr; };
  connect(SceneTree_, &QTreeWidget::itemSelectionChanged, this, &TSceneViewer::SceneSelectionChanged);
  connect(SceneTree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { SceneItemChanged(item); });
  connect(ObjectTree_, &QTreeWidget::itemSelectionChanged, this, &TSceneViewer::ObjectSelectionChanged);
  connect(ObjectTree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { ObjectItemChanged(item); });
  connect(ObjectTree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
    // A click on the image opens the joints dialog.
    const QRect rect = ObjectTree_->visualItemRect(item);
    const QPoint at = ObjectTree_->viewport()->mapFromGlobal(QCursor::pos());
    const int iconLeft = rect.left() + ObjectTree_->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 4;
    if (OnEditJoints && at.x() >= iconLeft && at.x() < iconLeft + 16 && rect.contains(at))
      OnEditJoints(item->data(0, kDataRole).toInt());
  });

  ObjSelTimer_.SetInterval(10);
  ObjSelTimer_.SetRetriggerable(true);
  ObjSelTimer_.OnTimer = [this](TTimerPoolComponent&) { ObjSelTimerTimer(); };

  BuildMenus();
  SaveDlg_ = new TMultiFrameSaveDlg(this);
  BindObserver();
  RebuildSceneTree();
  PostRefresh(rfObjectTree);
}

TSceneViewer::~TSceneViewer() = default;

bool TSceneViewer::Guarded(const std::function<void()>& f) { return TModelViewer::Guarded(this, f); }

void TSceneViewer::BindObserver() {
  Observer_.OnMDLChange = [this](TMDLObserver*) {
    PostRefresh(rfSceneTree);
    PostRefresh(rfObjectTree);
  };
  Observer_.OnFrameCountChange = [this](TMDLObserver*) { PostRefresh(rfSceneTree); };
  Observer_.OnSceneCountChange = [this](TMDLObserver*) { PostRefresh(rfSceneTree); };
  Observer_.OnObjectCountChange = [this](TMDLObserver*) { PostRefresh(rfObjectTree); };
  Observer_.OnObjectNamesChange = [this](TMDLObserver*) { PostRefresh(rfObjectTree); };
  Observer_.OnJointsChange = [this](TMDLObserver*) { PostRefresh(rfObjectTree); };
  Observer_.OnObjectVisibilityChange = [this](TMDLObserver*) { PostRefresh(rfObjectIcons); };
  // A plain frame change moves the selection only.
  Observer_.OnCurrentSceneChange = [this](TMDLObserver*) { SelectCurrentFrameNode(); };
  Observer_.OnCurrentFrameChange = [this](TMDLObserver*) { SelectCurrentFrameNode(); };
  Observer_.OnCurrentObjectChange = [this](TMDLObserver*) {
    SelectCurrentObjectNode();
    PostRefresh(rfObjectIcons);
  };
  Observer_.Loaded();
}

void TSceneViewer::PostRefresh(int what) {
  if (what < 0 || what > 3) return;
  Pending_[what] = true;
  if (PostQueued_) return;
  PostQueued_ = true;
  QTimer::singleShot(0, this, [this] { FlushRefresh(); });
}

void TSceneViewer::FlushRefresh() {
  PostQueued_ = false;
  bool pending[4];
  std::copy(std::begin(Pending_), std::end(Pending_), pending);
  std::fill(std::begin(Pending_), std::end(Pending_), false);
  if (pending[rfSceneTree])
    RebuildSceneTree();
  else if (pending[rfTexts])
    RefreshTexts();
  if (pending[rfObjectTree])
    RebuildObjectTree();
  else if (pending[rfObjectIcons])
    RefreshObjectIcons();
}

// ---- the scene tree ----------------------------------------------------------------------------

void TSceneViewer::RebuildSceneTree() {
  ++Updating_;
  SceneState_.Save(*SceneTree_);
  SceneTree_->setUpdatesEnabled(false);
  SceneTree_->clear();
  TMDLEditor& e = TMDLEditor::Instance();
  if (e.IsValid()) {
    TMDLFrameList& frames = *e.Model->Frames;
    QList<QTreeWidgetItem*> scenes;
    scenes.reserve(frames.SceneCount());
    for (int s = 0; s < frames.SceneCount(); ++s) {
      TMDLFrameGroup& g = frames.Scene(s);
      auto* node = new QTreeWidgetItem(QStringList(FromStd(g.Name())));
      node->setData(0, kDataRole, s);
      node->setIcon(0, SceneImage(g.GroupType == 1 ? 1 : 0));
      node->setFlags(node->flags() | Qt::ItemIsEditable);
      QList<QTreeWidgetItem*> children;
      children.reserve(g.Count());
      for (int f = 0; f < g.Count(); ++f) {
        auto* child = new QTreeWidgetItem(QStringList(FromStd(g.Frame(f).Name())));
        child->setData(0, kDataRole, f);
        child->setIcon(0, SceneImage(2));
        child->setFlags(child->flags() & ~Qt::ItemIsEditable);
        children << child;
      }
      node->addChildren(children);
      scenes << node;
    }
    SceneTree_->addTopLevelItems(scenes);
    SceneState_.BeginRestore();
    for (QTreeWidgetItem* node : scenes) {
      SceneState_.Restore(*SceneTree_, node);
      // Frame names repeat across scenes only by accident; a frame is
      // restored only inside an expanded scene.
      if (node->isExpanded())
        for (int f = 0; f < node->childCount(); ++f) SceneState_.Restore(*SceneTree_, node->child(f));
    }
    SceneState_.Finish(*SceneTree_);
  }
  SceneTree_->setUpdatesEnabled(true);
  --Updating_;
}

void TSceneViewer::RefreshTexts() {
  TMDLEditor& e = TMDLEditor::Instance();
  if (!e.IsValid()) return;
  TMDLFrameList& frames = *e.Model->Frames;
  ++Updating_;
  for (int s = 0; s < SceneTree_->topLevelItemCount() && s < frames.SceneCount(); ++s) {
    QTreeWidgetItem* node = SceneTree_->topLevelItem(s);
    TMDLFrameGroup& g = frames.Scene(s);
    node->setText(0, FromStd(g.Name()));
    for (int f = 0; f < node->childCount() && f < g.Count(); ++f) node->child(f)->setText(0, FromStd(g.Frame(f).Name()));
  }
  --Updating_;
}

QTreeWidgetItem* TSceneViewer::SceneNode(int scene) const {
  return scene >= 0 && scene < SceneTree_->topLevelItemCount() ? SceneTree_->topLevelItem(scene) : nullptr;
}

QTreeWidgetItem* TSceneViewer::FrameNode(int scene, int frame) const {
  QTreeWidgetItem* node = SceneNode(scene);
  return node && frame >= 0 && frame < node->childCount() ? node->child(frame) : nullptr;
}

void TSceneViewer::SelectCurrentFrameNode() {
  TMDLEditor& e = TMDLEditor::Instance();
  QTreeWidgetItem* node = FrameNode(e.CurrentScene, e.CurrentFrame);
  // A collapsed scene keeps the selection on its own node.
  if (!node || !node->parent()->isExpanded()) node = SceneNode(e.CurrentScene);
  if (!node || node == SceneTree_->currentItem()) return;
  ++Updating_;
  SceneTree_->setCurrentItem(node);
  --Updating_;
}

void TSceneViewer::SceneSelectionChanged() {
  if (Updating_ || Dropping_) return;
  QTreeWidgetItem* node = SceneTree_->currentItem();
  TMDLEditor& e = TMDLEditor::Instance();
  if (!node || !e.IsValid()) return;
  const int index = node->data(0, kDataRole).toInt();
  const bool ok = Guarded([&] {
    if (!node->parent()) {
      if (index != e.CurrentScene) e.SetCurrentScene(index);
      return;
    }
    const int scene = node->parent()->data(0, kDataRole).toInt();
    if (scene == e.CurrentScene) {
      if (index != e.CurrentFrame) e.SetCurrentFrame(index);
    } else {
      e.GotoSceneFrame(scene, index);
    }
  });
  // Refused (a blocked editor): the tree shows what is current.
  if (!ok) SelectCurrentFrameNode();
}

void TSceneViewer::SceneItemChanged(QTreeWidgetItem* item) {
  if (Updating_ || item->parent()) return;
  TMDLEditor& e = TMDLEditor::Instance();
  if (!e.IsValid()) return;
  const int s = item->data(0, kDataRole).toInt();
  if (s < 0 || s >= e.Model->Frames->SceneCount()) return;
  TMDLFrameList& frames = *e.Model->Frames;
  const QString wanted = item->text(0).trimmed();
  // Every frame is named after the scene with its number; a name that leaves
  // no room for the number, or none at all, is refused.
  if (!wanted.isEmpty() && wanted.size() <= MaxSceneNameLength(frames.SceneFrameCount(s))) {
    TUndoStep step(e, "Rename Scene");
    frames.RenameScene(s, ToStd(wanted));
    if (s == e.CurrentScene) e.Broadcast(&TMDLObserver::OnCurrentSceneNameChange);
  }
  ++Updating_;
  item->setText(0, FromStd(frames.SceneName(s)));
  --Updating_;
  PostRefresh(rfTexts);
}

void TSceneViewer::DropOnSceneTree(QTreeWidgetItem* dragged, QTreeWidgetItem* target) {
  TMDLEditor& e = TMDLEditor::Instance();
  if (!dragged || dragged == target || !e.IsValid()) return;
  const int scenes = e.Model->Frames->SceneCount();
  // The rebuild after the move frees both nodes: what is needed of them
  // afterwards is taken now.
  const bool droppedOnScene = target && target->parent() == nullptr;
  bool moved = false;
  Dropping_ = true;
  Guarded([&] {
    if (dragged->parent()) {
      const int fromScene = dragged->parent()->data(0, kDataRole).toInt();
      const int fromFrame = dragged->data(0, kDataRole).toInt();
      if (!target)
        moved = e.MoveFrame(fromScene, fromFrame, scenes - 1, e.Model->Frames->SceneFrameCount(scenes - 1));
      else if (!target->parent())
        moved = e.MoveFrame(fromScene, fromFrame, target->data(0, kDataRole).toInt(), 0);
      else
        moved = e.MoveFrame(fromScene, fromFrame, target->parent()->data(0, kDataRole).toInt(),
                            target->data(0, kDataRole).toInt());
    } else {
      const int from = dragged->data(0, kDataRole).toInt();
      QTreeWidgetItem* sceneNode = target && target->parent() ? target->parent() : target;
      const int to = sceneNode ? sceneNode->data(0, kDataRole).toInt() : scenes;
      moved = to != from && e.MoveScene(from, to);
    }
  });
  Dropping_ = false;
  if (!moved) return;
  RebuildSceneTree();
  // The moved node is where the editor's current scene and frame now are.
  ++Updating_;
  QTreeWidgetItem* sceneNode = SceneNode(e.CurrentScene);
  if (sceneNode) {
    if (droppedOnScene && !sceneNode->isExpanded()) sceneNode->setExpanded(true);
    QTreeWidgetItem* frameNode = FrameNode(e.CurrentScene, e.CurrentFrame);
    SceneTree_->setCurrentItem(frameNode && sceneNode->isExpanded() ? frameNode : sceneNode);
  }
  --Updating_;
}

// ---- the object tree ---------------------------------------------------------------------------

void TSceneViewer::AddObjectNode(QTreeWidgetItem* node, TMDLObject& object) {
  TMDLEditor& e = TMDLEditor::Instance();
  node->setText(0, FromStd(object.Name));
  node->setData(0, kDataRole, object.Index);
  node->setIcon(0, ObjectImage(HasJoints(object)));
  node->setFlags(node->flags() | Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
  node->setCheckState(0, e.IsObjectVisible(object.Index) ? Qt::Checked : Qt::Unchecked);
  QList<QTreeWidgetItem*> children;
  children.reserve(static_cast<int>(object.Children.size()));
  for (TMDLObject* child : object.Children) {
    auto* c = new QTreeWidgetItem;
    AddObjectNode(c, *child);
    children << c;
  }
  node->addChildren(children);
}

void TSceneViewer::RebuildObjectTree() {
  ++Updating_;
  ObjectState_.Save(*ObjectTree_);
  ObjectTree_->setUpdatesEnabled(false);
  ObjectTree_->clear();
  TMDLEditor& e = TMDLEditor::Instance();
  TMDLObject* root = e.IsValid() ? e.Model->Objects->Root() : nullptr;
  if (root) {
    auto* node = new QTreeWidgetItem;
    AddObjectNode(node, *root);
    ObjectTree_->addTopLevelItem(node);
    ObjectState_.BeginRestore();
    for (QTreeWidgetItemIterator it(ObjectTree_); *it; ++it) ObjectState_.Restore(*ObjectTree_, *it);
    ObjectState_.Finish(*ObjectTree_);
  }
  ObjectTree_->setUpdatesEnabled(true);
  --Updating_;
}

void TSceneViewer::RefreshObjectIcons() {
  TMDLEditor& e = TMDLEditor::Instance();
  ++Updating_;
  for (QTreeWidgetItemIterator it(ObjectTree_); *it; ++it) {
    const int o = (*it)->data(0, kDataRole).toInt();
    (*it)->setCheckState(0, e.IsObjectVisible(o) ? Qt::Checked : Qt::Unchecked);
  }
  --Updating_;
}

QTreeWidgetItem* TSceneViewer::ObjectNode(int object) const {
  for (QTreeWidgetItemIterator it(ObjectTree_); *it; ++it)
    if ((*it)->data(0, kDataRole).toInt() == object) return *it;
  return nullptr;
}

void TSceneViewer::SelectCurrentObjectNode() {
  QTreeWidgetItem* node = ObjectNode(TMDLEditor::Instance().CurrentObject);
  if (!node || node == ObjectTree_->currentItem()) return;
  ++Updating_;
  ObjectTree_->setCurrentItem(node);
  --Updating_;
}

void TSceneViewer::ObjectSelectionChanged() {
  if (Updating_) return;
  ObjSelTimer_.SetEnabled(true);
}

void TSceneViewer::ObjSelTimerTimer() {
  QTreeWidgetItem* node = ObjectTree_->currentItem();
  TMDLEditor& e = TMDLEditor::Instance();
  if (!node || !e.IsValid()) return;
  const int o = node->parent() ? node->data(0, kDataRole).toInt() : 0;
  if (o != e.CurrentObject) Guarded([&] { e.SetCurrentObject(o); });
}

void TSceneViewer::ToggleObjectTree(QTreeWidgetItem* node) {
  TMDLEditor& e = TMDLEditor::Instance();
  if (!node || !e.IsValid()) return;
  const int o = node->data(0, kDataRole).toInt();
  Guarded([&] {
    if (e.IsObjectVisible(o))
      e.HideObjectTree(o);
    else
      e.ShowObjectTree(o);
  });
  ObjectTree_->setCurrentItem(node);
  RefreshObjectIcons();
}

void TSceneViewer::ObjectItemChanged(QTreeWidgetItem* item) {
  if (Updating_) return;
  TMDLEditor& e = TMDLEditor::Instance();
  if (!e.IsValid()) return;
  const int o = item->data(0, kDataRole).toInt();
  if (o < 0 || o >= e.ObjectCount()) return;
  // The state icon was clicked: its new state differs from the object's.
  const bool shown = item->checkState(0) == Qt::Checked;
  if (shown != e.IsObjectVisible(o)) {
    ToggleObjectTree(item);
    return;
  }
  const QString wanted = item->text(0).trimmed();
  if (!wanted.isEmpty() && ToStd(wanted) != e.ObjectName(o)) Guarded([&] { e.RenameObject(o, ToStd(wanted)); });
  ++Updating_;
  item->setText(0, FromStd(e.ObjectName(o)));
  --Updating_;
}

void TSceneViewer::DropOnObjectTree(QTreeWidgetItem* dragged, QTreeWidgetItem* target) {
  TMDLEditor& e = TMDLEditor::Instance();
  if (!dragged || !target || dragged == target || !dragged->parent() || !e.IsValid()) return;
  const int a = dragged->data(0, kDataRole).toInt();
  const int b = target->data(0, kDataRole).toInt();
  TMDLObjectList& objects = *e.Model->Objects;
  if (a == b || a <= 0 || a >= objects.Count() || b < 0 || b >= objects.Count()) return;
  // SetParent refuses a descendant as the new parent, so the tree stays a tree.
  {
    TUndoStep step(e, "Change Object Parent");
    objects.Object(a).SetParent(&objects.Object(b));
  }
  RebuildObjectTree();
}

// ---- menus -------------------------------------------------------------------------------------

void TSceneViewer::BuildMenus() {
  SceneMenu_ = new QMenu("Scene", this);
  SceneMenu_->setObjectName("SceneMenu");
  auto add = [this](QMenu* menu, const QString& caption, int tag, bool scene) {
    QAction* a = menu->addAction(caption);
    a->setData(tag);
    connect(a, &QAction::triggered, this, [this, a, tag, scene] {
      QString caption = a->text();
      caption.remove('&');
      Guarded([&] { scene ? SceneMenuCommand(tag, caption) : ObjectMenuCommand(tag, caption); });
    });
    return a;
  };
  QMenu* dup = SceneMenu_->addMenu("Duplicate");
  for (int n : {1, 2, 3, 4, 5, 10, 20}) add(dup, QString("Duplicate %1x").arg(n), -n, true);
  add(SceneMenu_, "Cut", 1, true);
  add(SceneMenu_, "Copy", 2, true);
  add(SceneMenu_, "Paste", 3, true);
  add(SceneMenu_, "Delete", 4, true)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
  SceneMenu_->addSeparator();
  add(SceneMenu_, "Import Frame...", 5, true);
  add(SceneMenu_, "Export Frame...", 6, true);
  SceneMenu_->addSeparator();
  add(SceneMenu_, "Renumber Scene", 7, true);
  add(SceneMenu_, "Split Scene at Frame", 8, true);
  add(SceneMenu_, "Append Scene to Previous Scene", 9, true);
  add(SceneMenu_, "&Edit duration of Frames for Scene", 10, true);
  add(SceneMenu_, "Reconstruct Base Frame", 11, true);
  GroupAct_ = add(SceneMenu_, "Group Frames for Scene", 12, true);
  GroupAct_->setCheckable(true);
  SceneMenu_->addSeparator();
  add(SceneMenu_, "Import Multiple Frames...", 21, true);
  add(SceneMenu_, "Export Multiple Frames...", 22, true);
  connect(SceneMenu_, &QMenu::aboutToShow, this, [this] {
    TMDLEditor& e = TMDLEditor::Instance();
    const bool valid = e.IsValid();
    for (QAction* a : SceneMenu_->actions()) a->setEnabled(valid);
    GroupAct_->setChecked(valid && e.Model->Frames->SceneIsGroup(e.CurrentScene));
  });

  ObjectMenu_ = new QMenu("Object", this);
  ObjectMenu_->setObjectName("ObjectMenu");
  add(ObjectMenu_, "New Object", 17, false);
  add(ObjectMenu_, "Delete Object", 4, false)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
  add(ObjectMenu_, "Edit Object Joints", 20, false);
  add(ObjectMenu_, "Reset Object Pivots in All Frames", 19, false);
  add(ObjectMenu_, "&Reconstruct All Objects", 16, false);
  AssignMenu_ = ObjectMenu_->addMenu("Assign Object Vertices to Object");
  connect(ObjectMenu_, &QMenu::aboutToShow, this, [this] { UpdateObjectMenu(); });

  connect(SceneTree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (QTreeWidgetItem* node = SceneTree_->itemAt(at)) SceneTree_->setCurrentItem(node);
    SceneMenu_->popup(SceneTree_->viewport()->mapToGlobal(at));
  });
  connect(ObjectTree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (QTreeWidgetItem* node = ObjectTree_->itemAt(at)) ObjectTree_->setCurrentItem(node);
    ObjectMenu_->popup(ObjectTree_->viewport()->mapToGlobal(at));
  });
  // Ctrl+Del reaches the menus' Delete from the trees too.
  SceneTree_->addAction(SceneMenu_->actions().at(4));
  ObjectTree_->addAction(ObjectMenu_->actions().at(1));
  for (QAction* a : {SceneMenu_->actions().at(4), ObjectMenu_->actions().at(1)})
    a->setShortcutContext(Qt::WidgetShortcut);
}

void TSceneViewer::UpdateObjectMenu() {
  TMDLEditor& e = TMDLEditor::Instance();
  const bool enabled = e.IsValid() && ObjectTree_->currentItem() != nullptr;
  AssignMenu_->clear();
  if (e.IsValid())
    for (int o = 0; o < e.ObjectCount(); ++o) {
      QAction* a = AssignMenu_->addAction(FromStd(e.ObjectName(o)));
      a->setData(o);
      connect(a, &QAction::triggered, this, [this, o] {
        Guarded([&] { TMDLEditor::Instance().ReassignObjectVertices(o); });
      });
    }
  for (QAction* a : ObjectMenu_->actions()) a->setEnabled(enabled);
}

void TSceneViewer::SceneMenuCommand(int tag, const QString& caption) {
  TMDLEditor& e = TMDLEditor::Instance();
  if (!e.IsValid()) return;
  QTreeWidgetItem* node = SceneTree_->currentItem();
  const bool frameNode = node && node->parent();
  switch (tag) {
    case -1: case -2: case -3: case -4: case -5: case -10: case -20:
      if (frameNode)
        e.DuplicateFrame(-tag);
      else
        e.DuplicateScene(-tag);
      break;
    case 1: e.CutFrame(); break;
    case 2: e.CopyFrame(); break;
    case 3: e.PasteFrame(); break;
    case 4:
      if (SceneTree_->Editing()) return;
      if (frameNode)
        e.DeleteFrame();
      else
        e.DeleteScene();
      break;
    case 5: {
      const QString name = AskFileName(this, "Import Frame", QtFilter(TTriangleFiler::Instance().GetImportFilter()), "DXF", false);
      if (!name.isEmpty()) e.ImportFrame(ToStd(name));
      break;
    }
    case 6: {
      const QString name = AskFileName(this, "Export Frame", QtFilter(TTriangleFiler::Instance().GetExportFilter()), "DXF", true);
      if (!name.isEmpty()) e.ExportFrame(ToStd(name));
      break;
    }
    case 7:
      e.RenumberScene();
      PostRefresh(rfTexts);
      break;
    case 8: e.SplitScene(); break;
    case 9: e.AppendSceneToPrevious(); break;
    case 10: {
      TDurationEditor dlg(this);
      dlg.exec();
      break;
    }
    case 11: e.ReconstructBaseFrame(); break;
    case 12: e.SetSceneGrouped(!e.Model->Frames->SceneIsGroup(e.CurrentScene)); break;
    case 21: {
      const QString name = AskFileName(this, "Import Multiple Frames", QtFilter(kMultiFrameFilter), "FRS", false);
      if (!name.isEmpty() && QFileInfo(name).isFile()) e.LoadScenes(ToStd(name));
      break;
    }
    case 22:
      if (SaveDlg_->exec() == QDialog::Accepted)
        e.SaveScenes(ToStd(SaveDlg_->FileName()), SaveDlg_->AllScenes(), ToStd(SaveDlg_->Extension()));
      break;
    default:
      throw Exception("Menu item '" + ToStd(caption) + "' not supported");
  }
}

void TSceneViewer::ObjectMenuCommand(int tag, const QString& caption) {
  TMDLEditor& e = TMDLEditor::Instance();
  if (!e.IsValid()) return;
  switch (tag) {
    case 17: e.NewObject(); break;
    case 4:
      if (ObjectTree_->Editing()) return;
      e.DeleteObject();
      break;
    case 20:
      if (OnEditJoints) OnEditJoints(e.CurrentObject);
      break;
    case 19: e.ResetObjectPivots(); break;
    case 16:
      e.ReconstructObjects();
      PostRefresh(rfObjectTree);
      break;
    default:
      throw Exception("Menu item '" + ToStd(caption) + "' not supported");
  }
}
