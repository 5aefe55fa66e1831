#pragma once
// "Rendered Skin": where the picture the skin recorder made goes, a new
// skin, the current skin, or nowhere.

#include <QDialog>

#include "tessel/ui/FrameViewer.h"

class QPushButton;

class TTextureDestinationDialog : public QDialog {
  Q_OBJECT

public:
  explicit TTextureDestinationDialog(QWidget* parent = nullptr);

  // Runs the dialog; closing it any other way discards the picture.
  TRenderedSkinChoice Ask();
  QPushButton* Button(TRenderedSkinChoice choice) const;

private:
  QPushButton* Buttons_[3] = {};
  TRenderedSkinChoice Choice_ = rsDiscard;
};
