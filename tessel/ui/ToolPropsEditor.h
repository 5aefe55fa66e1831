#pragma once
// "Tool Properties": the settings of the current edit tool in the main
// window's tool-properties bar. The pen size of the painting tools; for the
// object tools the scope, mode and subject of object transforms and nine
// fields that show the current object's pivot in the current frame and
// change it through the editor's TransformObject.

#include <QWidget>
#include <array>

#include "editor/MDLEdit.h"

class QComboBox;
class QLabel;
class QStackedWidget;
class QTimer;
class TNumberEdit;
class TEditInteger;
class TEditReal;

class TToolPropsEditor : public QWidget {
  Q_OBJECT

public:
  explicit TToolPropsEditor(QWidget* parent = nullptr);
  ~TToolPropsEditor() override;

  // Selects the tool's page (and the inner page of the object tools).
  void SetTool(int tool);
  int Tool() const { return Tool_; }
  // The page shown: "CameraProps", "VertexProps", ... "MoveObjProps".
  QString PageName() const;
  // "Move", "Rotate" or "Scale".
  QString InnerPageName() const;

  QComboBox* PenSizeBox() const { return PenSizeBox_; }
  QComboBox* ScopeBox() const { return ScopeBox_; }
  QComboBox* ModeBox() const { return ModeBox_; }
  QComboBox* SubjectBox() const { return SubjectBox_; }
  // Channel 0..8 (translation, rotation, scale): TXEdt ... SZEdt.
  TNumberEdit* Field(int channel) const { return Fields_[static_cast<size_t>(channel)]; }

  // Fills the nine fields from the current pivot (what the timer does).
  void UpdateFields();
  // Applies the fields whose text the user changed (all nine differences).
  void ApplyFields();

protected:
  void showEvent(QShowEvent* event) override;

private:
  QWidget* MakeObjectPage();
  double FieldValue(int channel) const;

  TMDLObserver Observer_;
  QTimer* UpdateControl_ = nullptr;
  QLabel* ToolImage_ = nullptr;
  QStackedWidget* Pages_ = nullptr;
  QStackedWidget* ObjectPages_ = nullptr;
  QComboBox* PenSizeBox_ = nullptr;
  QComboBox* ScopeBox_ = nullptr;
  QComboBox* ModeBox_ = nullptr;
  QComboBox* SubjectBox_ = nullptr;
  std::array<TNumberEdit*, 9> Fields_{};
  std::array<bool, 9> Changed_{};
  std::array<QString, 9> Shown_{};
  bool Filling_ = false;
  int Tool_ = 0;
  // The choices, restored into the boxes whenever the window is shown.
  int PenSizeIndex_ = 0;
  int ScopeIndex_ = 0;
  int ModeIndex_ = 0;
  int SubjectIndex_ = 0;
};
