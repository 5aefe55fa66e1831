#include "tessel/ui/ProgressForm.h"

#include <algorithm>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "widgets/Cursors.h"

namespace {

// The cursor the progressor last set, and whether an override of ours is
// on Qt's stack (we only ever keep one there and change it in place).
TCursor gQtCursor = crDefault;
bool gOverridden = false;

void SetQtCursor(TCursor cursor) {
  gQtCursor = cursor;
  if (cursor == crDefault) {
    if (gOverridden) QApplication::restoreOverrideCursor();
    gOverridden = false;
    return;
  }
  const QCursor qc = ToolCursor(cursor);
  if (gOverridden) {
    QApplication::changeOverrideCursor(qc);
  } else {
    QApplication::setOverrideCursor(qc);
    gOverridden = true;
  }
}

}  // namespace

void InstallQtCursorHook() {
  SetScreenCursorHook({[] { return gQtCursor; }, SetQtCursor});
}

void RemoveQtCursorHook() {
  SetQtCursor(crDefault);
  SetScreenCursorHook({});
}

TProgressForm::TProgressForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowTitleHint) {
  setWindowTitle("Loading...");
  setObjectName("ProgressForm");
  auto* layout = new QVBoxLayout(this);
  MainLabel_ = new QLabel(this);
  MainBar_ = new QProgressBar(this);
  DetailLabel_ = new QLabel(this);
  DetailBar_ = new QProgressBar(this);
  for (QProgressBar* bar : {MainBar_, DetailBar_}) {
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
  }
  // Long file names must not make the window grow across the screen.
  MainLabel_->setMinimumWidth(320);
  MainLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  DetailLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addWidget(MainLabel_);
  layout->addWidget(MainBar_);
  layout->addSpacing(6);
  layout->addWidget(DetailLabel_);
  layout->addWidget(DetailBar_);
  ClearLines();

  Observer_.OnStart = [this](TProgressObserver*) { Started(); };
  Observer_.OnDescriptionChange = [this](TProgressObserver*) { DescriptionChanged(); };
  Observer_.OnProgressChange = [this](TProgressObserver*) { ProgressChanged(); };
  Observer_.OnFinish = [this](TProgressObserver*) { Finished(); };
  InstallQtCursorHook();
}

TProgressForm::~TProgressForm() {
  Observer_.Enabled = false;
  RemoveQtCursorHook();
}

void TProgressForm::ClearLines() {
  MainLabel_->clear();
  DetailLabel_->clear();
  MainBar_->setValue(0);
  DetailBar_->setValue(0);
  DetailLast_ = false;
}

void TProgressForm::Started() {
  show();
  raise();
  Pump();
}

void TProgressForm::DescriptionChanged() {
  const std::string& d = Progressor().Description();
  if (!d.empty() && d[0] == '>') {
    DetailLabel_->setText(QString::fromStdString(d.substr(1)));
    DetailLast_ = true;
  } else {
    MainLabel_->setText(QString::fromStdString(d));
    DetailLabel_->clear();
    DetailBar_->setValue(0);
    DetailLast_ = false;
  }
  Pump();
}

void TProgressForm::ProgressChanged() {
  const int p = std::clamp<int32_t>(Progressor().Position(), 0, 100);
  (DetailLast_ ? DetailBar_ : MainBar_)->setValue(p);
  Pump();
}

void TProgressForm::Finished() {
  hide();
  ClearLines();
  Pump();
}

void TProgressForm::Pump() {
  // Input stays queued: a click must not start another operation inside
  // this one.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
