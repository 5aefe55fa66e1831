// The general options page, and with it the other small windows of the
// main window: memory usage, the about box and the message boxes.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QMessageBox>
#include <memory>
#include <vector>

#include "mdl/Prompts.h"
#include "tessel/ui/AboutBox.h"
#include "tessel/ui/MemUsageDialog.h"
#include "tessel/ui/ModelViewerOptions.h"
#include "tessel/ui/QtPrompts.h"

namespace {

TEST(ModelViewerOptionsTest, GammaPanelFollowsTheSpin) {
  TModelViewerOptions page;
  EXPECT_EQ(page.Gamma(), 0);
  EXPECT_EQ(page.GammaPanel()->text(), "none");
  const struct {
    int Value;
    int Shown;
    const char* Text;
  } cases[] = {{-5, -5, "5 darker"}, {7, 7, "7 lighter"}, {0, 0, "none"}, {-31, -31, "31 darker"},
               {32, 32, "32 lighter"}, {-40, -31, "31 darker"}, {99, 32, "32 lighter"}};
  for (const auto& c : cases) {
    page.SetGamma(c.Value);
    EXPECT_EQ(page.Gamma(), c.Shown) << c.Value;
    EXPECT_EQ(page.GammaPanel()->text(), c.Text) << c.Value;
  }
  // Typing into the spin updates the panel as well.
  page.show();
  page.GammaSpin()->selectAll();
  QTest::keyClicks(page.GammaSpin(), "-12");
  EXPECT_EQ(page.Gamma(), -12);
  EXPECT_EQ(page.GammaPanel()->text(), "12 darker");
  QTest::keyClick(page.GammaSpin(), Qt::Key_Up);
  EXPECT_EQ(page.GammaPanel()->text(), "11 darker");
}

TEST(ModelViewerOptionsTest, HintsAndLibraryFolder) {
  TModelViewerOptions page;
  EXPECT_EQ(page.windowTitle(), "General Options");
  page.SetShowHints(false);
  EXPECT_FALSE(page.ShowHints());
  QTest::mouseClick(page.HintsBox(), Qt::LeftButton);
  EXPECT_TRUE(page.ShowHints());

  page.SetLibraryPath("/models/lib");
  EXPECT_EQ(page.LibraryPath(), "/models/lib/");
  EXPECT_EQ(page.LibraryLabel()->text(), "/models/lib/");

  std::vector<QString> asked;
  QString answer = "/other/place";
  page.ChooseFolder = [&](QWidget* parent, const QString& start) {
    EXPECT_EQ(parent, &page);
    asked.push_back(start);
    return answer;
  };
  QTest::mouseClick(page.BrowseButton(), Qt::LeftButton);
  EXPECT_EQ(page.LibraryPath(), "/other/place/");
  EXPECT_EQ(page.LibraryLabel()->text(), "/other/place/");
  // Cancelling the folder selection keeps the folder.
  answer.clear();
  QTest::mouseClick(page.BrowseButton(), Qt::LeftButton);
  EXPECT_EQ(page.LibraryPath(), "/other/place/");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], "/models/lib/");
  EXPECT_EQ(asked[1], "/other/place/");
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizedAllocator = true;
#else
constexpr bool kSanitizedAllocator = false;
#endif

TEST(MemUsageDialogTest, ShowsTheHeapAndSeesAllocations) {
  const THeapStatus before = ReadHeapStatus();
  EXPECT_GT(before.TotalAddrSpace, 0u);
  EXPECT_GE(before.TotalAddrSpace, before.TotalUncommitted);
  constexpr size_t kBlock = 8 << 20;
  auto block = std::make_unique<char[]>(kBlock);
  block[kBlock - 1] = 1;
  const THeapStatus during = ReadHeapStatus();
  // Other small blocks come and go meanwhile (reading the statistics is one).
  constexpr uint64_t kSlack = 256 << 10;
  // Under the address sanitizer its own allocator serves the blocks, and the
  // C library's heap statistics do not see them.
  if (!kSanitizedAllocator) {
    EXPECT_GE(during.TotalAllocated + kSlack, before.TotalAllocated + kBlock);
    block.reset();
    EXPECT_LE(ReadHeapStatus().TotalAllocated + kBlock, during.TotalAllocated + kSlack);
  }

  TMemUsageDialog dlg;
  EXPECT_EQ(dlg.windowTitle(), "Memory Usage");
  EXPECT_TRUE(dlg.isModal());
  for (const char* caption : {"Total Addr Space", "Total Uncommitted", "Total Allocated", "Total Free", "Overhead"}) {
    QLabel* value = dlg.ValueLabel(caption);
    ASSERT_NE(value, nullptr) << caption;
    EXPECT_TRUE(value->text().endsWith(" bytes")) << caption;
  }
  EXPECT_EQ(dlg.ValueLabel("Nonsense"), nullptr);
  EXPECT_EQ(TMemUsageDialog::FormatBytes(1000), "1,000 bytes");
  EXPECT_EQ(TMemUsageDialog::FormatBytes(1234567), "1,234,567 bytes");
}

TEST(AboutBoxTest, NamesTheProgramAndItsVersion) {
  TAboutBox box;
  EXPECT_TRUE(box.isModal());
  auto* name = box.findChild<QLabel*>("AboutName");
  auto* version = box.findChild<QLabel*>("AboutVersion");
  ASSERT_TRUE(name && version);
  EXPECT_EQ(name->text(), "Tessel");
  EXPECT_FALSE(TAboutBox::Version().isEmpty());
  EXPECT_EQ(version->text(), "Version " + TAboutBox::Version());
  EXPECT_FALSE(box.windowIcon().isNull());
}

class QtPromptsTest : public ::testing::Test {
protected:
  void SetUp() override { Previous_ = SetPrompts(&Prompts_); }
  void TearDown() override {
    SetPrompts(Previous_);
    TQtPrompts::Answerer = nullptr;
  }
  TQtPrompts Prompts_;
  TPrompts* Previous_ = nullptr;
};

TEST_F(QtPromptsTest, AnswererStandsInForTheBoxes) {
  std::vector<std::string> seen;
  bool answer = true;
  TQtPrompts::Answerer = [&](TQtPrompts::TKind kind, const std::string& text, const std::string& caption) {
    seen.push_back((kind == TQtPrompts::TKind::Confirm ? "?" : "i") + caption + ":" + text);
    return answer;
  };
  EXPECT_TRUE(Prompts().Confirm("Delete frame 'walk1'", "Confirm"));
  answer = false;
  EXPECT_FALSE(Prompts().Confirm("Delete selected triangles ?", "Confirm"));
  Prompts().Information("Skins resized", "Merge");
  EXPECT_EQ(seen, (std::vector<std::string>{"?Confirm:Delete frame 'walk1'", "?Confirm:Delete selected triangles ?",
                                            "iMerge:Skins resized"}));
}

// Without an answerer real message boxes come up: Yes/No for questions, OK
// for notices.
TEST_F(QtPromptsTest, RealBoxesAnswerWithTheirButtons) {
  struct Click {
    QMessageBox::StandardButton Button;
    QString Text;
    QMessageBox::StandardButtons Offered;
  };
  std::vector<Click> clicks;
  auto clickNext = [&](QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [&clicks, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      clicks.push_back({button, box->text(), box->standardButtons()});
      box->button(button)->click();
    });
  };
  clickNext(QMessageBox::Yes);
  EXPECT_TRUE(Prompts().Confirm("Delete object 'torch'", "Confirm"));
  clickNext(QMessageBox::No);
  EXPECT_FALSE(Prompts().Confirm("Delete object 'torch'", "Confirm"));
  clickNext(QMessageBox::Ok);
  Prompts().Information("Done", "");
  ASSERT_EQ(clicks.size(), 3u);
  EXPECT_EQ(clicks[0].Text, "Delete object 'torch'");
  EXPECT_EQ(clicks[0].Offered, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(clicks[2].Text, "Done");
  EXPECT_EQ(clicks[2].Offered, QMessageBox::StandardButtons(QMessageBox::Ok));
}

}  // namespace
