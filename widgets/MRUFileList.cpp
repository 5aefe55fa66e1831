#include "widgets/MRUFileList.h"

#include <QMenu>
#include <QSettings>
#include <algorithm>

TMRUMenuItem::TMRUMenuItem(const QString& text, int number, QObject* parent) : QAction(text, parent), Number(number) {}

TMRUMenuItem::~TMRUMenuItem() { delete Submenu; }

TMRUFileList::TMRUFileList(QObject* parent) : QObject(parent) {}

TMRUFileList::~TMRUFileList() {
  if (AutoSave) SaveToRegistry();
  RemoveMenuItems();
}

void TMRUFileList::SetFileMenu(QAction* anchor) {
  if (anchor == FileMenu_) return;
  RemoveMenuItems();
  FileMenu_ = anchor;
  RebuildMenu();
}

void TMRUFileList::SetMaximum(int maximum) {
  maximum = std::clamp(maximum, 0, 255);
  if (maximum == Maximum_) return;
  Maximum_ = maximum;
  while (Items_.size() > Maximum_) Items_.removeLast();
  RebuildMenu();
}

void TMRUFileList::SetSubmenuName(const QString& name) {
  if (name == SubmenuName_) return;
  SubmenuName_ = name;
  RebuildMenu();
}

void TMRUFileList::SetUseSubmenu(bool use) {
  if (use == UseSubmenu_) return;
  UseSubmenu_ = use;
  RebuildMenu();
}

void TMRUFileList::AddItem(const QString& fileName) {
  qsizetype at = -1;
  for (qsizetype i = 0; i < Items_.size() && at < 0; ++i)
    if (Items_[i].compare(fileName, Qt::CaseInsensitive) == 0) at = i;
  if (at < 0) {
    Items_.prepend(fileName);
    while (Items_.size() > Maximum_) Items_.removeLast();
  } else {
    Items_.move(at, 0);
  }
  RebuildMenu();
}

QMenu* TMRUFileList::AnchorMenu(int& index) const {
  index = 0;
  if (!FileMenu_) return nullptr;
  if (QMenu* sub = FileMenu_->menu()) {
    index = static_cast<int>(sub->actions().size());
    return sub;
  }
  for (QObject* o : FileMenu_->associatedObjects())
    if (auto* menu = qobject_cast<QMenu*>(o)) {
      index = static_cast<int>(menu->actions().indexOf(FileMenu_));
      return menu;
    }
  return nullptr;
}

void TMRUFileList::RemoveMenuItems() {
  int index;
  QMenu* menu = AnchorMenu(index);
  if (!menu) return;
  const QList<QAction*> actions = menu->actions();
  for (qsizetype i = actions.size() - 1; i >= 0; --i)
    if (auto* item = qobject_cast<TMRUMenuItem*>(actions[i])) {
      menu->removeAction(item);
      // The item may be the one whose click is being handled right now.
      item->deleteLater();
    }
}

void TMRUFileList::RebuildMenu() {
  if (!FileMenu_) return;
  RemoveMenuItems();
  if (Items_.isEmpty()) return;
  int index;
  QMenu* parent = AnchorMenu(index);
  if (!parent) return;
  auto insertAt = [](QMenu* menu, int at, QAction* action) {
    const QList<QAction*> actions = menu->actions();
    menu->insertAction(at < actions.size() ? actions[at] : nullptr, action);
  };
  if (CreateBreak) {
    auto* sep = new TMRUMenuItem(QString(), 0, parent);
    sep->setSeparator(true);
    insertAt(parent, index++, sep);
  }
  QMenu* target = parent;
  if (UseSubmenu_) {
    auto* sub = new TMRUMenuItem(SubmenuName_, 0, parent);
    sub->Submenu = new QMenu(SubmenuName_);
    sub->setMenu(sub->Submenu);
    insertAt(parent, index, sub);
    target = sub->Submenu;
    index = 0;
  }
  for (int i = 0; i < Items_.size(); ++i) {
    // "&&" keeps an ampersand in a file name from becoming an accelerator.
    QString name = Items_[i];
    name.replace('&', "&&");
    auto* item = new TMRUMenuItem("&" + QString::number(i + 1) + " " + name, i + 1, target);
    const int number = i + 1;
    connect(item, &QAction::triggered, this, [this, number] { ItemClick(number); });
    insertAt(target, index++, item);
  }
}

void TMRUFileList::ItemClick(int number) {
  if (number < 1 || number > Items_.size()) return;
  QString name;
  if (OnMRUItemClick) name = Items_[number - 1];
  if (RemoveOnClick) {
    Items_.removeAt(number - 1);
    RebuildMenu();
  }
  if (OnMRUItemClick) OnMRUItemClick(this, name);
}

void TMRUFileList::SettingsPlace(const QString& autoSaveName, QString& organisation, QString& application) {
  QStringList parts = autoSaveName.split('\\', Qt::SkipEmptyParts);
  if (!parts.isEmpty() && parts.first().compare("Software", Qt::CaseInsensitive) == 0) parts.removeFirst();
  organisation = parts.isEmpty() ? QString() : parts.takeFirst();
  application = parts.isEmpty() ? organisation : parts.join('/');
}

namespace {

// "F<n>" values in the order of n; anything else after them, by name.
bool ValueOrder(const QString& a, const QString& b) {
  bool okA = false, okB = false;
  const int na = a.startsWith('F') ? a.mid(1).toInt(&okA) : 0;
  const int nb = b.startsWith('F') ? b.mid(1).toInt(&okB) : 0;
  if (okA != okB) return okA;
  if (okA) return na < nb;
  return a < b;
}

}  // namespace

bool TMRUFileList::LoadFromRegistry() {
  if (AutoSaveName.isEmpty() || AutoSaveKey.isEmpty()) return false;
  QString org, app;
  SettingsPlace(AutoSaveName, org, app);
  QSettings settings(QSettings::defaultFormat(), QSettings::UserScope, org, app);
  settings.beginGroup(AutoSaveKey);
  QStringList keys = settings.childKeys();
  std::sort(keys.begin(), keys.end(), ValueOrder);
  Items_.clear();
  for (const QString& key : keys) {
    const QString value = settings.value(key).toString();
    if (!value.isEmpty()) Items_.append(value);
  }
  RebuildMenu();
  return true;
}

bool TMRUFileList::SaveToRegistry() {
  if (AutoSaveName.isEmpty() || AutoSaveKey.isEmpty()) return false;
  QString org, app;
  SettingsPlace(AutoSaveName, org, app);
  QSettings settings(QSettings::defaultFormat(), QSettings::UserScope, org, app);
  settings.remove(AutoSaveKey);
  settings.beginGroup(AutoSaveKey);
  for (int i = 0; i < Items_.size(); ++i) settings.setValue("F" + QString::number(i), Items_[i]);
  settings.endGroup();
  settings.sync();
  return true;
}
