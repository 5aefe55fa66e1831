#include "widgets/FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

namespace {

QString DefaultAskOpen(QWidget* parent, const QString& title, const QString& start, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, title, start, filter);
}

QString DefaultAskSave(QWidget* parent, const QString& title, const QString& start, const QString& filter) {
  return QFileDialog::getSaveFileName(parent, title, start, filter);
}

TFileDialogs::TAnswer DefaultAskSaveChanges(QWidget* parent, const QString& text) {
  const QString caption = parent ? parent->window()->windowTitle() : QString();
  switch (QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                QMessageBox::Yes)) {
    case QMessageBox::Yes: return TFileDialogs::aYes;
    case QMessageBox::No: return TFileDialogs::aNo;
    default: return TFileDialogs::aCancel;
  }
}

}  // namespace

TFileDialogs::TFileDialogs(QWidget* parent)
    : QObject(parent), AskOpenFileName(DefaultAskOpen), AskSaveFileName(DefaultAskSave),
      AskSaveChanges(DefaultAskSaveChanges) {}

TFileDialogs::~TFileDialogs() = default;

QWidget* TFileDialogs::ParentWidget() const { return qobject_cast<QWidget*>(parent()); }

void TFileDialogs::SetExtension(const QString& extension) { Extension_ = extension; }

void TFileDialogs::SetDescription(const QString& description) { Description_ = description.left(40); }

QString TFileDialogs::Filter() const {
  if (Extension_.isEmpty()) return Description_ + " Files (*)";
  QString patterns = "*." + Extension_;
  if (Extension_.toLower() != Extension_) patterns += " *." + Extension_.toLower();
  if (Extension_.toUpper() != Extension_) patterns += " *." + Extension_.toUpper();
  return Description_ + " Files (" + patterns + ")";
}

void TFileDialogs::SetFileName(const QString& name) {
  if (name == FileName_) return;
  FileName_ = name;
  if (OnFileNameChange) OnFileNameChange(this);
}

bool TFileDialogs::QueryModified() {
  bool modified = false;
  if (OnCheckModified) OnCheckModified(this, modified);
  if (!modified) return true;
  switch (AskSaveChanges(ParentWidget(), SaveQuestion())) {
    case aYes: return Save() == kDone;
    case aNo: return true;
    case aCancel:
    default: return false;
  }
}

int TFileDialogs::CanClose() { return QueryModified() ? kDone : kCancelled; }

int TFileDialogs::New() {
  if (!QueryModified()) return kCancelled;
  if (OnClear) OnClear(this);
  SetFileName(QString());
  return kDone;
}

int TFileDialogs::Open() {
  if (!QueryModified()) return kCancelled;
  const QString name = AskOpenFileName(ParentWidget(), OpenTitle(), StartName(), Filter());
  if (name.isEmpty()) return kCancelled;
  Load(name);
  return kDone;
}

int TFileDialogs::OpenFile(const QString& name) {
  if (!QueryModified()) return kCancelled;
  Load(name);
  return kDone;
}

void TFileDialogs::Load(const QString& name) {
  const QString old = FileName_;
  SetFileName(name);
  try {
    if (OnLoad) OnLoad(this, name);
  } catch (...) {
    // A load that fails leaves the document it would have replaced, so the
    // name goes back to that document's.
    SetFileName(old);
    throw;
  }
}

int TFileDialogs::Save() {
  if (FileName_.isEmpty()) return SaveAs();
  if (OnStore) OnStore(this, FileName_);
  return kDone;
}

int TFileDialogs::SaveAs() {
  QString name = AskSaveFileName(ParentWidget(), SaveTitle(), StartName(), Filter());
  if (name.isEmpty()) return kCancelled;
  // A name typed without extension gets the document's own.
  if (!Extension_.isEmpty() && QFileInfo(name).suffix().isEmpty()) name += "." + Extension_.toLower();
  if (OnStore) OnStore(this, name);
  SetFileName(name);
  return kDone;
}
