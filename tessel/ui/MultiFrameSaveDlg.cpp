#include "tessel/ui/MultiFrameSaveDlg.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "exchange/TriangleFiler.h"
#include "tessel/ui/SceneViewer.h"

TMultiFrameSaveDlg::TMultiFrameSaveDlg(QWidget* parent)
    : QDialog(parent),
      NameLabel_(new QLabel(this)),
      FolderLabel_(new QLabel(this)),
      SelectBtn_(new QPushButton("Select", this)),
      SaveBtn_(new QPushButton("Save", this)),
      CurrentBtn_(new QRadioButton("Current Scene", this)),
      AllBtn_(new QRadioButton("All Scenes", this)),
      FormatBox_(new QComboBox(this)) {
  setObjectName("MultiFrameSaveDlg");
  setWindowTitle("Export Multiple Frames");
  // The export filter is "Desc|*.EXT|Desc|*.EXT...": descriptions for the
  // list, extensions for the files.
  const QStringList parts = QString::fromStdString(TTriangleFiler::Instance().GetExportFilter()).split('|');
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    FormatBox_->addItem(parts[i]);
    QString ext = parts[i + 1].section(';', 0, 0).trimmed();
    ext.remove('*');
    Extensions_ << ext.toUpper();
  }
  FormatBox_->setCurrentIndex(0);
  CurrentBtn_->setChecked(true);
  SaveBtn_->setEnabled(false);
  SaveBtn_->setDefault(true);

  auto* fileBox = new QGroupBox("File &name", this);
  auto* fileLayout = new QFormLayout(fileBox);
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(NameLabel_, 1);
  nameRow->addWidget(SelectBtn_);
  fileLayout->addRow(nameRow);
  fileLayout->addRow(FolderLabel_);
  auto* rangeBox = new QGroupBox("Export &range", this);
  auto* rangeLayout = new QVBoxLayout(rangeBox);
  rangeLayout->addWidget(CurrentBtn_);
  rangeLayout->addWidget(AllBtn_);
  auto* formatBox = new QGroupBox("Frame &format", this);
  auto* formatLayout = new QVBoxLayout(formatBox);
  formatLayout->addWidget(FormatBox_);
  auto* cancel = new QPushButton("Cancel", this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(SaveBtn_);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fileBox);
  layout->addWidget(rangeBox);
  layout->addWidget(formatBox);
  layout->addLayout(buttons);

  connect(SelectBtn_, &QPushButton::clicked, this, &TMultiFrameSaveDlg::Select);
  connect(SaveBtn_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TMultiFrameSaveDlg::SetFileName(const QString& name) {
  FileName_ = name;
  const QFileInfo info(name);
  NameLabel_->setText(info.fileName());
  FolderLabel_->setText(name.isEmpty() ? QString() : info.absolutePath());
  SaveBtn_->setEnabled(!name.isEmpty());
}

void TMultiFrameSaveDlg::Select() {
  const QString name = TSceneViewer::AskFileName(this, "Export Multiple Frames", "Multiple Frames (FRS) (*.FRS *.frs)", "FRS", true);
  if (!name.isEmpty()) SetFileName(name);
}

bool TMultiFrameSaveDlg::AllScenes() const { return AllBtn_->isChecked(); }

QString TMultiFrameSaveDlg::Extension() const {
  const int i = FormatBox_->currentIndex();
  return i >= 0 && i < Extensions_.size() ? Extensions_[i] : QString(".DXF");
}
