#pragma once
// "Export Multiple Frames": the list file (chosen with "Select"), the range
// (the current scene or all scenes) and the geometry format of the frame
// files. "Save" is enabled once a file name is chosen.

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

class TMultiFrameSaveDlg : public QDialog {
  Q_OBJECT

public:
  explicit TMultiFrameSaveDlg(QWidget* parent = nullptr);

  QString FileName() const { return FileName_; }
  void SetFileName(const QString& name);
  bool AllScenes() const;
  // The chosen format's extension with its dot (".DXF").
  QString Extension() const;

  QPushButton* SelectButton() const { return SelectBtn_; }
  QPushButton* SaveButton() const { return SaveBtn_; }
  QComboBox* FormatBox() const { return FormatBox_; }
  QRadioButton* AllScenesButton() const { return AllBtn_; }

private:
  void Select();

  QString FileName_;
  QStringList Extensions_;
  QLabel* NameLabel_;
  QLabel* FolderLabel_;
  QPushButton* SelectBtn_;
  QPushButton* SaveBtn_;
  QRadioButton* CurrentBtn_;
  QRadioButton* AllBtn_;
  QComboBox* FormatBox_;
};
