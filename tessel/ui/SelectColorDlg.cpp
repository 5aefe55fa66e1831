#include "tessel/ui/SelectColorDlg.h"

#include <QVBoxLayout>

#include "widgets/SurfaceWidget.h"

TSelectColorDlg::TSelectColorDlg(QWidget* parent) : QDialog(parent), Widget_(new SurfaceWidget(this)) {
  setWindowTitle(tr("Select Color"));
  Palette_.SetGeometry(16, 10, 10);
  Palette_.SetShowAllColors(false);
  Palette_.SetObserveMDL(false);
  Widget_->SetSurface(&Palette_);
  Widget_->setFixedSize(160, 160);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Widget_);
  // The client area is the palette, nothing more.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  Palette_.OnClick = [this](TQuakePalette&) { accept(); };
}

TSelectColorDlg::~TSelectColorDlg() { Widget_->SetSurface(nullptr); }

int SelectColor(int index, QWidget* control) {
  TSelectColorDlg dlg(control ? control->window() : nullptr);
  dlg.QuakePalette().SetColorIndex(index);
  if (control) dlg.move(control->mapToGlobal(QPoint(0, 0)));
  return dlg.exec() == QDialog::Accepted ? dlg.QuakePalette().ColorIndex() : index;
}
