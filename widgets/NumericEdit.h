#pragma once
// Single-line edit fields that only ever hold a number or a number in the
// making. Every change the line edit can make (typing, paste, cut, delete,
// backspace, drag and drop, undo, the context menu, insert()) is checked
// against the text it would produce, the candidate, and refused when the
// candidate is not valid; the text then stays as it was.
//
// Numbers always use "." as decimal separator, whatever the locale.
//
// FormatString is a printf picture with exactly one floating-point
// conversion and nothing else: flags from "-+#0", an optional width and
// precision (each at most 99), and one of f F e E g G, e.g. "%.2f" or "%g".
// Blanks a width pads with are trimmed. The integer fields show their
// integer through the same picture (as a double); when that does not give
// an integer text, the plain integer is shown. A picture outside these
// rules is replaced by the field's default ("%g" for TRealEdit, "%.0f" for
// the integer fields).

#include <QLineEdit>
#include <QString>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>

class QMenu;

// What the three kinds share: the candidate check, the accepted keys and
// the clipboard commands.
class TNumberEdit : public QLineEdit {
  Q_OBJECT

public:
  // Shows the information boxes ("No text on the Clipboard"). Defaults to
  // QMessageBox::information; tests replace it to observe the message.
  static std::function<void(QWidget* parent, const QString& text)> ShowInformation;

  // The text the edit in progress would produce (the last one checked).
  const QString& CandidateText() const { return Candidate_; }
  // True when the candidate is empty, a lone sign, or converts to a number
  // of this field's kind.
  bool IsValidCandidate() const { return IsValidCandidate(Candidate_); }
  virtual bool IsValidCandidate(const QString& candidate) const = 0;
  // Whether a typed character may enter this field at all.
  virtual bool AcceptsChar(QChar c) const = 0;

  const QString& FormatString() const { return FormatString_; }
  // A picture outside the rules above falls back to the default. Writes
  // Value back to itself.
  void SetFormatString(const QString& format);
  bool Validate() const { return Validate_; }
  // Writes Value back to itself, so the text is clamped and re-formatted.
  void SetValidate(bool validate);
  // Select the whole text when the field is entered with the keyboard.
  bool AutoSelect() const { return AutoSelect_; }
  void SetAutoSelect(bool autoSelect) { AutoSelect_ = autoSelect; }

  // The clipboard commands of Ctrl+C, Ctrl+V and Ctrl+X (and of the
  // context menu): paste and cut are refused when their candidate is not
  // valid; paste with no text on the clipboard says so.
  void CopySelection();
  void PasteClipboard();
  void CutSelection();

  // Is `format` a picture the fields accept?
  static bool IsValidFormat(const QString& format);
  // `value` through `format` with "." as decimal separator (blanks trimmed).
  static QString FormatNumber(const QString& format, double value);

  // The standard context menu with its cut and paste going through the
  // checks above. The caller owns it.
  QMenu* CreateContextMenu();

protected:
  TNumberEdit(const QString& defaultFormat, QWidget* parent);

  // Re-shows the current value: clamped when Validate is set, formatted.
  virtual void Reformat() = 0;
  // Re-clamps a typed value that left the range, when Validate is set.
  virtual void ClampTyped() = 0;
  virtual void TextChanged() = 0;

  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

  // The text with the selection (or nothing at the cursor) replaced by
  // `inserted`.
  QString ReplaceSelection(const QString& inserted) const;

private:
  class Checker;
  friend class Checker;

  void CheckText();

  QString Candidate_;
  QString FormatString_;
  QString DefaultFormat_;
  bool Validate_ = false;
  bool AutoSelect_ = true;
};

// Floating-point values.
class TRealEdit : public TNumberEdit {
  Q_OBJECT

public:
  explicit TRealEdit(QWidget* parent = nullptr);

  bool IsValidCandidate(const QString& candidate) const override;
  using TNumberEdit::IsValidCandidate;
  bool AcceptsChar(QChar c) const override;

  // 0 for an empty text; MinValue for a text that does not convert ("-").
  double Value() const;
  // Clamped to the range when Validate is set; NaN counts as 0 and the
  // infinities as the largest finite numbers.
  void SetValue(double value);
  double MinValue() const { return MinValue_; }
  void SetMinValue(double value) { MinValue_ = value; }
  double MaxValue() const { return MaxValue_; }
  void SetMaxValue(double value) { MaxValue_ = value; }

  // The text as a number: a whole number, or nothing (also for the texts
  // in the making, such as "-", "1e" or ".").
  static std::optional<double> ParseReal(const QString& text);

signals:
  void valueChanged(double value);

protected:
  void Reformat() override { SetValue(Value()); }
  void ClampTyped() override;
  void TextChanged() override;

private:
  double MinValue_ = 0;
  double MaxValue_ = 0;
  double LastValue_ = 0;
};

// Signed 32-bit integers.
class TIntegerEdit : public TNumberEdit {
  Q_OBJECT

public:
  explicit TIntegerEdit(QWidget* parent = nullptr);

  bool IsValidCandidate(const QString& candidate) const override;
  using TNumberEdit::IsValidCandidate;
  bool AcceptsChar(QChar c) const override;

  // 0 for an empty text; MinValue for a text that does not convert ("-").
  int32_t Value() const;
  // Clamped to the range when Validate is set; a cardinal field shows 0
  // for a negative value.
  void SetValue(int32_t value);
  int32_t MinValue() const { return MinValue_; }
  void SetMinValue(int32_t value) { MinValue_ = value; }
  int32_t MaxValue() const { return MaxValue_; }
  void SetMaxValue(int32_t value) { MaxValue_ = value; }

  // An optional sign and digits that fit into 32 bits; nothing otherwise.
  static std::optional<int32_t> ParseInteger(const QString& text);

signals:
  void valueChanged(int value);

protected:
  void Reformat() override { SetValue(Value()); }
  void ClampTyped() override;
  void TextChanged() override;
  // The smallest value the field can show at all.
  virtual int32_t LowestValue() const { return std::numeric_limits<int32_t>::min(); }

private:
  int32_t MinValue_ = 0;
  int32_t MaxValue_ = 0;
  int32_t LastValue_ = 0;
};

// Non-negative integers: digits only, no sign, not even from the clipboard.
class TCardinalEdit : public TIntegerEdit {
  Q_OBJECT

public:
  explicit TCardinalEdit(QWidget* parent = nullptr) : TIntegerEdit(parent) {}

  bool IsValidCandidate(const QString& candidate) const override;
  using TNumberEdit::IsValidCandidate;
  bool AcceptsChar(QChar c) const override;

protected:
  int32_t LowestValue() const override { return 0; }
};

// The names the program's dialogs use.
class TEditReal : public TRealEdit {
  Q_OBJECT

public:
  using TRealEdit::TRealEdit;
};

class TEditInteger : public TIntegerEdit {
  Q_OBJECT

public:
  using TIntegerEdit::TIntegerEdit;
};

class TEditCardinal : public TCardinalEdit {
  Q_OBJECT

public:
  using TCardinalEdit::TCardinalEdit;
};
