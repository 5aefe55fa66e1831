#include "tessel/ui/OptionsDialog.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "tessel/ui/ModelViewerOptions.h"

TOptionsDialog::TOptionsDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("OptionsDialog");
  setWindowTitle("Options");
  auto* layout = new QVBoxLayout(this);
  Pages_ = new QTabWidget(this);
  General_ = new TModelViewerOptions(Pages_);
  Pages_->addTab(General_, "General Options");
  layout->addWidget(Pages_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void TOptionsDialog::AddPage(QWidget* page, const QString& caption) { Pages_->addTab(page, caption); }
