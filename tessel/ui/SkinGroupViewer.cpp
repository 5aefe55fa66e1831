#include "tessel/ui/SkinGroupViewer.h"

#include <QMenu>
#include <QTimer>
#include <QVBoxLayout>

#include "core/Exception.h"
#include "exchange/BitmapFiler.h"
#include "mdl/Mdl.h"
#include "tessel/ui/ModelViewer.h"

namespace {
constexpr int kDataRole = Qt::UserRole;
QString FromStd(const std::string& s) { return QString::fromStdString(s); }
std::string ToStd(const QString& s) { return s.toStdString(); }
}  // namespace

TSkinGroupViewer::TSkinGroupViewer(QWidget* parent) : QWidget(parent), Tree_(new TNavigationTree(this)) {
  setObjectName("SkinGroupViewer");
  setWindowTitle("Skin Group Editor");
  Tree_->setObjectName("SkinTree");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Tree_);
  Tree_->setRootIsDecorated(false);
  Tree_->OnDrop = [this](QTreeWidgetItem* d, QTreeWidgetItem* t) { DropOnSkin(d, t); };
  connect(Tree_, &QTreeWidget::itemSelectionChanged, this, &TSkinGroupViewer::SelectionChanged);
  connect(Tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { ItemChanged(item); });
  BuildMenu();
  BindObserver();
  PostRefresh();
}

bool TSkinGroupViewer::Guarded(const std::function<void()>& f) { return TModelViewer::Guarded(this, f); }

void TSkinGroupViewer::BindObserver() {
  Observer_.OnMDLChange = [this](TMDLObserver*) { PostRefresh(); };
  Observer_.OnSkinCountChange = [this](TMDLObserver*) { PostRefresh(); };
  Observer_.OnCurrentSkinChange = [this](TMDLObserver*) { SelectCurrentSkinNode(); };
  Observer_.Loaded();
}

void TSkinGroupViewer::PostRefresh() {
  if (Pending_) return;
  Pending_ = true;
  QTimer::singleShot(0, this, [this] { FlushRefresh(); });
}

void TSkinGroupViewer::FlushRefresh() {
  if (!Pending_) return;
  Pending_ = false;
  RebuildTree();
}

void TSkinGroupViewer::RebuildTree() {
  ++Updating_;
  State_.Save(*Tree_);
  Tree_->clear();
  TMDLEditor& e = TMDLEditor::Instance();
  if (e.IsValid()) {
    TMDLBitmapList& skins = *e.Model->Skins;
    State_.BeginRestore();
    for (int k = 0; k < skins.Count(); ++k) {
      auto* node = new QTreeWidgetItem(QStringList(FromStd(skins.SkinName(k))));
      node->setData(0, kDataRole, k);
      node->setFlags(node->flags() | Qt::ItemIsEditable);
      // Skins of an animated group show the group and their interval.
      const TFlatEntry& entry = skins.IndexEntry(k);
      TMDLBitmapGroup& group = skins.Group(entry.Group);
      if (group.Count() > 1)
        node->setToolTip(0, QString("Group %1, skin %2 of %3, interval %4 s")
                                .arg(entry.Group + 1)
                                .arg(entry.Member + 1)
                                .arg(group.Count())
                                .arg(double(group.Interval(entry.Member)), 0, 'f', 2));
      Tree_->addTopLevelItem(node);
      State_.Restore(*Tree_, node);
    }
    State_.Finish(*Tree_);
  }
  --Updating_;
  SelectCurrentSkinNode();
}

QTreeWidgetItem* TSkinGroupViewer::SkinNode(int skin) const {
  return skin >= 0 && skin < Tree_->topLevelItemCount() ? Tree_->topLevelItem(skin) : nullptr;
}

void TSkinGroupViewer::SelectCurrentSkinNode() {
  QTreeWidgetItem* node = SkinNode(TMDLEditor::Instance().CurrentSkin);
  if (!node || node == Tree_->currentItem()) return;
  ++Updating_;
  Tree_->setCurrentItem(node);
  --Updating_;
}

void TSkinGroupViewer::SelectionChanged() {
  if (Updating_) return;
  QTreeWidgetItem* node = Tree_->currentItem();
  TMDLEditor& e = TMDLEditor::Instance();
  if (!node || !e.IsValid()) return;
  const int k = node->data(0, kDataRole).toInt();
  if (k == e.CurrentSkin) return;
  // The skin change may ask the editors to redraw, which may come back here.
  ++Updating_;
  Guarded([&] { e.SetCurrentSkin(k); });
  --Updating_;
}

void TSkinGroupViewer::ItemChanged(QTreeWidgetItem* item) {
  if (Updating_) return;
  TMDLEditor& e = TMDLEditor::Instance();
  const int k = item->data(0, kDataRole).toInt();
  if (!e.IsValid() || k < 0 || k >= e.SkinCount()) return;
  const QString wanted = item->text(0).trimmed();
  if (!wanted.isEmpty()) {
    TUndoStep step(e, "Rename Skin");
    e.Model->Skins->SetSkinName(k, ToStd(wanted));
  }
  ++Updating_;
  item->setText(0, FromStd(e.SkinName(k)));
  --Updating_;
}

void TSkinGroupViewer::DropOnSkin(QTreeWidgetItem* dragged, QTreeWidgetItem* target) {
  TMDLEditor& e = TMDLEditor::Instance();
  if (!dragged || dragged == target || !e.IsValid()) return;
  const int from = dragged->data(0, kDataRole).toInt();
  const int n = e.SkinCount();
  const int to = target ? target->data(0, kDataRole).toInt() : n;
  if (from < 0 || from >= n || to < 0 || to > n || to == from) return;
  TUndoStep step(e, "Move Skin");
  TMDLBitmap* moving = &e.Model->Skins->Skin(from);
  if (!Guarded([&] { e.MoveSkin(from, to); })) return;
  int at = -1;
  for (int k = 0; k < e.SkinCount() && at < 0; ++k)
    if (&e.Model->Skins->Skin(k) == moving) at = k;
  if (at < 0 || at == from) return;
  e.SetModified(true);
  e.Broadcast(&TMDLObserver::OnSkinCountChange);
  Pending_ = false;
  RebuildTree();
  ++Updating_;
  Tree_->setCurrentItem(SkinNode(at));
  --Updating_;
  if (e.CurrentSkin != at) Guarded([&] { e.SetCurrentSkin(at); });
}

void TSkinGroupViewer::BuildMenu() {
  Menu_ = new QMenu("Skin", this);
  Menu_->setObjectName("SkinMenu");
  auto add = [this](QMenu* menu, const QString& caption, int tag) {
    QAction* a = menu->addAction(caption);
    a->setData(tag);
    connect(a, &QAction::triggered, this, [this, a, tag] {
      QString caption = a->text();
      caption.remove('&');
      Guarded([&] { SkinMenuCommand(tag, caption); });
    });
    return a;
  };
  QMenu* dup = Menu_->addMenu("Duplicate");
  for (int n : {1, 2, 3, 4, 5, 10, 20}) add(dup, QString("Duplicate %1x").arg(n), -n);
  add(Menu_, "New", 0);
  add(Menu_, "Cut", 1);
  add(Menu_, "Copy", 2);
  add(Menu_, "Paste", 3);
  QAction* del = add(Menu_, "Delete", 4);
  del->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
  del->setShortcutContext(Qt::WidgetShortcut);
  Tree_->addAction(del);
  Menu_->addSeparator();
  add(Menu_, "Import...", 5);
  add(Menu_, "Export...", 6);
  connect(Menu_, &QMenu::aboutToShow, this, [this] {
    const bool enabled = TMDLEditor::Instance().IsValid() && Tree_->currentItem() != nullptr;
    for (QAction* a : Menu_->actions()) a->setEnabled(enabled);
  });
  connect(Tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (QTreeWidgetItem* node = Tree_->itemAt(at)) Tree_->setCurrentItem(node);
    Menu_->popup(Tree_->viewport()->mapToGlobal(at));
  });
}

void TSkinGroupViewer::SkinMenuCommand(int tag, const QString& caption) {
  TMDLEditor& e = TMDLEditor::Instance();
  if (!e.IsValid()) return;
  switch (tag) {
    case -1: case -2: case -3: case -4: case -5: case -10: case -20: {
      const int k = e.CurrentSkin;
      TUndoStep step(e, "Duplicate Skin");
      for (int i = 0; i < -tag; ++i) e.Model->Skins->DuplicateSkin(k, k + 1);
      e.Broadcast(&TMDLObserver::OnSkinCountChange);
      e.SetModified(true);
      break;
    }
    case 0:
      e.SetCurrentSkin(e.AddSkin());
      break;
    case 1:
      if (e.SkinCount() > 0) e.CutSkin();
      break;
    case 2: e.CopySkin(); break;
    case 3:
      e.PasteSkin();
      e.Broadcast(&TMDLObserver::OnSkinCountChange);
      break;
    case 4:
      if (Tree_->Editing()) return;
      e.DeleteSkin();
      break;
    case 5: {
      const QString name = TSceneViewer::AskFileName(this, "Import Skin", QtFilter(TBitmapFiler::Instance().GetImportFilter()), "BMP", false);
      if (name.isEmpty()) return;
      e.ImportSkin(ToStd(name));
      break;
    }
    case 6: {
      const QString name = TSceneViewer::AskFileName(this, "Export Skin", QtFilter(TBitmapFiler::Instance().GetExportFilter()), "BMP", true);
      if (name.isEmpty()) return;
      if (TMDLBitmap* skin = e.CurrentSkinObject()) skin->ExportPicture(ToStd(name));
      break;
    }
    default:
      throw Exception("Menu item '" + ToStd(caption) + "' not supported");
  }
}
