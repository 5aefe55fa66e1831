#include "tessel/ui/JointsEditDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"

namespace {
const char* const kChannelNames[TPivot::kChannels] = {"TX", "TY", "TZ", "RX", "RY", "RZ", "SX", "SY", "SZ"};

TMDLObject* ObjectOf(int index) {
  TMDLEditor& e = TMDLEditor::Instance();
  return e.IsValid() && index >= 0 && index < e.Model->Objects->Count() ? &e.Model->Objects->Object(index) : nullptr;
}
}  // namespace

TJointsEditDlg::TJointsEditDlg(int object, QWidget* parent) : QDialog(parent), Object_(object) {
  setObjectName("JointsEditDlg");
  setWindowTitle("Edit Joints");
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Is Joint", this), 0, 1);
  grid->addWidget(new QLabel("Joint Name", this), 0, 2);
  for (int c = 0; c < TPivot::kChannels; ++c) {
    grid->addWidget(new QLabel(kChannelNames[c], this), c + 1, 0);
    Chk_[c] = new QCheckBox(this);
    Chk_[c]->setObjectName(QString(kChannelNames[c]) + "Chk");
    Edt_[c] = new QLineEdit(this);
    Edt_[c]->setObjectName(QString(kChannelNames[c]) + "Edt");
    grid->addWidget(Chk_[c], c + 1, 1);
    grid->addWidget(Edt_[c], c + 1, 2);
    connect(Chk_[c], &QCheckBox::toggled, this, [this, c](bool on) {
      if (Filling_) return;
      if (TMDLObject* o = ObjectOf(Object_)) o->IsJoint[c] = on;
    });
    connect(Edt_[c], &QLineEdit::textChanged, this, [this, c](const QString& text) {
      if (Filling_) return;
      if (TMDLObject* o = ObjectOf(Object_)) o->JointNames[c] = text.toStdString();
    });
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
  Fill();
  Step_.emplace(TMDLEditor::Instance(), "Edit Joints");
}

void TJointsEditDlg::Fill() {
  Filling_ = true;
  const TMDLObject* o = ObjectOf(Object_);
  for (int c = 0; c < TPivot::kChannels; ++c) {
    Chk_[c]->setChecked(o && o->IsJoint[c]);
    Edt_[c]->setText(o ? QString::fromStdString(o->JointNames[c]) : QString());
    Chk_[c]->setEnabled(o != nullptr);
    Edt_[c]->setEnabled(o != nullptr);
  }
  Filling_ = false;
}

void TJointsEditDlg::done(int result) {
  TMDLEditor& e = TMDLEditor::Instance();
  if (ObjectOf(Object_)) {
    e.Broadcast(&TMDLObserver::OnJointsChange);
    e.SetModified(true);
  }
  Step_.reset();
  QDialog::done(result);
}
