#pragma once
// The contents of the main window's "Color Palette" bar: two palette
// controls that follow the editor's current colour, a wide one for a bar
// lying across the window and a tall one for a bar standing at its side.

#include <QWidget>

#include "render/QuakePalette.h"

class SurfaceWidget;

class TPaletteBarContent : public QWidget {
  Q_OBJECT

public:
  // `editor` null: the program-wide editor.
  explicit TPaletteBarContent(TMDLEditor* editor = nullptr, QWidget* parent = nullptr);
  ~TPaletteBarContent() override;

  // 64 x 4 cells of 8 x 6 pixels, and 4 x 64 cells of 6 x 8.
  TQuakePalette& HorizontalPalette() { return Horizontal_; }
  TQuakePalette& VerticalPalette() { return Vertical_; }
  SurfaceWidget* HorizontalWidget() const { return HorizontalWidget_; }
  SurfaceWidget* VerticalWidget() const { return VerticalWidget_; }
  Qt::Orientation Orientation() const { return Orientation_; }

public slots:
  // Shows the control that fits; connect to QToolBar::orientationChanged.
  void setOrientation(Qt::Orientation orientation);

private:
  TQuakePalette Horizontal_;
  TQuakePalette Vertical_;
  SurfaceWidget* HorizontalWidget_;
  SurfaceWidget* VerticalWidget_;
  Qt::Orientation Orientation_ = Qt::Horizontal;
};
