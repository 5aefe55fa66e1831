#include "tessel/ui/ModelViewerOptions.h"

#include <algorithm>

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TModelViewerOptions::TModelViewerOptions(QWidget* parent) : QWidget(parent) {
  setWindowTitle("General Options");
  ChooseFolder = [](QWidget* owner, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, "Object Library", start);
  };
  auto* layout = new QVBoxLayout(this);

  auto* hints = new QGroupBox("Hints", this);
  auto* hintsLayout = new QHBoxLayout(hints);
  HintsBox_ = new QCheckBox("Show", hints);
  HintsBox_->setChecked(true);
  hintsLayout->addWidget(HintsBox_);
  hintsLayout->addStretch();
  layout->addWidget(hints);

  auto* library = new QGroupBox("Object Library", this);
  auto* libraryLayout = new QHBoxLayout(library);
  libraryLayout->addWidget(new QLabel("Library :", library));
  LibraryLabel_ = new QLabel(library);
  LibraryLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Deep folders are elided by the layout rather than widening the dialog.
  LibraryLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  LibraryLabel_->setMinimumWidth(200);
  libraryLayout->addWidget(LibraryLabel_, 1);
  BrowseButton_ = new QPushButton("...", library);
  BrowseButton_->setFixedWidth(BrowseButton_->fontMetrics().horizontalAdvance("...") + 24);
  BrowseButton_->setToolTip("Choose the folder of the object library");
  libraryLayout->addWidget(BrowseButton_);
  layout->addWidget(library);
  connect(BrowseButton_, &QPushButton::clicked, this, &TModelViewerOptions::Browse);

  auto* gamma = new QGroupBox("Gamma Correction", this);
  auto* gammaLayout = new QHBoxLayout(gamma);
  GammaSpin_ = new QSpinBox(gamma);
  GammaSpin_->setRange(kMinGamma, kMaxGamma);
  GammaSpin_->setValue(0);
  gammaLayout->addWidget(GammaSpin_);
  GammaPanel_ = new QLabel(GammaText(0), gamma);
  GammaPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  GammaPanel_->setAlignment(Qt::AlignCenter);
  GammaPanel_->setMinimumWidth(GammaPanel_->fontMetrics().horizontalAdvance("32 lighter") + 16);
  gammaLayout->addWidget(GammaPanel_);
  gammaLayout->addStretch();
  layout->addWidget(gamma);
  connect(GammaSpin_, &QSpinBox::valueChanged, this, [this](int v) { GammaPanel_->setText(GammaText(v)); });

  layout->addStretch();
}

bool TModelViewerOptions::ShowHints() const { return HintsBox_->isChecked(); }
void TModelViewerOptions::SetShowHints(bool show) { HintsBox_->setChecked(show); }

void TModelViewerOptions::SetLibraryPath(const QString& path) {
  LibraryPath_ = path;
  if (!LibraryPath_.isEmpty() && !LibraryPath_.endsWith('/')) LibraryPath_ += '/';
  LibraryLabel_->setText(QDir::toNativeSeparators(LibraryPath_));
  LibraryLabel_->setToolTip(LibraryLabel_->text());
}

int TModelViewerOptions::Gamma() const { return GammaSpin_->value(); }
void TModelViewerOptions::SetGamma(int gamma) { GammaSpin_->setValue(std::clamp(gamma, kMinGamma, kMaxGamma)); }

QString TModelViewerOptions::GammaText(int gamma) {
  if (gamma == 0) return QStringLiteral("none");
  if (gamma > 0) return QStringLiteral("%1 lighter").arg(gamma);
  return QStringLiteral("%1 darker").arg(-gamma);
}

void TModelViewerOptions::Browse() {
  if (!ChooseFolder) return;
  const QString chosen = ChooseFolder(this, LibraryPath_);
  if (!chosen.isEmpty()) SetLibraryPath(chosen);
}
