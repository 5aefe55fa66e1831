#pragma once
// A small modal dialog for choosing a palette index: one palette control of
// 16 x 16 cells; a click on a cell closes it with that colour.

#include <QDialog>

#include "render/QuakePalette.h"

class SurfaceWidget;

class TSelectColorDlg : public QDialog {
  Q_OBJECT

public:
  explicit TSelectColorDlg(QWidget* parent = nullptr);
  ~TSelectColorDlg() override;

  TQuakePalette& QuakePalette() { return Palette_; }
  SurfaceWidget* PaletteWidget() const { return Widget_; }

private:
  TQuakePalette Palette_;
  SurfaceWidget* Widget_;
};

// Shows the dialog at `control`'s place on the screen (centred on the
// screen without one) with `index` selected; returns the colour clicked, or
// `index` when the dialog was closed otherwise.
int SelectColor(int index, QWidget* control);
