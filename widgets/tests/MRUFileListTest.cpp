// The recent-file list: order, limit and letter case, the menu entries it
// builds around its anchor, choosing an entry, and the settings it keeps.

#include <gtest/gtest.h>

#include <QMenu>
#include <QSettings>

#include "widgets/MRUFileList.h"

namespace {

QStringList Captions(const QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) out << (a->isSeparator() ? QString("-") : a->text());
  return out;
}

// A File menu "Open", the hidden anchor "Save", "Exit".
struct TMenuFixture : ::testing::Test {
  QMenu File;
  QAction* Open = File.addAction("&Open...");
  QAction* Save = File.addAction("&Save");
  QAction* Exit = File.addAction("E&xit");
  TMRUFileList List;
  void SetUp() override {
    List.AutoSave = false;
    Save->setVisible(false);
  }
};

TEST_F(TMenuFixture, OrderLimitAndLetterCase) {
  List.SetMaximum(10);
  for (int i = 1; i <= 11; ++i) List.AddItem(QString("/a/%1.pak").arg(i));
  ASSERT_EQ(List.Items().size(), 10);
  EXPECT_EQ(List.Items().first(), "/a/11.pak");
  EXPECT_EQ(List.Items().last(), "/a/2.pak");  // the oldest went

  // Another spelling of a listed name moves that entry up, spelt as before.
  List.AddItem("/A/5.PAK");
  EXPECT_EQ(List.Items().size(), 10);
  EXPECT_EQ(List.Items().first(), "/a/5.pak");
  EXPECT_EQ(List.Items()[1], "/a/11.pak");

  List.SetMaximum(3);
  EXPECT_EQ(List.Items(), QStringList({"/a/5.pak", "/a/11.pak", "/a/10.pak"}));
}

TEST_F(TMenuFixture, EntriesGoIntoASubmenuOrBesideTheAnchor) {
  List.SetUseSubmenu(true);
  List.SetSubmenuName("&Reopen");
  List.SetFileMenu(Save);
  EXPECT_EQ(Captions(&File), QStringList({"&Open...", "&Save", "E&xit"}));  // empty: no submenu

  for (const char* n : {"/c.pak", "/b&b.gob", "/a.pak"}) List.AddItem(n);
  ASSERT_EQ(Captions(&File), QStringList({"&Open...", "&Reopen", "&Save", "E&xit"}));
  QMenu* sub = File.actions()[1]->menu();
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(Captions(sub), QStringList({"&1 /a.pak", "&2 /b&&b.gob", "&3 /c.pak"}));

  // Flat, with a separator in front, in front of the anchor.
  List.SetUseSubmenu(false);
  List.CreateBreak = true;
  List.RebuildMenu();
  EXPECT_EQ(Captions(&File), QStringList({"&Open...", "-", "&1 /a.pak", "&2 /b&&b.gob", "&3 /c.pak", "&Save", "E&xit"}));

  // An anchor with a submenu of its own gets the entries at its end.
  List.CreateBreak = false;
  QMenu recent("Recent");
  recent.addAction("Clear");
  List.SetFileMenu(recent.menuAction());
  EXPECT_EQ(Captions(&File), QStringList({"&Open...", "&Save", "E&xit"}));  // the old place is cleared
  EXPECT_EQ(Captions(&recent), QStringList({"Clear", "&1 /a.pak", "&2 /b&&b.gob", "&3 /c.pak"}));
}

TEST_F(TMenuFixture, ChoosingAnEntryTakesItOutAndReportsIt) {
  List.SetFileMenu(Save);
  for (const char* n : {"/c.pak", "/b.pak", "/a.pak"}) List.AddItem(n);
  QString chosen;
  QStringList itemsWhenFired;
  List.OnMRUItemClick = [&](QObject*, const QString& name) {
    chosen = name;
    itemsWhenFired = List.Items();
  };
  File.actions()[2]->trigger();  // "&2 /b.pak"
  EXPECT_EQ(chosen, "/b.pak");
  EXPECT_EQ(itemsWhenFired, QStringList({"/a.pak", "/c.pak"}));
  EXPECT_EQ(Captions(&File), QStringList({"&Open...", "&1 /a.pak", "&2 /c.pak", "&Save", "E&xit"}));

  List.RemoveOnClick = false;
  List.ItemClick(2);
  EXPECT_EQ(chosen, "/c.pak");
  EXPECT_EQ(List.Items().size(), 2);
}

TEST(MRUFileListSettings, SavesValuesInOrderAndDropsStaleOnes) {
  QString org, app;
  TMRUFileList::SettingsPlace("\\Software\\Hollin\\Cairnbox10", org, app);
  EXPECT_EQ(org, "Hollin");
  EXPECT_EQ(app, "Cairnbox10");
  TMRUFileList::SettingsPlace("\\Software\\My Application", org, app);
  EXPECT_EQ(org, "My Application");
  EXPECT_EQ(app, "My Application");

  QSettings stored(QSettings::defaultFormat(), QSettings::UserScope, "Hollin", "MRUTest");
  stored.setValue("MRU Items/F2", "/stale.pak");
  stored.sync();
  {
    TMRUFileList list;
    list.AutoSaveName = "\\Software\\Hollin\\MRUTest";
    list.AddItem("/second.pak");
    list.AddItem("/first.pak");
  }  // saved when destroyed
  stored.sync();
  stored.beginGroup("MRU Items");
  EXPECT_EQ(stored.childKeys(), QStringList({"F0", "F1"}));
  EXPECT_EQ(stored.value("F0").toString(), "/first.pak");
  EXPECT_EQ(stored.value("F1").toString(), "/second.pak");
  stored.endGroup();

  // Loading: numeric order (F10 after F9), empty values skipped, not cut to Maximum.
  for (int i = 0; i < 12; ++i) stored.setValue(QString("MRU Items/F%1").arg(i), i == 3 ? QString() : QString("/%1.pak").arg(i));
  stored.sync();
  TMRUFileList loaded;
  loaded.AutoSave = false;
  loaded.AutoSaveName = "\\Software\\Hollin\\MRUTest";
  ASSERT_TRUE(loaded.LoadFromRegistry());
  ASSERT_EQ(loaded.Items().size(), 11);
  EXPECT_EQ(loaded.Items()[2], "/2.pak");
  EXPECT_EQ(loaded.Items()[3], "/4.pak");
  EXPECT_EQ(loaded.Items().last(), "/11.pak");

  loaded.AutoSaveKey.clear();
  EXPECT_FALSE(loaded.SaveToRegistry());
  EXPECT_FALSE(loaded.LoadFromRegistry());
}

}  // namespace
