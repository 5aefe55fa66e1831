#pragma once
// The recent-file list: file names most recent first, shown as numbered
// entries ("&1 name", "&2 name", ...) in a menu and kept in the user's
// settings as the values F0, F1, ... of one group.
//
// The entries are placed relative to an anchor action (FileMenu): inside its
// submenu when it has one, otherwise in front of it in the menu that holds
// it; with UseSubmenu they go into a submenu of their own.

#include <QAction>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QMenu;

// Every item the list puts into a menu (entries, the separator and the
// submenu) is one of these, which is how the list finds them again.
class TMRUMenuItem : public QAction {
  Q_OBJECT

public:
  TMRUMenuItem(const QString& text, int number, QObject* parent);
  ~TMRUMenuItem() override;
  int Number = 0;  // 1-based entry number; 0 for the separator and the submenu
  QMenu* Submenu = nullptr;  // owned, for the submenu item
};

class TMRUFileList : public QObject {
  Q_OBJECT

public:
  explicit TMRUFileList(QObject* parent = nullptr);
  // Saves the list when AutoSave is set.
  ~TMRUFileList() override;

  bool AutoSave = true;
  // The settings location: "\Software\<Organisation>\<Application>" below
  // the user's settings, and the group that holds the entries.
  QString AutoSaveName = "\\Software\\My Application";
  QString AutoSaveKey = "MRU Items";
  bool CreateBreak = false;
  bool RemoveOnClick = true;
  std::function<void(QObject* sender, const QString& fileName)> OnMRUItemClick;

  QAction* FileMenu() const { return FileMenu_; }
  void SetFileMenu(QAction* anchor);
  int Maximum() const { return Maximum_; }
  // 0 to 255; lowering it drops the entries beyond.
  void SetMaximum(int maximum);
  const QString& SubmenuName() const { return SubmenuName_; }
  void SetSubmenuName(const QString& name);
  bool UseSubmenu() const { return UseSubmenu_; }
  void SetUseSubmenu(bool use);

  const QStringList& Items() const { return Items_; }
  // Puts `fileName` on top: a name already listed (letter case ignored)
  // moves there keeping its old spelling; a new one may push out the last.
  void AddItem(const QString& fileName);
  // The settings object's organisation and application for AutoSaveName.
  static void SettingsPlace(const QString& autoSaveName, QString& organisation, QString& application);
  // False, doing nothing, when AutoSaveName or AutoSaveKey is empty.
  bool LoadFromRegistry();
  bool SaveToRegistry();
  virtual void RebuildMenu();
  void RemoveMenuItems();

  // Chooses entry `number` (1-based), as a click on its menu item does.
  void ItemClick(int number);

private:
  // The menu the entries go into (or beside) and the index to insert at.
  QMenu* AnchorMenu(int& index) const;

  QPointer<QAction> FileMenu_;
  int Maximum_ = 5;
  QString SubmenuName_ = "Reopen";
  bool UseSubmenu_ = false;
  QStringList Items_;
};
