#include "tessel/ui/FrameViewOptions.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "raster/ColorTables.h"
#include "tessel/ui/SelectColorDlg.h"
#include "widgets/NumericEdit.h"

TFrameViewerOptions::TFrameViewerOptions(QWidget* parent) : QWidget(parent) {
  setObjectName("FrameViewerOptions");
  setWindowTitle("Frame Viewer Options");
  auto* column = new QVBoxLayout(this);

  auto* rate = new QGroupBox("Framerate", this);
  auto* rl = new QFormLayout(rate);
  FrameRateSpin_ = new QSpinBox(rate);
  FrameRateSpin_->setObjectName("FrameRateSpin");
  FrameRateSpin_->setRange(1, 40);
  FrameRateSpin_->setSuffix(" fps");
  rl->addRow("Target", FrameRateSpin_);
  column->addWidget(rate);

  auto* back = new QGroupBox("Background Color", this);
  auto* bl = new QHBoxLayout(back);
  BackButton_ = new QPushButton(back);
  BackButton_->setObjectName("BackColorButton");
  bl->addWidget(BackButton_);
  bl->addStretch(1);
  column->addWidget(back);
  connect(BackButton_, &QPushButton::clicked, this, [this] { SetBackColor(SelectColor(BackColor_, BackButton_)); });

  auto* ground = new QGroupBox("Ground Plane", this);
  auto* gl = new QHBoxLayout(ground);
  GroundBox_ = new QCheckBox("Show", ground);
  GroundBox_->setObjectName("GroundPlaneBox");
  GroundButton_ = new QPushButton(ground);
  GroundButton_->setObjectName("GroundColorButton");
  GroundZSpin_ = new QSpinBox(ground);
  GroundZSpin_->setObjectName("GroundZSpin");
  GroundZSpin_->setRange(-128, 128);
  GroundZSpin_->setValue(-24);
  gl->addWidget(GroundBox_);
  gl->addWidget(GroundButton_);
  gl->addWidget(new QLabel("Z", ground));
  gl->addWidget(GroundZSpin_);
  gl->addStretch(1);
  column->addWidget(ground);
  connect(GroundButton_, &QPushButton::clicked, this,
          [this] { SetGroundColor(SelectColor(GroundColor_, GroundButton_)); });

  auto* grid = new QGroupBox("Vertex Grid", this);
  auto* xl = new QHBoxLayout(grid);
  for (int a = 0; a < 3; ++a) {
    xl->addWidget(new QLabel(QString("XYZ"[a]), grid));
    auto* e = new TEditReal(grid);
    e->setObjectName(QString("Grid%1Edit").arg("XYZ"[a]));
    e->SetFormatString("%.2f");
    e->SetMinValue(0.01);
    e->SetMaxValue(128.0);
    e->SetValidate(true);
    e->SetValue(0.1);
    Grid_[a] = e;
    xl->addWidget(e);
  }
  column->addWidget(grid);
  column->addStretch(1);
  SetBackColor(0);
  SetGroundColor(0);
}

int TFrameViewerOptions::FrameRate() const { return FrameRateSpin_->value(); }
void TFrameViewerOptions::SetFrameRate(int fps) { FrameRateSpin_->setValue(std::clamp(fps, 1, 40)); }

void TFrameViewerOptions::ShowColor(QPushButton* button, int index) {
  const TPaletteEntry c = GamePalette().GetEntry(index);
  button->setText(QString::number(index));
  const QColor q(c.Red, c.Green, c.Blue);
  button->setStyleSheet(QString("background-color: %1; color: %2").arg(q.name(), q.lightness() < 128 ? "white" : "black"));
}

void TFrameViewerOptions::SetBackColor(int index) {
  BackColor_ = std::clamp(index, 0, 255);
  ShowColor(BackButton_, BackColor_);
}

bool TFrameViewerOptions::ShowGroundPlane() const { return GroundBox_->isChecked(); }
void TFrameViewerOptions::SetShowGroundPlane(bool show) { GroundBox_->setChecked(show); }

void TFrameViewerOptions::SetGroundColor(int index) {
  GroundColor_ = std::clamp(index, 0, 255);
  ShowColor(GroundButton_, GroundColor_);
}

int TFrameViewerOptions::GroundZ() const { return GroundZSpin_->value(); }
void TFrameViewerOptions::SetGroundZ(int z) { GroundZSpin_->setValue(std::clamp(z, -128, 128)); }

double TFrameViewerOptions::Grid(int axis) const { return axis >= 0 && axis < 3 ? Grid_[axis]->Value() : 0.1; }

void TFrameViewerOptions::SetGrid(int axis, double value) {
  if (axis >= 0 && axis < 3) Grid_[axis]->SetValue(std::clamp(value, 0.01, 128.0));
}
