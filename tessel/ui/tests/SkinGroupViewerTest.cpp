// The skin tree: the sample model's skins picked, renamed, reordered by
// drops and handled through the skin menu.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "resources/SampleModel.h"
#include "tessel/ui/ModelViewer.h"
#include "tessel/ui/SkinGroupViewer.h"

namespace {

class SkinGroupViewerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    TModelViewer::ShowError = [this](QWidget*, const QString& text) { Errors << text; };
    Sample = Dir.filePath("sample.mdl").toStdString();
    TMDL m;
    BuildSampleModel(m);
    m.SaveToFile(Sample, true);
    TMDLEditor::Instance().Clear();
    Viewer = std::make_unique<TSkinGroupViewer>();
    Viewer->resize(240, 200);
    Viewer->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Viewer.get()));
    E().LoadFromFile(Sample);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tree().topLevelItemCount() == 2; }, 1000));
    E().SetModified(false);
  }

  void TearDown() override {
    Viewer.reset();
    TMDLEditor::Instance().Clear();
  }

  static TMDLEditor& E() { return TMDLEditor::Instance(); }
  QTreeWidget& Tree() { return *Viewer->SkinTree(); }
  QStringList Names() {
    QStringList names;
    for (int i = 0; i < Tree().topLevelItemCount(); ++i) names << Tree().topLevelItem(i)->text(0);
    return names;
  }

  QTemporaryDir Dir;
  std::string Sample;
  std::unique_ptr<TSkinGroupViewer> Viewer;
  QStringList Errors;
};

TEST_F(SkinGroupViewerTest, ShowsTheSkinsAndPicksThem) {
  EXPECT_EQ(Names(), (QStringList{"brown", "slate"}));
  EXPECT_EQ(Tree().currentItem(), Viewer->SkinNode(0));
  QTest::mouseClick(Tree().viewport(), Qt::LeftButton, Qt::NoModifier, Tree().visualItemRect(Viewer->SkinNode(1)).center());
  EXPECT_EQ(E().CurrentSkin, 1);
  E().SetCurrentSkin(0);
  EXPECT_EQ(Tree().currentItem(), Viewer->SkinNode(0));
}

TEST_F(SkinGroupViewerTest, RenameKeepsTheStoredNameAndRefusesAnEmptyOne) {
  Viewer->SkinNode(1)->setText(0, "  stone ");
  EXPECT_EQ(E().SkinName(1), "stone");
  EXPECT_EQ(Viewer->SkinNode(1)->text(0), "stone");
  Viewer->SkinNode(1)->setText(0, "");
  EXPECT_EQ(E().SkinName(1), "stone");
  EXPECT_EQ(Viewer->SkinNode(1)->text(0), "stone");
}

TEST_F(SkinGroupViewerTest, DropsReorderAndTheMovedSkinBecomesCurrent) {
  Viewer->SkinMenuCommand(-1, "Duplicate 1x");  // brown, brown, slate
  ASSERT_TRUE(QTest::qWaitFor([&] { return Tree().topLevelItemCount() == 3; }, 1000));
  E().Model->Skins->SetSkinName(1, "copy");
  Viewer->RebuildTree();
  // On another skin: takes its place.
  Viewer->DropOnSkin(Viewer->SkinNode(2), Viewer->SkinNode(0));
  EXPECT_EQ(Names(), (QStringList{"slate", "brown", "copy"}));
  EXPECT_EQ(E().CurrentSkin, 0);
  EXPECT_EQ(Tree().currentItem(), Viewer->SkinNode(0));
  // On empty space: to the end.
  Viewer->DropOnSkin(Viewer->SkinNode(0), nullptr);
  EXPECT_EQ(Names(), (QStringList{"brown", "copy", "slate"}));
  EXPECT_EQ(E().CurrentSkin, 2);
  EXPECT_TRUE(E().Modified);
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(SkinGroupViewerTest, MenuMakesDuplicatesAndRefusesUnknownTags) {
  Viewer->SkinMenuCommand(-3, "Duplicate 3x");
  EXPECT_EQ(E().SkinCount(), 5);
  EXPECT_TRUE(E().Modified);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Tree().topLevelItemCount() == 5; }, 1000));
  Viewer->SkinMenuCommand(0, "New");
  EXPECT_EQ(E().SkinCount(), 6);
  try {
    Viewer->SkinMenuCommand(7, "Odd");
    ADD_FAILURE();
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Menu item 'Odd' not supported");
  }
  // The export writes the current skin to the file asked for.
  const QString out = Dir.filePath("skin.bmp");
  TSceneViewer::AskFileName = [&](QWidget*, const QString& title, const QString&, const QString& ext, bool save) {
    EXPECT_EQ(title, "Export Skin");
    EXPECT_EQ(ext, "BMP");
    EXPECT_TRUE(save);
    return out;
  };
  Viewer->SkinMenuCommand(6, "Export...");
  EXPECT_TRUE(QFileInfo(out).size() > 0);
  // Imported again it comes in as a new, current skin.
  TSceneViewer::AskFileName = [&](QWidget*, const QString& title, const QString&, const QString&, bool save) {
    EXPECT_EQ(title, "Import Skin");
    EXPECT_FALSE(save);
    return out;
  };
  const int before = E().SkinCount();
  Viewer->SkinMenuCommand(5, "Import...");
  EXPECT_EQ(E().SkinCount(), before + 1);
}

}  // namespace
