// cairnbox's window with real widgets: listing archives, sorting by every
// column, the views, export, extraction through the folder browser (with
// hostile members and cancelling), the recent-file list and dropped files.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
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

TEST_F(TFormFixture, OpensFromTheMenuWithTheArchiveFilterAndExits) {
  const std::string pak = SortFixture();
  QStringList asked;
  Form->FileDlgs->AskOpenFileName = [&](QWidget*, const QString& title, const QString&, const QString& filter) {
    asked << title << filter;
    return QString::fromStdString(pak);
  };
  Form->Open1->trigger();
  EXPECT_EQ(asked, QStringList({"Open Game Archives", TGameArchiveViewerForm::OpenFilter}));
  EXPECT_TRUE(TGameArchiveViewerForm::OpenFilter.startsWith("All Archives (*.pak *.gob"));
  EXPECT_EQ(Form->Model->rowCount(), 4);
  EXPECT_EQ(Form->Open1->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(Form->Extract1->shortcut(), QKeySequence("Ctrl+E"));
  Form->Exit1->trigger();
  EXPECT_FALSE(Form->isVisible());
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
  ClickHeader(2);
  ClickHeader(2);  // sizes descending: c b A d
  Select({1});
  Open(Tmp / "gone.PAK");
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_TRUE(Errors[0].contains("Cannot open file")) << Errors[0].toStdString();
  EXPECT_EQ(Column(0), QStringList({"c", "b", "A", "d"}));
  EXPECT_EQ(Form->SelectedRows(), std::vector<int>({1}));
  EXPECT_EQ(Form->windowTitle(), title);
  EXPECT_EQ(Form->MRUFileList->Items().first(), QString::fromStdString(Tmp / "gone.PAK"));

  // A header that claims 2^31 - 1 entries: what is there, and why not more.
  Errors.clear();
  WriteFixtureFile(Tmp / "huge.gob", {'G', 'O', 'B', ' ', 0x14, 0, 0, 0, 12, 0, 0, 0, 0xff, 0xff, 0xff, 0x7f});
  Open(Tmp / "huge.gob");
  EXPECT_TRUE(Errors.isEmpty());
  EXPECT_EQ(Form->Model->rowCount(), 0);
  EXPECT_TRUE(Form->StatusText->text().startsWith("0 files (2147483647 skipped")) << Form->StatusText->text().toStdString();
}

TEST_F(TFormFixture, ExportsOneMemberWithTheProposedName) {
  const std::vector<uint8_t> data = FixtureBytes("IDPO model bytes");
  Open(MakeArchive("e.pak", {{"progs/player.mdl", data}, {"maps/empty.bsp", {}}}));
  QStringList asked;
  QString answer = QString::fromStdString(Tmp / "player.mdl");
  Form->AskExportFileName = [&](QWidget*, const QString& title, const QString& name, const QString& filter,
                                const QString& ext) {
    asked << title << name << filter << ext;
    return answer;
  };
  Select({0});
  Form->Extract1->trigger();
  EXPECT_EQ(asked, QStringList({"Export File", "player.mdl", "Export File (*.mdl);;All Files (*)", "mdl"}));
  EXPECT_EQ(ReadFixtureFile(Tmp / "player.mdl"), data);

  // An existing file is overwritten; an empty member gives an empty file.
  Select({1});
  answer = QString::fromStdString(Tmp / "player.mdl");
  Form->Extract1->trigger();
  EXPECT_TRUE(ReadFixtureFile(Tmp / "player.mdl").empty());
  EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();

  // Cancelled: nothing written. Nothing selected: nothing asked.
  answer.clear();
  Form->Extract1->trigger();
  Form->Lst->clearSelection();
  asked.clear();
  Form->Extract1->trigger();
  EXPECT_TRUE(asked.isEmpty());
}

// Answers the folder browser once it shows: goes to `folder`, checks that OK
// is enabled exactly for an existing folder, and confirms.
void AnswerBrowser(TGameArchiveViewerForm& form, const QString& folder, bool& okWasEnabled, bool cancel = false) {
  QTimer::singleShot(0, &form, [&form, folder, &okWasEnabled, cancel] {
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.BrowseDlg->Dialog() && form.BrowseDlg->Dialog()->isVisible(); }));
    QFileDialog* dialog = form.BrowseDlg->Dialog();
    auto* box = dialog->findChild<QDialogButtonBox*>();
    QPushButton* ok = nullptr;
    for (QAbstractButton* b : box->buttons())
      if (box->buttonRole(b) == QDialogButtonBox::AcceptRole) ok = qobject_cast<QPushButton*>(b);
    // As a user would: go to the parent folder and highlight the folder.
    dialog->setDirectory(QFileInfo(folder).absolutePath());
    dialog->selectFile(QFileInfo(folder).fileName());
    okWasEnabled = QTest::qWaitFor([&] { return ok->isEnabled() && form.BaseFolder() == folder; });
    if (cancel || !okWasEnabled)
      dialog->reject();
    else
      QTest::mouseClick(ok, Qt::LeftButton);
  });
}

// The rows keep sizes and offsets as numbers: the Size column shows plain
// decimals whatever the locale groups digits with, and the views, export and
// extraction take the numbers, never the column's text.
TEST_F(TFormFixture, SizesShowAsPlainDecimalsAndMembersComeFromTheRowsNumbers) {
  struct TLocaleScope {
    QLocale Old;
    ~TLocaleScope() { QLocale::setDefault(Old); }
  } restore;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  std::vector<uint8_t> big(123456);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  Open(MakeArchive("g.pak", {{"maps/big.bsp", big}, {"progs/s.mdl", FixtureBytes("small")}}));
  EXPECT_EQ(Column(2), QStringList({"123456", "5"}));
  EXPECT_EQ(Form->Model->List.Rows[0].Size, 123456);
  EXPECT_EQ(Form->Model->List.Rows[0].Offset, 12);
  Form->LstColumnClick(acSize);
  EXPECT_EQ(Column(0), QStringList({"s", "big"}));  // by the numbers

  Form->AskExportFileName = [&](QWidget*, const QString&, const QString&, const QString&, const QString&) {
    return QString::fromStdString(Tmp / "big.bsp");
  };
  Select({1});
  Form->Extract1->trigger();
  EXPECT_EQ(ReadFixtureFile(Tmp / "big.bsp"), big);
  auto hex = Form->MakeHexView();
  ASSERT_NE(hex, nullptr);
  EXPECT_EQ(hex->Dump->DataSize(), 123456);

  const std::string out = Tmp / "out";
  fs::create_directory(out);
  Select({0, 1});
  bool okEnabled = false;
  AnswerBrowser(*Form, QString::fromStdString(out), okEnabled);
  Form->Extract1->trigger();
  ASSERT_TRUE(okEnabled);
  EXPECT_EQ(ReadFixtureFile(out + "/maps/big.bsp"), big);
  EXPECT_EQ(ReadFixtureFile(out + "/progs/s.mdl"), FixtureBytes("small"));
  EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(TFormFixture, ExtractsSelectedMembersIntoTheChosenFolder) {
  Open(MakeArchive("x.pak", {{"progs/a.mdl", FixtureBytes("a")},
                             {"maps/b.bsp", FixtureBytes("bb")},
                             {"PROGS/PLAYER.MDL", FixtureBytes("ccc")},
                             {"readme.txt", FixtureBytes("not chosen")}}));
  const std::string out = Tmp / "out";
  fs::create_directory(out);
  Select({0, 1, 2});
  bool okEnabled = false;
  AnswerBrowser(*Form, QString::fromStdString(out), okEnabled);
  Form->Extract1->trigger();
  ASSERT_TRUE(okEnabled);
  EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
  EXPECT_EQ(ReadFixtureFile(out + "/progs/a.mdl"), FixtureBytes("a"));
  EXPECT_EQ(ReadFixtureFile(out + "/maps/b.bsp"), FixtureBytes("bb"));
  EXPECT_EQ(ReadFixtureFile(out + "/PROGS/player.mdl"), FixtureBytes("ccc"));  // stored case kept for folders
  EXPECT_FALSE(fs::exists(out + "/readme.txt"));
  EXPECT_EQ(Form->LastExtract().Extracted, 3);
  EXPECT_EQ(Form->BaseFolder(), QString::fromStdString(out));

  // The browser opens at the last folder again, with OK enabled; a name
  // typed that is no folder disables OK; a cancel writes nothing.
  fs::remove_all(out + "/maps");
  bool presetOk = false, typedOk = true;
  QString statusLine;
  QTimer::singleShot(0, Form.get(), [&] {
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form->BrowseDlg->Dialog() && Form->BrowseDlg->Dialog()->isVisible(); }));
    QFileDialog* dialog = Form->BrowseDlg->Dialog();
    auto* box = dialog->findChild<QDialogButtonBox*>();
    QAbstractButton* ok = box->buttons().first();
    for (QAbstractButton* b : box->buttons())
      if (box->buttonRole(b) == QDialogButtonBox::AcceptRole) ok = b;
    presetOk = QTest::qWaitFor([&] { return ok->isEnabled(); });
    statusLine = dialog->findChild<QLabel*>("StatusText")->text();
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    edit->clear();
    QTest::keyClicks(edit, "no such folder");
    typedOk = !QTest::qWaitFor([&] { return !ok->isEnabled(); });
    dialog->reject();
  });
  Form->Extract1->trigger();
  EXPECT_TRUE(presetOk);
  EXPECT_FALSE(typedOk);
  EXPECT_EQ(statusLine, QString::fromStdString(out));
  EXPECT_FALSE(fs::exists(out + "/maps"));
}

TEST_F(TFormFixture, HostileMembersAreReportedByNameWhileTheRestExtract) {
  Open(MakeArchive("evil.pak", {{"../escape.txt", FixtureBytes("x")},
                                {"good/one.txt", FixtureBytes("1")},
                                {"/etc/abs.txt", FixtureBytes("y")},
                                {"good/../../up.txt", FixtureBytes("z")},
                                {"good/two.txt", FixtureBytes("2")}}));
  const std::string out = Tmp / "base/inner";
  fs::create_directories(out);
  Select({0, 1, 2, 3, 4});
  bool okEnabled = false;
  AnswerBrowser(*Form, QString::fromStdString(out), okEnabled);
  Form->Extract1->trigger();
  EXPECT_EQ(ReadFixtureFile(out + "/good/one.txt"), FixtureBytes("1"));
  EXPECT_EQ(ReadFixtureFile(out + "/good/two.txt"), FixtureBytes("2"));
  ASSERT_EQ(Errors.size(), 1);
  for (const char* bad : {"../escape.txt", "/etc/abs.txt", "good/../../up.txt"})
    EXPECT_TRUE(Errors[0].contains(bad)) << bad << "\n" << Errors[0].toStdString();
  EXPECT_TRUE(Errors[0].startsWith("3 of 5 files could not be extracted")) << Errors[0].toStdString();
  // Nothing anywhere but below the chosen folder.
  std::vector<std::string> written;
  for (const auto& e : fs::recursive_directory_iterator(Tmp.Path()))
    if (e.is_regular_file()) written.push_back(e.path().string());
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, std::vector<std::string>({out + "/good/one.txt", out + "/good/two.txt", Tmp / "evil.pak"}));
}

TEST_F(TFormFixture, CancelStopsBetweenMembersLeavingWholeFiles) {
  std::vector<TFixtureMember> members;
  for (int i = 0; i < 6; ++i) members.push_back({"m/f" + std::to_string(i) + ".dat", std::vector<uint8_t>(5000, uint8_t(i))});
  Open(MakeArchive("many.pak", members));
  const std::string out = Tmp / "out";
  fs::create_directory(out);
  Select({0, 1, 2, 3, 4, 5});
  Form->ProgressDelayMs = 0;
  bool sawProgress = false;
  Form->OnMemberExtracted = [&](int index) {
    sawProgress = Form->ExtractProgress() != nullptr;
    if (index == 1) Form->ExtractProgress()->cancel();
  };
  bool okEnabled = false;
  AnswerBrowser(*Form, QString::fromStdString(out), okEnabled);
  Form->Extract1->trigger();
  EXPECT_TRUE(sawProgress);
  EXPECT_TRUE(Form->LastExtractCancelled());
  EXPECT_EQ(Form->LastExtract().Extracted, 2);
  for (int i = 0; i < 6; ++i) {
    const std::string f = out + "/m/f" + std::to_string(i) + ".dat";
    if (i < 2)
      EXPECT_EQ(ReadFixtureFile(f), std::vector<uint8_t>(5000, uint8_t(i))) << f;
    else
      EXPECT_FALSE(fs::exists(f)) << f;
  }
  // No temporary files left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(out + "/m"), fs::directory_iterator()), 2);
}

TEST_F(TFormFixture, ShowsTheSelectedMemberAsHexAndAsText) {
  Open(MakeArchive("v.pak", {{"a.txt", FixtureBytes("line one\r\nline two\n")}, {"b.bin", {}}}));
  EXPECT_EQ(Form->MakeHexView(), nullptr);  // nothing selected
  Select({0});
  auto hex = Form->MakeHexView();
  ASSERT_NE(hex, nullptr);
  EXPECT_EQ(hex->Dump->DataSize(), 19);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(hex->Dump->Data()), 4), "line");
  auto text = Form->MakeTextView();
  EXPECT_EQ(text->Memo->toPlainText(), "line one\nline two");

  // Through the pop-up menu's action: a modal "TextDump" that OK closes.
  QString caption;
  QTimer::singleShot(0, Form.get(), [&] {
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeModalWidget() != nullptr; }));
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    caption = dialog->windowTitle();
    QTest::mouseClick(dialog->findChild<QPushButton*>("OK"), Qt::LeftButton);
  });
  Form->Showastext1->trigger();
  EXPECT_EQ(caption, "TextDump");
  EXPECT_TRUE(Form->PopupMenu1->actions().contains(Form->Showastext1));
  EXPECT_TRUE(Form->PopupMenu1->actions().contains(Form->ShowasHex1));

  // A member whose data lies outside the archive: an error naming it, no view.
  Select({1});
  EXPECT_EQ(Form->MakeHexView()->Dump->Data(), nullptr);
  TArchiveEntryRow& row = Form->Model->List.Rows[1];
  row.Size = 999999;
  Form->ShowasHex1->trigger();
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_TRUE(Errors[0].contains("b.bin")) << Errors[0].toStdString();
}

TEST_F(TFormFixture, RecentArchivesReopenFromTheFileMenuAndPersist) {
  const std::string a = SortFixture();
  const std::string b = MakeArchive("b.gob", {{"3do\\mat\\dflt.mat", FixtureBytes("m")}});
  Open(a);
  Open(b);
  // "&Reopen" stands directly below "&Open...".
  const QList<QAction*> items = Form->File1->actions();
  const int open = static_cast<int>(items.indexOf(Form->Open1));
  ASSERT_GE(open, 0);
  QAction* reopen = items[open + 1];
  ASSERT_NE(reopen->menu(), nullptr);
  EXPECT_EQ(reopen->text(), "&Reopen");
  QStringList captions;
  for (QAction* x : reopen->menu()->actions()) captions << x->text();
  EXPECT_EQ(captions, QStringList({"&1 " + QString::fromStdString(b), "&2 " + QString::fromStdString(a)}));
  EXPECT_EQ(Column(0), QStringList({"dflt"}));
  EXPECT_EQ(Column(3), QStringList({"3do\\mat\\"}));

  reopen->menu()->actions()[1]->trigger();
  EXPECT_EQ(Form->Model->rowCount(), 4);
  EXPECT_EQ(Form->MRUFileList->Items().first(), QString::fromStdString(a));

  // A recent archive that has gone: the open error, and it still moves up.
  fs::remove(b);
  Form->MRUFileList->ItemClick(2);
  ASSERT_EQ(Errors.size(), 1);
  EXPECT_TRUE(Errors[0].contains("Cannot open file")) << Errors[0].toStdString();
  EXPECT_EQ(Form->MRUFileList->Items().first(), QString::fromStdString(b));

  // Kept across runs under the program's settings.
  Form.reset();
  QSettings stored(QSettings::defaultFormat(), QSettings::UserScope, "Hollin", "Cairnbox10");
  EXPECT_EQ(stored.value("MRU Items/F0").toString(), QString::fromStdString(b));
  EXPECT_EQ(stored.value("MRU Items/F1").toString(), QString::fromStdString(a));
  TGameArchiveViewerForm again;
  EXPECT_EQ(again.MRUFileList->Items(), QStringList({QString::fromStdString(b), QString::fromStdString(a)}));
}

// Drags `files` onto the window and drops them when it accepts; whether it did.
bool DropFiles(QWidget* target, const QStringList& files) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& f : files) urls << QUrl::fromLocalFile(f);
  mime.setUrls(urls);
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

TEST_F(TFormFixture, AnArchiveDroppedOnTheWindowOpens) {
  const std::string pak = SortFixture();
  WriteFixtureFile(Tmp / "notes.txt", FixtureBytes("hello"));
  EXPECT_FALSE(DropFiles(Form.get(), {QString::fromStdString(Tmp / "notes.txt")}));
  EXPECT_EQ(Form->Model->rowCount(), 0);
  // Among several files the first archive is taken.
  EXPECT_TRUE(DropFiles(Form.get(), {QString::fromStdString(Tmp / "notes.txt"), QString::fromStdString(pak)}));
  EXPECT_EQ(Form->Model->rowCount(), 4);
  EXPECT_EQ(Form->FileDlgs->FileName(), QString::fromStdString(pak));
  EXPECT_EQ(Form->MRUFileList->Items().first(), QString::fromStdString(pak));
  EXPECT_TRUE(Errors.isEmpty());
}

}  // namespace
