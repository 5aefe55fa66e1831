// cairnbox's window with real widgets: listing archives, sorting by every
// column, the views, export, extraction through the folder browser (with
// hostile members and cancelling), the recent-file list and dropped files.

#include <gtest/gtest.h>

#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QDialogButtonBox>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <filesystem>

#include "archive/tests/ArchiveFixtures.h"
#include "cairnbox/ui/DumpDialogs.h"
#include "cairnbox/ui/GameArchiveViewerForm.h"
#include "widgets/BrowseDirectoryDlg.h"
#include "widgets/FileDialogs.h"
#include "widgets/HexDump.h"
#include "widgets/MRUFileList.h"

namespace fs = std::filesystem;

namespace {

std::string RealPak(const std::string& rel) { return std::string(TESSEL_DATA_DIR) + "/quake/paks/" + rel; }

// A window with an empty recent-file list whose errors are collected.
struct TFormFixture : ::testing::Test {
  QStringList Errors;
  std::unique_ptr<TGameArchiveViewerForm> Form;
  std::function<void(QWidget*, const QString&)> OldShowError;
  TScratchDir Tmp;

  void SetUp() override {
    QSettings(QSettings::defaultFormat(), QSettings::UserScope, "Hollin", "Cairnbox10").remove("MRU Items");
    OldShowError = TGameArchiveViewerForm::ShowError;
    TGameArchiveViewerForm::ShowError = [this](QWidget*, const QString& text) { Errors << text; };
    Form = std::make_unique<TGameArchiveViewerForm>();
    Form->show();
  }
  void TearDown() override {
    Form.reset();
    TGameArchiveViewerForm::ShowError = OldShowError;
  }

  void Open(const std::string& path) {
    Form->Guard([&] { Form->FileDlgs->OpenFile(QString::fromStdString(path)); });
  }
  QStringList Column(int c) const {
    QStringList out;
    for (int r = 0; r < Form->Model->rowCount(); ++r) out << Form->Model->index(r, c).data().toString();
    return out;
  }
  void ClickHeader(int column) {
    QHeaderView* h = Form->Lst->header();
    const int x = h->sectionViewportPosition(column) + h->sectionSize(column) / 2;
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
  }
  void Select(std::initializer_list<int> rows) {
    Form->Lst->clearSelection();
    for (int r : rows)
      Form->Lst->selectionModel()->select(Form->Model->index(r, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  std::string MakeArchive(const std::string& name, const std::vector<TFixtureMember>& members) {
    const std::string path = Tmp / name;
    WriteFixtureFile(path, name.ends_with(".gob") ? MakeGob(members) : MakePak(members));
    return path;
  }
  std::string SortFixture() {
    return MakeArchive("sort.pak", {{"progs/b.mdl", std::vector<uint8_t>(10)},
                                    {"maps/A.bsp", std::vector<uint8_t>(9)},
                                    {"sound/c.wav", std::vector<uint8_t>(100)},
                                    {"gfx/d", {}}});
  }
};

TEST_F(TFormFixture, ListsRealArchivesWithCaptionStatusAndColumns) {
  if (!fs::exists(RealPak("vgio_test.pak"))) GTEST_SKIP() << "no game data at " << TESSEL_DATA_DIR;
  EXPECT_EQ(Form->windowTitle(), "Cairnbox");
  Open(RealPak("vgio_test.pak"));
  ASSERT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
  EXPECT_EQ(Form->Model->rowCount(), 2);
  EXPECT_EQ(Form->StatusText->text(), "2 files");
  EXPECT_EQ(Form->windowTitle(), "Cairnbox - " + QString::fromStdString(RealPak("vgio_test.pak")));
  EXPECT_EQ(Column(0), QStringList({"test", "test"}));
  EXPECT_EQ(Column(1), QStringList({"mdl", "bsp"}));
  EXPECT_EQ(Column(2), QStringList({"4724", "58428"}));
  const int widths[] = {150, 45, 75, 350};
  const char* titles[] = {"Name", "Type", "Size", "Path"};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(Form->Lst->header()->sectionSize(c), widths[c]);
    EXPECT_EQ(Form->Model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), titles[c]);
  }

  Open(RealPak("edge/openqw_500.pak"));
  EXPECT_EQ(Form->Model->rowCount(), 500);
  EXPECT_EQ(Form->StatusText->text(), "500 files");
  // Damaged archives: an error, or what could be read with the reason in
  // the status text; never a crash.
  struct {
    const char* File;
    bool Error;
    const char* Status;
  } damaged[] = {
      {"edge/openqw_badmagic.pak", true, nullptr},
      {"edge/openqw_emptyfile.pak", true, nullptr},
      {"edge/openqw_croppedheader.pak", false, "0 files (26 skipped"},
      {"edge/openqw_empty.pak", false, "0 files"},
  };
  for (const auto& d : damaged) {
    Errors.clear();
    Open(RealPak(d.File));
    EXPECT_EQ(Errors.size(), d.Error ? 1 : 0) << d.File;
    if (d.Error && !Errors.isEmpty()) {
      EXPECT_TRUE(Errors[0].contains(d.File)) << Errors[0].toStdString();
    }
    if (d.Status) {
      EXPECT_TRUE(Form->StatusText->text().startsWith(d.Status)) << Form->StatusText->text().toStdString();
    }
  }
}

TEST_F(TFormFixture, SortsByEveryColumnAndToggles) {
  Open(SortFixture());
  EXPECT_EQ(Column(0), QStringList({"b", "A", "c", "d"}));  // directory order
  struct TStep {
    int Column;
    int Shown;  // column whose texts are checked
    QStringList Expected;
  } steps[] = {
      {0, 0, {"d", "c", "b", "A"}},  // the very first click on Name sorts descending
      {0, 0, {"A", "b", "c", "d"}},
      {1, 1, {"", "bsp", "mdl", "wav"}},
      {1, 1, {"wav", "mdl", "bsp", ""}},
      {2, 2, {"0", "9", "10", "100"}},  // sizes as numbers, not as text
      {2, 2, {"100", "10", "9", "0"}},
      {3, 3, {"gfx/", "maps/", "progs/", "sound/"}},
      {3, 3, {"sound/", "progs/", "maps/", "gfx/"}},
  };
  for (const auto& s : steps) {
    ClickHeader(s.Column);
    EXPECT_EQ(Column(s.Shown), s.Expected) << "column " << s.Column;
  }
  // A new load lists in directory order again and keeps the sort column.
  Open(SortFixture());
  EXPECT_EQ(Column(0), QStringList({"b", "A", "c", "d"}));
  EXPECT_EQ(Form->Model->List.SortColumn, 3);
}

TEST_F(TFormFixture, SelectionFollowsItsRowsThroughASort) {
  Open(SortFixture());
  Select({0, 2});  // b and c
  ClickHeader(2);  // size ascending: d A b c
  ClickHeader(2);  // descending: c b A d
  std::vector<int> rows = Form->SelectedRows();
  QStringList names;
  for (int r : rows) names << QString::fromStdString(Form->Model->Row(r).Name);
  EXPECT_EQ(names, QStringList({"c", "b"}));
}

TEST_F(TFormFixture, RefusedAndMissingFilesLeaveTheListAlone) {
  const std::string good = SortFixture();
  Open(good);
  const QString title = Form->windowTitle();

  // Another extension: refused with a message, nothing changes.
  WriteFixtureFile(Tmp / "x.zip", {1, 2, 3});
  Open(Tmp / "x.zip");
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_TRUE(Errors[0].contains("neither .pak nor .gob")) << Errors[0].toStdString();
  EXPECT_EQ(Form->windowTitle(), title);
  EXPECT_EQ(Form->Model->rowCount(), 4);
  EXPECT_EQ(Form->MRUFileList->Items().size(), 1);

  // A missing archive: the open error, the list stays, the name goes on top
  // of the recent files all the same.
  Errors.clear();
  Open(Tmp / "gone.PAK");
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_TRUE(Errors[0].contains("Cannot open file")) << Errors[0].toStdString();
  EXPECT_EQ(Form->Model->rowCount(), 4);
  EXPECT_EQ(Form->windowTitle(), title);
  EXPECT_EQ(Form->MRUFileList->Items().first(), QString::fromStdString(Tmp / "gone.PAK"));
}

}  // namespace
