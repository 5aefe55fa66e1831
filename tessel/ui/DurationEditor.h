#pragma once
// "Duration Editor": the current scene's frame durations in a two-column
// grid (frame, "Duration"); OK hands the edited list to the editor, Cancel
// changes nothing.

#include <QDialog>
#include <QStringList>

class QTableWidget;

class TDurationEditor : public QDialog {
  Q_OBJECT

public:
  explicit TDurationEditor(QWidget* parent = nullptr);

  QTableWidget* Grid() const { return Grid_; }
  // The value column as it stands, one line per frame.
  QStringList Lines() const;
  void accept() override;

private:
  QTableWidget* Grid_;
  bool Filling_ = false;
};
