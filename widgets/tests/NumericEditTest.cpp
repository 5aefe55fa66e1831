// The numeric edit fields: what typing, deleting, the clipboard and the
// program may put into them, and how Value reads, writes and clamps.

#include "widgets/NumericEdit.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <clocale>
#include <cmath>
#include <memory>
#include <string>

namespace {

enum class TKind { Real, Integer, Cardinal };

std::unique_ptr<TNumberEdit> MakeEdit(TKind kind) {
  switch (kind) {
    case TKind::Real: return std::make_unique<TEditReal>();
    case TKind::Integer: return std::make_unique<TEditInteger>();
    default: return std::make_unique<TEditCardinal>();
  }
}

// Records the information boxes instead of showing them.
struct InformationRecorder {
  InformationRecorder() {
    Saved = TNumberEdit::ShowInformation;
    TNumberEdit::ShowInformation = [this](QWidget*, const QString& text) { Messages << text; };
  }
  ~InformationRecorder() { TNumberEdit::ShowInformation = Saved; }
  QStringList Messages;
  std::function<void(QWidget*, const QString&)> Saved;
};

QAction* MenuAction(const QMenu& menu, const char* caption) {
  for (QAction* action : menu.actions())
    if (action->text().section('\t', 0, 0) == caption) return action;
  return nullptr;
}

struct TypingCase {
  TKind Kind;
  const char* Start;
  const char* Typed;
  const char* Expected;
};

TEST(NumericEditTest, TypingKeepsOnlyNumbersInTheMaking) {
  const TypingCase cases[] = {
      {TKind::Real, "", "-", "-"},
      {TKind::Real, "1.5", ".", "1.5"},
      {TKind::Real, "", "-1.5e-3", "-1.5e-3"},
      {TKind::Real, "", ".5", ".5"},
      {TKind::Real, "", "1,5", "15"},
      {TKind::Real, "", "x1 2", "12"},
      {TKind::Real, "", "1e999", "1e99"},
      {TKind::Real, "", "inf", ""},
      {TKind::Real, "", "1e5e", "1e5"},
      {TKind::Integer, "", "+12", "+12"},
      {TKind::Integer, "", "--3", "-3"},
      {TKind::Integer, "", "1.5e2", "152"},
      {TKind::Integer, "", "99999999999", "999999999"},
      {TKind::Integer, "", "-2147483648", "-2147483648"},
      {TKind::Integer, "", "2147483648", "214748364"},
      {TKind::Cardinal, "", "-", ""},
      {TKind::Cardinal, "", "12+3-4", "1234"},
      {TKind::Cardinal, "", "3000000000", "300000000"},
  };
  for (const TypingCase& c : cases) {
    auto edit = MakeEdit(c.Kind);
    edit->setText(c.Start);
    edit->setCursorPosition(edit->text().size());
    QTest::keyClicks(edit.get(), c.Typed);
    EXPECT_EQ(edit->text().toStdString(), c.Expected) << "typing " << c.Typed << " after " << c.Start;
  }
}

TEST(NumericEditTest, DeletionsThatBreakTheNumberAreRefused) {
  struct Case {
    const char* Start;
    int Cursor;
    Qt::Key Key;
    const char* Expected;
  } const cases[] = {
      {"1e5", 1, Qt::Key_Backspace, "1e5"},  // would leave "e5"
      {"1e5", 0, Qt::Key_Delete, "1e5"},
      {"1e5", 3, Qt::Key_Backspace, "1e"},
      {"-5", 2, Qt::Key_Backspace, "-"},
      {"1.5", 2, Qt::Key_Backspace, "15"},
  };
  for (const Case& c : cases) {
    TRealEdit edit;
    edit.setText(c.Start);
    edit.setCursorPosition(c.Cursor);
    QTest::keyClick(&edit, c.Key);
    EXPECT_EQ(edit.text().toStdString(), c.Expected) << c.Start << " at " << c.Cursor;
  }
}

TEST(NumericEditTest, PasteChecksTheCandidateWhicheverWayItComes) {
  InformationRecorder info;
  TIntegerEdit edit;
  // The menu enables Paste by what the clipboard holds when it opens.
  auto menuPaste = [&] {
    std::unique_ptr<QMenu> menu(edit.CreateContextMenu());
    QAction* paste = MenuAction(*menu, "&Paste");
    ASSERT_NE(paste, nullptr);
    paste->trigger();
  };
  using Paste = std::function<void()>;
  const std::pair<const char*, Paste> ways[] = {
      {"Ctrl+V", [&] { QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier); }},
      {"Shift+Insert", [&] { QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier); }},
      {"context menu", menuPaste},
      {"QLineEdit::paste", [&] { edit.paste(); }},
  };
  for (const auto& [name, paste] : ways) {
    edit.setText("12");
    edit.setCursorPosition(2);
    QApplication::clipboard()->setText("abc");
    paste();
    EXPECT_EQ(edit.text(), "12") << name;
    QApplication::clipboard()->setText("34");
    paste();
    EXPECT_EQ(edit.text(), "1234") << name;
    edit.selectAll();
    QApplication::clipboard()->setText("-7");
    paste();
    EXPECT_EQ(edit.text(), "-7") << name;
  }
  EXPECT_TRUE(info.Messages.isEmpty());

  QApplication::clipboard()->clear();
  QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(info.Messages, QStringList{"No text on the Clipboard"});
  EXPECT_EQ(edit.text(), "-7");
}

TEST(NumericEditTest, ProgramAndDropCannotSlipInANonNumber) {
  TRealEdit edit;
  edit.setText("2.5");
  edit.setCursorPosition(3);
  edit.insert("x");
  EXPECT_EQ(edit.text(), "2.5");
  edit.insert("0");
  EXPECT_EQ(edit.text(), "2.50");

  QMimeData data;
  data.setText("e-");
  QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&edit, &drop);
  EXPECT_EQ(edit.text(), "2.50");

  // A text set by the program is checked as well.
  edit.setText("abc");
  EXPECT_EQ(edit.text(), "");
  TCardinalEdit cardinal;
  cardinal.setText("-3");
  EXPECT_EQ(cardinal.text(), "");
  cardinal.setText("+3");
  EXPECT_EQ(cardinal.text(), "");
}

TEST(NumericEditTest, CutOnlyWhenTheRestIsANumber) {
  TRealEdit edit;
  QApplication::clipboard()->setText("before");
  edit.setText("1e5");
  edit.setSelection(0, 1);
  QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(edit.text(), "1e5");
  EXPECT_EQ(QApplication::clipboard()->text(), "before");

  {
    std::unique_ptr<QMenu> menu(edit.CreateContextMenu());
    QAction* menuCut = MenuAction(*menu, "Cu&t");
    ASSERT_NE(menuCut, nullptr);
    menuCut->trigger();
    EXPECT_EQ(edit.text(), "1e5");
    EXPECT_EQ(QApplication::clipboard()->text(), "before");
  }

  edit.setSelection(1, 2);
  QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(edit.text(), "1");
  EXPECT_EQ(QApplication::clipboard()->text(), "e5");

  edit.setText("25");
  edit.selectAll();
  QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "25");
  EXPECT_EQ(edit.text(), "25");

  // Without a selection there is nothing to cut.
  edit.setCursorPosition(1);
  QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(edit.text(), "25");
  EXPECT_EQ(QApplication::clipboard()->text(), "25");
}

TEST(NumericEditTest, ValueReadsTheText) {
  TRealEdit real;
  real.SetMinValue(-4);
  EXPECT_EQ(real.Value(), 0);
  real.setText("-");
  EXPECT_EQ(real.Value(), -4);
  real.setText("1e");
  EXPECT_EQ(real.Value(), -4);
  real.setText("+2.5e1");
  EXPECT_EQ(real.Value(), 25);
  real.setText("1.");
  EXPECT_EQ(real.Value(), 1);

  TIntegerEdit integer;
  integer.SetMinValue(3);
  EXPECT_EQ(integer.Value(), 0);
  integer.setText("+");
  EXPECT_EQ(integer.Value(), 3);
  integer.setText("-2147483648");
  EXPECT_EQ(integer.Value(), INT32_MIN);
}

TEST(NumericEditTest, WritingValueClampsAndFormats) {
  TRealEdit real;
  real.SetFormatString("%.2f");
  real.SetMinValue(0);
  real.SetMaxValue(10);
  real.SetValue(12);
  EXPECT_EQ(real.text(), "12.00");  // no clamping without Validate
  real.SetValidate(true);
  EXPECT_EQ(real.text(), "10.00");  // Validate re-clamps the shown value
  real.SetValue(-3);
  EXPECT_EQ(real.text(), "0.00");
  real.SetMaxValue(5);
  EXPECT_EQ(real.text(), "0.00");
  real.SetValue(7.125);
  EXPECT_EQ(real.text(), "5.00");
  real.SetFormatString("%.1e");
  EXPECT_EQ(real.text(), "5.0e+00");
  real.SetFormatString("%s");  // not a number picture: the default
  EXPECT_EQ(real.FormatString(), "%g");
  EXPECT_EQ(real.text(), "5");
  real.SetValidate(false);
  real.SetValue(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(real.text(), "0");
  real.SetValue(-std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isfinite(real.Value()));
  EXPECT_LT(real.Value(), -1e308);

  TIntegerEdit integer;
  integer.SetValue(42);
  EXPECT_EQ(integer.text(), "42");
  integer.SetFormatString("%05.0f");
  EXPECT_EQ(integer.text(), "00042");
  integer.SetFormatString("%.2f");  // no integer text: the plain integer
  EXPECT_EQ(integer.text(), "42");
  integer.SetMinValue(-5);
  integer.SetMaxValue(5);
  integer.SetValidate(true);
  EXPECT_EQ(integer.Value(), 5);
  integer.SetValue(INT32_MIN);
  EXPECT_EQ(integer.Value(), -5);

  TCardinalEdit cardinal;
  cardinal.SetValue(-9);
  EXPECT_EQ(cardinal.text(), "0");
}

TEST(NumericEditTest, PicturesAreCheckedBeforePrinting) {
  const std::pair<const char*, bool> pictures[] = {
      {"%g", true},   {"%.2f", true},  {"%+08.3e", true}, {"%#G", true}, {"%s", false},
      {"%d", false},  {"x%g", false},  {"%g%g", false},   {"%.100f", false},
      {"%999f", false}, {"%n", false}, {"", false},       {"%% %g", false},
  };
  for (const auto& [picture, valid] : pictures)
    EXPECT_EQ(TNumberEdit::IsValidFormat(picture), valid) << picture;
}

TEST(NumericEditTest, DecimalPointWhateverTheLocale) {
  const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  TRealEdit edit;
  edit.SetFormatString("%.2f");
  edit.SetValue(1.5);
  EXPECT_EQ(edit.text(), "1.50");
  EXPECT_EQ(edit.Value(), 1.5);
  std::setlocale(LC_NUMERIC, "C");
  if (!german) GTEST_SKIP() << "no German locale here; checked under C only";
}

TEST(NumericEditTest, ValueChangedFollowsTheNumber) {
  TRealEdit real;
  QSignalSpy realSpy(&real, &TRealEdit::valueChanged);
  QTest::keyClicks(&real, "1.50");
  // "1", "1." and "1.5" change the value; "1.50" does not.
  ASSERT_EQ(realSpy.count(), 2);
  EXPECT_EQ(realSpy.at(1).at(0).toDouble(), 1.5);

  TEditInteger integer;
  QSignalSpy intSpy(&integer, &TIntegerEdit::valueChanged);
  integer.SetValue(7);
  integer.SetValue(7);
  ASSERT_EQ(intSpy.count(), 1);
  EXPECT_EQ(intSpy.at(0).at(0).toInt(), 7);
}

TEST(NumericEditTest, TypedValueOutOfRangeIsClampedWhenEditingEnds) {
  TIntegerEdit edit;
  edit.SetMinValue(1);
  edit.SetMaxValue(100);
  edit.SetValidate(true);
  edit.clear();
  QTest::keyClicks(&edit, "250");
  EXPECT_EQ(edit.text(), "250");
  QTest::keyClick(&edit, Qt::Key_Return);
  EXPECT_EQ(edit.text(), "100");
}

}  // namespace
