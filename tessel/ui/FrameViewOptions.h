#pragma once
// "Frame Viewer Options": the Frame Editor's page of the options dialog:
// the playback rate, the background colour, the ground plane (shown, its
// colour and its height, which is the model's eye height) and the vertex
// grid spacings.

#include <QWidget>

class QCheckBox;
class QPushButton;
class QSpinBox;
class TEditReal;

class TFrameViewerOptions : public QWidget {
  Q_OBJECT

public:
  explicit TFrameViewerOptions(QWidget* parent = nullptr);

  int FrameRate() const;
  void SetFrameRate(int fps);  // limited to 1..40
  int BackColor() const { return BackColor_; }
  void SetBackColor(int index);
  bool ShowGroundPlane() const;
  void SetShowGroundPlane(bool show);
  int GroundColor() const { return GroundColor_; }
  void SetGroundColor(int index);
  int GroundZ() const;
  void SetGroundZ(int z);  // limited to -128..128
  // Axis 0..2; limited to 0.01..128.
  double Grid(int axis) const;
  void SetGrid(int axis, double value);

  QSpinBox* FrameRateSpin() const { return FrameRateSpin_; }
  QPushButton* BackColorButton() const { return BackButton_; }
  QPushButton* GroundColorButton() const { return GroundButton_; }
  QSpinBox* GroundZSpin() const { return GroundZSpin_; }
  TEditReal* GridEdit(int axis) const { return Grid_[axis]; }

private:
  void ShowColor(QPushButton* button, int index);

  QSpinBox* FrameRateSpin_ = nullptr;
  QPushButton* BackButton_ = nullptr;
  QCheckBox* GroundBox_ = nullptr;
  QPushButton* GroundButton_ = nullptr;
  QSpinBox* GroundZSpin_ = nullptr;
  TEditReal* Grid_[3] = {};
  int BackColor_ = 0;
  int GroundColor_ = 0;
};
