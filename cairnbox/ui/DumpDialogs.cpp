#include "cairnbox/ui/DumpDialogs.h"

#include <QFont>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringList>

#include "widgets/HexDump.h"

namespace {

constexpr int kClientWidth = 622;
constexpr int kClientHeight = 443;

QFont DumpFont() {
  QFont f("Courier New", 8);
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  return f;
}

// Fixed size, centred on the screen, an OK button under the view.
QPushButton* SetUpDumpDialog(QDialog* dialog, const QString& caption) {
  dialog->setWindowTitle(caption);
  dialog->setFixedSize(kClientWidth, kClientHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    dialog->move((area.width() - kClientWidth) / 2, (area.height() - kClientHeight) / 2);
  }
  auto* ok = new QPushButton("OK", dialog);
  ok->setObjectName("OK");
  ok->setDefault(true);
  ok->setGeometry((kClientWidth - 75) / 2, 414, 75, 25);
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  return ok;
}

}  // namespace

THexViewDialog::THexViewDialog(std::vector<uint8_t> bytes, QWidget* parent) : QDialog(parent), Bytes_(std::move(bytes)) {
  OK = SetUpDumpDialog(this, "HexDump");
  Dump = new THexDump(this);
  Dump->setObjectName("Dump");
  Dump->setGeometry(1, 1, 620, 410);
  Dump->setFont(DumpFont());
  Dump->SetShowAddress(false);
  Dump->SetData(Bytes_.empty() ? nullptr : Bytes_.data());
  Dump->SetDataSize(static_cast<int64_t>(Bytes_.size()));
  Dump->setFocus();
}

QStringList TTextViewDialog::TextLines(const std::vector<uint8_t>& bytes) {
  QStringList lines;
  QString line;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const uint8_t b = bytes[i];
    if (b == '\r' || b == '\n') {
      lines << line;
      line.clear();
      if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      line += QChar(b == 0 ? ' ' : static_cast<char16_t>(b));
    }
  }
  if (!line.isEmpty()) lines << line;
  return lines;
}

TTextViewDialog::TTextViewDialog(const std::vector<uint8_t>& bytes, QWidget* parent) : QDialog(parent) {
  OK = SetUpDumpDialog(this, "TextDump");
  Memo = new QPlainTextEdit(this);
  Memo->setObjectName("Memo");
  Memo->setGeometry(1, 1, 620, 410);
  Memo->setFont(DumpFont());
  Memo->setReadOnly(true);
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setPlainText(TextLines(bytes).join('\n'));
}
