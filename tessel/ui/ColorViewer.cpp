#include "tessel/ui/ChildWindowPlace.h"
#include "tessel/ui/ColorViewer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/IniFile.h"
#include "mdl/Mdl.h"
#include "widgets/Icons.h"
#include "widgets/SurfaceWidget.h"

namespace {

constexpr const char* kViewColors = "VIEWCOLORS";
constexpr const char* kCaption = "Skin Color Editor";
constexpr int kCell = 12;

const char* const kRowCaptions[TColorViewer::kRows] = {
    "0-15",    "Shirt >", "32-47",   "48-63",   "64-79",   "80-95",   "Pants >", "Skin >",
    "128-143", "144-159", "160-175", "176-191", "192-207", "208-223", "224-239", "240-255"};

SurfaceWidget* Host(TQuakePalette& palette, QWidget* parent, const char* name) {
  palette.SetGeometry(16, kCell, kCell);
  auto* w = new SurfaceWidget(parent);
  w->setObjectName(name);
  w->SetSurface(&palette);
  w->setFixedSize(palette.BitmapWidth(), palette.BitmapHeight());
  const QColor c = parent->palette().color(QPalette::Window);
  palette.SetBackgroundColor(MakeColorRef(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())));
  return w;
}

}  // namespace

TColorViewerOptions::TColorViewerOptions(QWidget* parent) : QWidget(parent) {
  setObjectName("ColorViewerOptions");
  ShowUnused_ = new QCheckBox("Show Unused Colors", this);
  auto* column = new QVBoxLayout(this);
  column->addWidget(ShowUnused_);
  column->addStretch(1);
}

std::function<void(QWidget*, const QString&)> TColorViewer::ShowError = [](QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, kCaption, text);
};

TColorViewer::TColorViewer(QWidget* parent) : QWidget(parent) {
  setObjectName("ColorViewer");
  setWindowTitle(kCaption);
  setWindowIcon(ProgramIcon("coloreditor"));

  auto* skinBox = new QGroupBox("Skin Colors", this);
  SkinWidget_ = Host(Skin_, skinBox, "QuakePalette");
  Skin_.SetShowAllColors(true);
  Skin_.SetMarkUnusedColors(true);
  Skin_.SetObserveMDL(true);
  (new QVBoxLayout(skinBox))->addWidget(SkinWidget_);

  auto* substBox = new QGroupBox("Substitution Colors", this);
  SubstWidget_ = Host(Subst_, substBox, "SubstPalette");
  Subst_.SetShowAllColors(true);
  (new QVBoxLayout(substBox))->addWidget(SubstWidget_);
  // A double click makes the colour under the pointer the current one.
  Subst_.OnHitSurface = [this](TWinGSurface&, TShiftState shift, int x, int y, bool&) {
    if (!shift.Contains(ssDouble)) return;
    const int index = Subst_.CellAt(x, y);
    if (index >= 0) TMDLEditor::Instance().SetCurrentColor(static_cast<uint8_t>(index));
  };

  SubstBtn_ = new QPushButton("<<", this);
  SubstBtn_->setObjectName("SubstBtn");
  SubstBtn_->setToolTip("Substitute skin color");
  SubstBtn_->setStatusTip("Substitute skin color");
  connect(SubstBtn_, &QPushButton::clicked, this, [this] { Substitute(); });
  RemapBtn_ = new QPushButton("Re-map", this);
  RemapBtn_->setObjectName("RemapBtn");
  RemapBtn_->setToolTip("Remap skin colors to non excluded colors");
  RemapBtn_->setStatusTip("Remap skin colors to non excluded colors");
  connect(RemapBtn_, &QPushButton::clicked, this, [this] { Remap(); });

  auto* rows = new QGroupBox("Rows", this);
  auto* grid = new QGridLayout(rows);
  grid->setVerticalSpacing(0);
  for (int r = 0; r < kRows; ++r) {
    auto* box = new QCheckBox(kRowCaptions[r], rows);
    box->setObjectName(QString("RowBox%1").arg(r));
    box->setChecked(true);
    // Clicks while the window refreshes are not the user's.
    connect(box, &QCheckBox::clicked, this, [this, box](bool on) {
      if (Refreshing_) box->setChecked(!on);
    });
    auto* usage = new QLabel(rows);
    usage->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(box, r, 0);
    grid->addWidget(usage, r, 1);
    Boxes_[static_cast<size_t>(r)] = box;
    UsageLabels_[static_cast<size_t>(r)] = usage;
  }

  auto* middle = new QVBoxLayout;
  middle->addStretch(1);
  middle->addWidget(SubstBtn_);
  middle->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(rows);
  right->addWidget(RemapBtn_);
  right->addStretch(1);
  auto* top = new QHBoxLayout(this);
  top->addWidget(skinBox);
  top->addLayout(middle);
  top->addWidget(substBox);
  top->addLayout(right);

  auto refresh = [this](TMDLObserver*) {
    UpdateSubstituteButton();
    Refresh();
  };
  Observer_.OnCurrentColorChange = refresh;
  Observer_.OnMDLChange = refresh;
  Observer_.OnCurrentSkinChange = [this](TMDLObserver*) { Refresh(); };
  // Painting changes which colours the skin uses.
  Observer_.OnModifyChange = [this](TMDLObserver*, bool) {
    UpdateSubstituteButton();
    Refresh();
  };
  Observer_.Loaded();

  try {
    TIniFile ini(SettingsFileName());
    ReadSettings(ini);
  } catch (const std::exception&) {
    TIniFile empty;
    ReadSettings(empty);
  }
  UpdateSubstituteButton();
  Refresh();
}

TColorViewer::~TColorViewer() {
  SkinWidget_->SetSurface(nullptr);
  SubstWidget_->SetSurface(nullptr);
}

void TColorViewer::UpdateSubstituteButton() {
  TMDLEditor& e = TMDLEditor::Instance();
  const TMDLBitmap* skin = e.IsValid() ? e.CurrentSkinObject() : nullptr;
  SubstBtn_->setEnabled(skin && skin->ColorCount()[e.CurrentColor] != 0);
}

void TColorViewer::Refresh() {
  Refreshing_ = true;
  TMDLEditor& e = TMDLEditor::Instance();
  const TMDLBitmap* skin = e.IsValid() ? e.CurrentSkinObject() : nullptr;
  setWindowTitle(skin ? QString(kCaption) + " - " + QString::fromStdString(skin->Name) : QString(kCaption));
  Usage_.fill(0);
  if (skin) {
    const auto& counts = skin->ColorCount();
    for (int i = 0; i < 256; ++i) Usage_[static_cast<size_t>(i / 16)] += counts[static_cast<size_t>(i)];
  }
  for (int r = 0; r < kRows; ++r)
    UsageLabels_[static_cast<size_t>(r)]->setText(skin ? QString::number(Usage_[static_cast<size_t>(r)]) : QString());
  Refreshing_ = false;
}

void TColorViewer::Command(const std::function<void(TMDLEditor&)>& f) {
  TMDLEditor& e = TMDLEditor::Instance();
  if (!e.IsValid()) return;
  try {
    f(e);
  } catch (const std::exception& ex) {
    ShowError(this, QString::fromUtf8(ex.what()));
  }
}

void TColorViewer::Substitute() {
  Command([this](TMDLEditor& e) {
    TMDLBitmap* skin = e.CurrentSkinObject();
    if (!skin) return;
    TUndoStep step(e, "Substitute Color", e.CurrentSkin);
    skin->ReplaceColor(e.CurrentColor, static_cast<uint8_t>(Subst_.ColorIndex()));
    e.SetModified(true);
  });
  // Nothing of the current colour is left to substitute.
  SubstBtn_->setEnabled(false);
}

void TColorViewer::Remap() {
  Command([this](TMDLEditor& e) {
    TMDLBitmap* skin = e.CurrentSkinObject();
    if (!skin) return;
    TColorSet excluded;
    for (int r = 0; r < kRows; ++r)
      if (!Boxes_[static_cast<size_t>(r)]->isChecked())
        for (int i = 16 * r; i < 16 * r + 16; ++i) excluded.set(static_cast<size_t>(i));
    // Nothing excluded, nothing to move: the palette map would otherwise
    // still trade colours for equal-looking ones.
    if (excluded.none()) return;
    TUndoStep step(e, "Re-map Colors", e.CurrentSkin);
    skin->RestrictColors(excluded);
    e.SetModified(true);
    e.SetShirtColor(e.ShirtColor());
  });
}

void TColorViewer::LoadOptions(TColorViewerOptions& page) const {
  page.ShowUnusedColors()->setChecked(Skin_.ShowAllColors());
}

void TColorViewer::ApplyOptions(const TColorViewerOptions& page) {
  Skin_.SetShowAllColors(page.ShowUnusedColors()->isChecked());
}

void TColorViewer::ReadSettings(TIniFile& ini) {
  Skin_.SetShowAllColors(ini.ReadBool(kViewColors, "ShowAllColors", true));
  StoredBounds_ = QRect(ini.ReadInteger(kViewColors, "Left", 0), ini.ReadInteger(kViewColors, "Top", 0),
                        ini.ReadInteger(kViewColors, "Width", 0), ini.ReadInteger(kViewColors, "Height", 0));
  StoredMaximized_ = ini.ReadBool(kViewColors, "Maximized", false);
}

void TColorViewer::WriteSettings(TIniFile& ini) {
  ini.WriteBool(kViewColors, "ShowAllColors", Skin_.ShowAllColors());
  WriteChildWindowBounds(ini, kViewColors, this);
}

void TColorViewer::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (Placed_) return;
  Placed_ = true;
  PlaceChildWindow(this, StoredBounds_, StoredMaximized_);
}

void TColorViewer::closeEvent(QCloseEvent* event) {
  // A minimised window keeps the settings it had.
  SaveChildWindowSettings(this, [this](TIniFile& ini) { WriteSettings(ini); }, ShowError);
  QWidget::closeEvent(event);
}
