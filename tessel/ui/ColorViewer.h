#pragma once
// The "Skin Color Editor" child window: which palette colours the current
// skin uses, substitution of one colour by another ("<<"), and re-mapping
// the pixels of excluded palette rows to the nearest colours outside them.
// Settings in "VIEWCOLORS"; its options page is TColorViewerOptions.

#include <QWidget>
#include <array>
#include <functional>

#include "editor/MDLEdit.h"
#include "render/QuakePalette.h"

class QCheckBox;
class QLabel;
class QPushButton;
class SurfaceWidget;
class TIniFile;

// The options page "Color Viewer Options".
class TColorViewerOptions : public QWidget {
  Q_OBJECT

public:
  explicit TColorViewerOptions(QWidget* parent = nullptr);
  QCheckBox* ShowUnusedColors() const { return ShowUnused_; }

private:
  QCheckBox* ShowUnused_ = nullptr;
};

class TColorViewer : public QWidget {
  Q_OBJECT

public:
  static constexpr int kRows = 16;

  explicit TColorViewer(QWidget* parent = nullptr);
  ~TColorViewer() override;

  TQuakePalette& QuakePalette() { return Skin_; }
  TQuakePalette& SubstPalette() { return Subst_; }
  SurfaceWidget* QuakePaletteWidget() const { return SkinWidget_; }
  SurfaceWidget* SubstPaletteWidget() const { return SubstWidget_; }
  QPushButton* SubstituteButton() const { return SubstBtn_; }
  QPushButton* RemapButton() const { return RemapBtn_; }
  QCheckBox* RowBox(int row) const { return Boxes_[static_cast<size_t>(row)]; }
  // The pixels of the current skin in palette row `row`, as last refreshed.
  int RowUsage(int row) const { return Usage_[static_cast<size_t>(row)]; }

  // "<<": the current colour's pixels take the substitution colour.
  void Substitute();
  // "Re-map": pixels in cleared rows go to the nearest colour in the others.
  void Remap();
  // Caption, the "<<" button and the row sums again.
  void Refresh();

  void LoadOptions(TColorViewerOptions& page) const;
  void ApplyOptions(const TColorViewerOptions& page);
  void ReadSettings(TIniFile& ini);
  void WriteSettings(TIniFile& ini);

  // Shows the errors of the commands; tests replace it.
  static std::function<void(QWidget* parent, const QString& text)> ShowError;

protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void UpdateSubstituteButton();
  void Command(const std::function<void(TMDLEditor&)>& f);

  TMDLObserver Observer_;
  TQuakePalette Skin_;
  TQuakePalette Subst_;
  SurfaceWidget* SkinWidget_ = nullptr;
  SurfaceWidget* SubstWidget_ = nullptr;
  QPushButton* SubstBtn_ = nullptr;
  QPushButton* RemapBtn_ = nullptr;
  std::array<QCheckBox*, kRows> Boxes_{};
  std::array<QLabel*, kRows> UsageLabels_{};
  std::array<int, kRows> Usage_{};
  bool Refreshing_ = false;
  bool Placed_ = false;
  QRect StoredBounds_;
  bool StoredMaximized_ = false;
};
