#include "widgets/NumericEdit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QValidator>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale.h>
#include <memory>
#include <string>

namespace {

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
bool IsSign(QChar c) { return c == QLatin1Char('+') || c == QLatin1Char('-'); }

// Where a real number's text stands: complete, a prefix that more typing can
// complete ("-", ".", "1e", "1e-"), or neither.
enum class TRealShape { Number, Making, Invalid };

TRealShape RealShape(const QString& t) {
  qsizetype i = 0;
  const qsizetype n = t.size();
  if (i < n && IsSign(t[i])) ++i;
  qsizetype digits = 0;
  while (i < n && IsDigit(t[i])) ++i, ++digits;
  if (i < n && t[i] == QLatin1Char('.')) {
    ++i;
    while (i < n && IsDigit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return i == n ? TRealShape::Making : TRealShape::Invalid;
  if (i == n) return TRealShape::Number;
  if (t[i] != QLatin1Char('e') && t[i] != QLatin1Char('E')) return TRealShape::Invalid;
  ++i;
  if (i < n && IsSign(t[i])) ++i;
  qsizetype expDigits = 0;
  while (i < n && IsDigit(t[i])) ++i, ++expDigits;
  if (i != n) return TRealShape::Invalid;
  return expDigits == 0 ? TRealShape::Making : TRealShape::Number;
}

// printf under the "C" numeric locale: the application runs under the
// user's locale, which may print "," as decimal separator.
std::string PrintCLocale(const std::string& format, double value) {
  static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  const locale_t previous = cLocale ? uselocale(cLocale) : static_cast<locale_t>(nullptr);
  std::string out;
  const int size = std::snprintf(nullptr, 0, format.c_str(), value);
  if (size > 0) {
    out.resize(static_cast<size_t>(size) + 1);
    std::snprintf(out.data(), out.size(), format.c_str(), value);
    out.resize(static_cast<size_t>(size));
  }
  if (cLocale) uselocale(previous);
  return out;
}

}  // namespace

// ---------------------------------------------------------------- TNumberEdit

// Lets the line edit itself refuse every change whose result is not valid,
// whichever way the change comes (keys, clipboard, drops, insert()).
class TNumberEdit::Checker : public QValidator {
public:
  explicit Checker(TNumberEdit* edit) : QValidator(edit), Edit_(edit) {}

  State validate(QString& input, int&) const override {
    Edit_->Candidate_ = input;
    return Edit_->IsValidCandidate(input) ? Acceptable : Invalid;
  }

private:
  TNumberEdit* Edit_;
};

std::function<void(QWidget*, const QString&)> TNumberEdit::ShowInformation =
    [](QWidget* parent, const QString& text) {
      QMessageBox::information(parent, QGuiApplication::applicationDisplayName(), text);
    };

TNumberEdit::TNumberEdit(const QString& defaultFormat, QWidget* parent)
    : QLineEdit(parent), FormatString_(defaultFormat), DefaultFormat_(defaultFormat) {
  setValidator(new Checker(this));
  connect(this, &QLineEdit::textChanged, this, [this] { CheckText(); });
  connect(this, &QLineEdit::editingFinished, this, [this] { ClampTyped(); });
}

// The validator only guards the user's edits; a text set by the program
// that is no number is not kept either.
void TNumberEdit::CheckText() {
  if (!IsValidCandidate(text())) {
    setText(QString());
    return;
  }
  TextChanged();
}

void TNumberEdit::SetFormatString(const QString& format) {
  FormatString_ = IsValidFormat(format) ? format : DefaultFormat_;
  Reformat();
}

void TNumberEdit::SetValidate(bool validate) {
  Validate_ = validate;
  Reformat();
}

bool TNumberEdit::IsValidFormat(const QString& format) {
  qsizetype i = 0;
  const qsizetype n = format.size();
  if (i >= n || format[i] != QLatin1Char('%')) return false;
  ++i;
  while (i < n && QStringView(u"-+#0").contains(format[i])) ++i;
  auto number = [&] {
    qsizetype digits = 0;
    while (i < n && IsDigit(format[i])) ++i, ++digits;
    return digits <= 2;
  };
  if (!number()) return false;
  if (i < n && format[i] == QLatin1Char('.')) {
    ++i;
    if (!number()) return false;
  }
  if (i + 1 != n) return false;
  return QStringView(u"fFeEgG").contains(format[i]);
}

QString TNumberEdit::FormatNumber(const QString& format, double value) {
  const QString picture = IsValidFormat(format) ? format : QStringLiteral("%g");
  return QString::fromStdString(PrintCLocale(picture.toStdString(), value)).trimmed();
}

QString TNumberEdit::ReplaceSelection(const QString& inserted) const {
  const QString t = text();
  if (hasSelectedText())
    return t.left(selectionStart()) + inserted + t.mid(selectionEnd());
  return t.left(cursorPosition()) + inserted + t.mid(cursorPosition());
}

void TNumberEdit::CopySelection() {
  if (hasSelectedText() && echoMode() == Normal) QGuiApplication::clipboard()->setText(selectedText());
}

void TNumberEdit::PasteClipboard() {
  const QString clip = QGuiApplication::clipboard()->text();
  if (clip.isEmpty()) {
    if (ShowInformation) ShowInformation(this, QStringLiteral("No text on the Clipboard"));
    return;
  }
  if (isReadOnly()) return;
  Candidate_ = ReplaceSelection(clip);
  if (IsValidCandidate(Candidate_)) insert(clip);
}

void TNumberEdit::CutSelection() {
  if (!hasSelectedText() || isReadOnly()) return;
  const QString t = text();
  Candidate_ = t.left(selectionStart()) + t.mid(selectionEnd());
  if (!IsValidCandidate(Candidate_)) return;
  CopySelection();
  del();
}

void TNumberEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelection();
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    PasteClipboard();
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::Cut)) {
    CutSelection();
    event->accept();
    return;
  }
  const QString typed = event->text();
  const bool command = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
  if (!command && !typed.isEmpty() && typed[0] >= QLatin1Char(' ') && typed[0] != QChar(0x7f)) {
    for (QChar c : typed) {
      if (!AcceptsChar(c)) {
        event->accept();
        return;
      }
    }
    // Keep the candidate of a refused keystroke too.
    Candidate_ = ReplaceSelection(typed);
  }
  QLineEdit::keyPressEvent(event);
}

// The standard menu's actions are known by their object names in newer Qt
// and by their (translated) captions before that.
static bool IsMenuAction(const QAction* action, const char* name, const char* caption) {
  return action->objectName() == QLatin1String(name) ||
         action->text().section(QLatin1Char('\t'), 0, 0) == QCoreApplication::translate("QLineEdit", caption);
}

QMenu* TNumberEdit::CreateContextMenu() {
  QMenu* menu = createStandardContextMenu();
  for (QAction* action : menu->actions()) {
    if (IsMenuAction(action, "edit-cut", "Cu&t")) {
      disconnect(action, &QAction::triggered, nullptr, nullptr);
      connect(action, &QAction::triggered, this, &TNumberEdit::CutSelection);
    } else if (IsMenuAction(action, "edit-paste", "&Paste")) {
      disconnect(action, &QAction::triggered, nullptr, nullptr);
      connect(action, &QAction::triggered, this, &TNumberEdit::PasteClipboard);
    }
  }
  return menu;
}

void TNumberEdit::contextMenuEvent(QContextMenuEvent* event) {
  std::unique_ptr<QMenu> menu(CreateContextMenu());
  menu->exec(event->globalPos());
}

void TNumberEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  const bool keyboard = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason ||
                        event->reason() == Qt::ShortcutFocusReason;
  if (!keyboard) return;
  if (AutoSelect_)
    selectAll();
  else
    deselect();
}

// ------------------------------------------------------------------ TRealEdit

TRealEdit::TRealEdit(QWidget* parent) : TNumberEdit(QStringLiteral("%g"), parent) {}

std::optional<double> TRealEdit::ParseReal(const QString& text) {
  if (RealShape(text) != TRealShape::Number) return std::nullopt;
  std::string s = text.toStdString();
  const char* first = s.data();
  const char* last = s.data() + s.size();
  if (*first == '+') ++first;
  double value = 0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool TRealEdit::IsValidCandidate(const QString& candidate) const {
  switch (RealShape(candidate)) {
    case TRealShape::Making: return true;
    case TRealShape::Number: return ParseReal(candidate).has_value();
    default: return false;
  }
}

bool TRealEdit::AcceptsChar(QChar c) const {
  return IsDigit(c) || QStringView(u"+-.Ee").contains(c);
}

double TRealEdit::Value() const {
  const QString t = text();
  if (t.isEmpty()) return 0;
  return ParseReal(t).value_or(MinValue_);
}

void TRealEdit::SetValue(double value) {
  constexpr double kMax = std::numeric_limits<double>::max();
  if (std::isnan(value)) value = 0;
  if (std::isinf(value)) value = value > 0 ? kMax : -kMax;
  if (Validate()) {
    if (value < MinValue_) value = MinValue_;
    if (value > MaxValue_) value = MaxValue_;
  }
  QString shown = FormatNumber(FormatString(), value);
  if (!ParseReal(shown)) shown = QString::number(value, 'g', 17);
  setText(shown);
}

void TRealEdit::ClampTyped() {
  const double v = Value();
  if (Validate() && (v < MinValue_ || v > MaxValue_)) SetValue(v);
}

void TRealEdit::TextChanged() {
  const double v = Value();
  if (v != LastValue_) {
    LastValue_ = v;
    emit valueChanged(v);
  }
}

// --------------------------------------------------------------- TIntegerEdit

TIntegerEdit::TIntegerEdit(QWidget* parent) : TNumberEdit(QStringLiteral("%.0f"), parent) {}

std::optional<int32_t> TIntegerEdit::ParseInteger(const QString& text) {
  if (text.isEmpty() || text.size() > 64) return std::nullopt;
  std::string s = text.toStdString();
  const char* first = s.data();
  const char* last = s.data() + s.size();
  if (*first == '+') ++first;
  // from_chars takes no '+', and a sign after the '+' is no number.
  if (first == last || (first != s.data() && *first == '-')) return std::nullopt;
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(first, last, value, 10);
  if (ec != std::errc() || end != last) return std::nullopt;
  return value;
}

bool TIntegerEdit::IsValidCandidate(const QString& candidate) const {
  if (candidate.isEmpty() || candidate == QLatin1String("-") || candidate == QLatin1String("+")) return true;
  return ParseInteger(candidate).has_value();
}

bool TIntegerEdit::AcceptsChar(QChar c) const { return IsDigit(c) || IsSign(c); }

int32_t TIntegerEdit::Value() const {
  const QString t = text();
  if (t.isEmpty()) return 0;
  return ParseInteger(t).value_or(MinValue_);
}

void TIntegerEdit::SetValue(int32_t value) {
  if (Validate()) {
    if (value < MinValue_) value = MinValue_;
    if (value > MaxValue_) value = MaxValue_;
  }
  if (value < LowestValue()) value = LowestValue();
  QString shown = FormatNumber(FormatString(), static_cast<double>(value));
  if (ParseInteger(shown) != value || !IsValidCandidate(shown)) shown = QString::number(value);
  setText(shown);
}

void TIntegerEdit::ClampTyped() {
  const int32_t v = Value();
  if (Validate() && (v < MinValue_ || v > MaxValue_)) SetValue(v);
}

void TIntegerEdit::TextChanged() {
  const int32_t v = Value();
  if (v != LastValue_) {
    LastValue_ = v;
    emit valueChanged(v);
  }
}

// -------------------------------------------------------------- TCardinalEdit

bool TCardinalEdit::IsValidCandidate(const QString& candidate) const {
  if (candidate.isEmpty()) return true;
  for (QChar c : candidate)
    if (!IsDigit(c)) return false;
  return ParseInteger(candidate).has_value();
}

bool TCardinalEdit::AcceptsChar(QChar c) const { return IsDigit(c); }
