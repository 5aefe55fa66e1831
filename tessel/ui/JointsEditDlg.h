#pragma once
// "Edit Joints": which of an object's nine pivot channels are joints, and
// their names. Changes go into the object at once; closing tells the
// windows and marks the model modified.

#include <QDialog>
#include <optional>

#include "editor/UndoHistory.h"
#include "mdl/Pivot.h"

class QCheckBox;
class QLineEdit;

class TJointsEditDlg : public QDialog {
  Q_OBJECT

public:
  explicit TJointsEditDlg(int object, QWidget* parent = nullptr);

  QCheckBox* JointChk(int channel) const { return Chk_[channel]; }
  QLineEdit* JointEdt(int channel) const { return Edt_[channel]; }
  int Object() const { return Object_; }

  void done(int result) override;

private:
  void Fill();

  int Object_;
  QCheckBox* Chk_[TPivot::kChannels] = {};
  QLineEdit* Edt_[TPivot::kChannels] = {};
  bool Filling_ = false;
  // Everything changed while the dialog is open is one step.
  std::optional<TUndoStep> Step_;
};
