#include "tessel/ui/QtPrompts.h"

#include <QMessageBox>

TQtPrompts::TAnswerer TQtPrompts::Answerer;

namespace {

QString Caption(const std::string& caption) {
  return caption.empty() ? QStringLiteral("Tessel") : QString::fromStdString(caption);
}

}  // namespace

void TQtPrompts::Information(const std::string& text, const std::string& caption) {
  if (Answerer) {
    Answerer(TKind::Information, text, caption);
    return;
  }
  QMessageBox::information(Parent_, Caption(caption), QString::fromStdString(text), QMessageBox::Ok);
}

bool TQtPrompts::Confirm(const std::string& text, const std::string& caption) {
  if (Answerer) return Answerer(TKind::Confirm, text, caption);
  return QMessageBox::question(Parent_, Caption(caption), QString::fromStdString(text),
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}
