#pragma once
// "Joint Track Editor": the joint channels of every object against the
// frames of the current scene, as a grid of numbers. Cells are marked as
// key or tween values; CalculateTweens fills the tweens linearly between
// the keys, the scene treated as a loop, and the values go back into the
// pivots with one button.

#include <QRect>
#include <QWidget>
#include <vector>

#include "editor/MDLEdit.h"

class QTableWidget;
class QToolButton;
class TIniFile;

// A joint value as the grid shows it: at most two decimals, no zero before
// the point, and a plain 0 for zero.
QString FormatJointValue(double value);

class TJointViewer : public QWidget {
  Q_OBJECT

public:
  static constexpr int kMinColumnWidth = 30;
  static constexpr int kMaxColumnWidth = 256;

  explicit TJointViewer(QWidget* parent = nullptr);

  QTableWidget* Grid() const { return Grid_; }
  QToolButton* LinearBtn() const { return LinearBtn_; }
  QToolButton* TweenBtn() const { return TweenBtn_; }
  // "Calculate tween values and update the scene".
  QToolButton* CalculateBtn() const { return SpeedButton4_; }
  QToolButton* WiderBtn() const { return SpeedButton3_; }
  QToolButton* SmallerBtn() const { return SpeedButton2_; }

  // The rows' joints: object index and channel number, from grid row 1.
  int JointCount() const { return static_cast<int>(RowObject_.size()); }
  int RowObject(int row) const { return RowObject_[static_cast<size_t>(row - 1)]; }
  int RowChannel(int row) const { return RowChannel_[static_cast<size_t>(row - 1)]; }
  // Whether grid cell (row, column) is a key value.
  bool IsKeyCell(int row, int column) const;

  void RebuildGrid();
  // Fills the tween cells of every row (nothing for a scene of one frame).
  void CalculateTweens();
  // CalculateTweens, then every cell that differs from its pivot goes into it.
  void CalculateAndStore();
  // Sets or clears the key flag of every selected cell.
  void SetSelectedKeys(bool key);
  void ChangeColumnWidth(int delta);

  // Settings, section "VIEWJOINTS".
  void ReadSettings(TIniFile& ini);
  void WriteSettings(TIniFile& ini);
  QRect StoredBounds() const { return StoredBounds_; }

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  void BindObserver();
  void UpdateCaption();
  void CellClicked(int row, int column);
  void StyleCell(int row, int column);
  TPivot* CellPivot(int row, int column) const;

  TMDLObserver Observer_;
  QTableWidget* Grid_;
  QToolButton* LinearBtn_;
  QToolButton* TweenBtn_;
  QToolButton* SpeedButton4_;
  QToolButton* SpeedButton3_;
  QToolButton* SpeedButton2_;
  std::vector<int> RowObject_;
  std::vector<int> RowChannel_;
  QRect StoredBounds_;
  bool StoredMaximized_ = false;
  bool Placed_ = false;
  int Filling_ = 0;
};
