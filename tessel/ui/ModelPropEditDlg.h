#pragma once
// "Edit Model Properties": what the model holds, and the header values the
// game reads (skin size, effect flags, sync type, eye position). OK applies
// them through the editor; Cancel leaves the model alone.

#include <QDialog>
#include <QString>
#include <array>

class QCheckBox;
class QLabel;
class TEditInteger;
class TEditReal;
class TMDLEditor;

class TModelPropEditDlg : public QDialog {
  Q_OBJECT

public:
  // The eight effect flags, in the order of their bits (1, 2, 4, ... 128).
  struct TFlagInfo {
    const char* Caption;
    const char* Hint;
  };
  static const std::array<TFlagInfo, 8> kFlags;
  static constexpr int kMaxSkinField = 4096;

  // Filled from the program's editor.
  explicit TModelPropEditDlg(QWidget* parent = nullptr);

  // OK: writes the fields to the model.
  void accept() override;

  // "%.0f,%.0f,%.0f".
  static QString FormatCorner(float x, float y, float z);

  QLabel* CountLabel(const QString& caption) const;  // "Skins", "Frames", ...
  TEditInteger* WidthEdit() const { return WidthEdit_; }
  TEditInteger* HeightEdit() const { return HeightEdit_; }
  QCheckBox* FlagBox(int index) const { return FlagBoxes_[static_cast<size_t>(index)]; }
  QCheckBox* RandBox() const { return RandBox_; }
  TEditReal* EyeEdit(int axis) const { return EyeEdits_[static_cast<size_t>(axis)]; }
  // Row 0 the upper corner, 1 the lower corner, 2 the size; `frame` false
  // for all frames, true for the current frame.
  QLabel* BoundsLabel(int row, bool frame) const { return Bounds_[static_cast<size_t>(row + (frame ? 3 : 0))]; }

private:
  // Stores the fields in the model.
  void Apply();
  void Fill();

  TMDLEditor& Editor_;
  TEditInteger* WidthEdit_ = nullptr;
  TEditInteger* HeightEdit_ = nullptr;
  std::array<QCheckBox*, 8> FlagBoxes_{};
  QCheckBox* RandBox_ = nullptr;
  std::array<TEditReal*, 3> EyeEdits_{};
  std::array<QLabel*, 6> Bounds_{};
};
