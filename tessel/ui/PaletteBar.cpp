#include "tessel/ui/PaletteBar.h"

#include <QHBoxLayout>

#include "widgets/SurfaceWidget.h"

namespace {

SurfaceWidget* Host(TQuakePalette& palette, QWidget* parent) {
  auto* w = new SurfaceWidget(parent);
  w->SetSurface(&palette);
  w->setFixedSize(palette.BitmapWidth(), palette.BitmapHeight());
  // Blanked cells take the colour of the bar around them.
  const QColor c = parent->palette().color(QPalette::Window);
  palette.SetBackgroundColor(MakeColorRef(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())));
  palette.SetObserveMDL(true);
  return w;
}

}  // namespace

TPaletteBarContent::TPaletteBarContent(TMDLEditor* editor, QWidget* parent)
    : QWidget(parent), Horizontal_(editor), Vertical_(editor) {
  Horizontal_.SetGeometry(64, 8, 6);
  Vertical_.SetGeometry(4, 6, 8);
  HorizontalWidget_ = Host(Horizontal_, this);
  VerticalWidget_ = Host(Vertical_, this);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(HorizontalWidget_);
  layout->addWidget(VerticalWidget_);
  setOrientation(Qt::Horizontal);
}

TPaletteBarContent::~TPaletteBarContent() {
  HorizontalWidget_->SetSurface(nullptr);
  VerticalWidget_->SetSurface(nullptr);
}

void TPaletteBarContent::setOrientation(Qt::Orientation orientation) {
  Orientation_ = orientation;
  HorizontalWidget_->setVisible(orientation == Qt::Horizontal);
  VerticalWidget_->setVisible(orientation == Qt::Vertical);
}
