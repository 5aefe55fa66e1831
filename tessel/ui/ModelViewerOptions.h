#pragma once
// "General Options": the first page of the main window's options dialog
// (hints, the object library folder, the gamma correction of the skins).

#include <QString>
#include <QWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

class TModelViewerOptions : public QWidget {
  Q_OBJECT

public:
  static constexpr int kMinGamma = -31;
  static constexpr int kMaxGamma = 32;

  explicit TModelViewerOptions(QWidget* parent = nullptr);

  bool ShowHints() const;
  void SetShowHints(bool show);
  // The library folder, ending in a path separator (empty when none is set).
  QString LibraryPath() const { return LibraryPath_; }
  void SetLibraryPath(const QString& path);
  int Gamma() const;
  // Clamped to kMinGamma..kMaxGamma.
  void SetGamma(int gamma);

  // What the panel beside the gamma spin says for `gamma`.
  static QString GammaText(int gamma);

  // Asks for a folder, starting at the given one; empty when cancelled.
  // A folder dialog by default; tests put their own answer here.
  std::function<QString(QWidget* parent, const QString& start)> ChooseFolder;

  QCheckBox* HintsBox() const { return HintsBox_; }
  QLabel* LibraryLabel() const { return LibraryLabel_; }
  QPushButton* BrowseButton() const { return BrowseButton_; }
  QSpinBox* GammaSpin() const { return GammaSpin_; }
  QLabel* GammaPanel() const { return GammaPanel_; }

private:
  void Browse();

  QString LibraryPath_;
  QCheckBox* HintsBox_ = nullptr;
  QLabel* LibraryLabel_ = nullptr;
  QPushButton* BrowseButton_ = nullptr;
  QSpinBox* GammaSpin_ = nullptr;
  QLabel* GammaPanel_ = nullptr;
};
