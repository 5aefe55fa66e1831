#include "tessel/ui/ModelPropEditDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/MDLEdit.h"
#include "mdl/Mdl.h"
#include "mdl/MdlFiler.h"
#include "widgets/NumericEdit.h"

const std::array<TModelPropEditDlg::TFlagInfo, 8> TModelPropEditDlg::kFlags = {{
    {"Rocket Smoke Trail", "Long smoke trail, grey and yellow - rises"},
    {"Grenade Smoke Trail", "Long smoke trail, grey - rises"},
    {"Gib Long Blood Trail", "Long falling blood trails"},
    {"Rotate", "Rotates by itself"},
    {"Wizard Green Tracer", "Medium length green trail"},
    {"Gib Short Blood Trail", "Short length falling blood trail"},
    {"Hellknight Yellow Tracer", "Medium length trail - yellow and brown"},
    {"Vore Purple Tracer", "Short purple smoke trail, doesn't rise"},
}};

namespace {

constexpr const char* kCountCaptions[] = {"Skins", "Frames", "Vertices", "Triangles", "Objects"};
// Eye positions are model units; anything beyond this is a typing slip.
constexpr double kEyeLimit = 100000;
// The bits the check boxes show; any others a file carries are kept.
constexpr int32_t kFlagMask = 0xFF;

struct TBox {
  float Min[3] = {0, 0, 0};
  float Max[3] = {0, 0, 0};
};

// The box over every frame: each frame's own box folded together, as the
// model's box is made, but without touching the header's derived values.
TBox ModelBox(TMDL& model) {
  TBox box;
  TMDLFrameList& frames = *model.Frames;
  if (frames.Count() == 0) return box;
  std::fill(std::begin(box.Min), std::end(box.Min), 9999999.0f);
  std::fill(std::begin(box.Max), std::end(box.Max), -9999999.0f);
  for (int k = 0; k < frames.Count(); ++k) {
    TMDLFrame& f = frames.Frame(k);
    f.ComputeBoundingBox();
    const float mn[3] = {f.BBoxMin.X, f.BBoxMin.Y, f.BBoxMin.Z};
    const float mx[3] = {f.BBoxMax.X, f.BBoxMax.Y, f.BBoxMax.Z};
    for (int i = 0; i < 3; ++i) {
      box.Min[i] = std::min(box.Min[i], mn[i]);
      box.Max[i] = std::max(box.Max[i], mx[i]);
    }
  }
  return box;
}

TBox FrameBox(TMDLFrame* frame) {
  TBox box;
  if (!frame) return box;
  frame->ComputeBoundingBox();
  box.Min[0] = frame->BBoxMin.X, box.Min[1] = frame->BBoxMin.Y, box.Min[2] = frame->BBoxMin.Z;
  box.Max[0] = frame->BBoxMax.X, box.Max[1] = frame->BBoxMax.Y, box.Max[2] = frame->BBoxMax.Z;
  return box;
}

}  // namespace

QString TModelPropEditDlg::FormatCorner(float x, float y, float z) {
  return QString::asprintf("%.0f,%.0f,%.0f", static_cast<double>(x), static_cast<double>(y), static_cast<double>(z));
}

TModelPropEditDlg::TModelPropEditDlg(QWidget* parent) : QDialog(parent), Editor_(TMDLEditor::Instance()) {
  setWindowTitle("Edit Model Properties");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout;
  layout->addLayout(columns);
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);

  auto* contents = new QGroupBox("Model Contents", this);
  auto* contentsForm = new QFormLayout(contents);
  for (const char* caption : kCountCaptions) {
    auto* value = new QLabel(contents);
    value->setObjectName(caption);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    contentsForm->addRow(QString(caption) + ":", value);
  }
  left->addWidget(contents);

  auto* skinSize = new QGroupBox("Skin Size", this);
  auto* skinForm = new QFormLayout(skinSize);
  WidthEdit_ = new TEditInteger(skinSize);
  HeightEdit_ = new TEditInteger(skinSize);
  for (TEditInteger* e : {WidthEdit_, HeightEdit_}) {
    e->SetMinValue(0);
    e->SetMaxValue(kMaxSkinField);
    e->SetValidate(true);
  }
  WidthEdit_->setObjectName("Width");
  HeightEdit_->setObjectName("Height");
  skinForm->addRow("Width", WidthEdit_);
  skinForm->addRow("Height", HeightEdit_);
  left->addWidget(skinSize);

  auto* sync = new QGroupBox("SyncType", this);
  auto* syncLayout = new QHBoxLayout(sync);
  RandBox_ = new QCheckBox("Rand", sync);
  RandBox_->setToolTip("Animations of several such models run out of step");
  syncLayout->addWidget(RandBox_);
  left->addWidget(sync);

  auto* eye = new QGroupBox("Eye Position", this);
  auto* eyeForm = new QFormLayout(eye);
  const char* axes[3] = {"X", "Y", "Z"};
  for (int i = 0; i < 3; ++i) {
    auto* e = new TEditReal(eye);
    e->setObjectName(axes[i]);
    e->SetMinValue(-kEyeLimit);
    e->SetMaxValue(kEyeLimit);
    e->SetValidate(true);
    EyeEdits_[static_cast<size_t>(i)] = e;
    eyeForm->addRow(axes[i], e);
  }
  left->addWidget(eye);
  left->addStretch();

  auto* flags = new QGroupBox("Flags", this);
  auto* flagsLayout = new QVBoxLayout(flags);
  for (size_t i = 0; i < kFlags.size(); ++i) {
    auto* box = new QCheckBox(kFlags[i].Caption, flags);
    box->setToolTip(kFlags[i].Hint);
    box->setProperty("tag", 1 << i);
    FlagBoxes_[i] = box;
    flagsLayout->addWidget(box);
  }
  right->addWidget(flags);

  auto* bounds = new QGroupBox("Bounds", this);
  auto* grid = new QGridLayout(bounds);
  grid->addWidget(new QLabel("All Frames", bounds), 0, 1);
  grid->addWidget(new QLabel("Current Frame", bounds), 0, 2);
  const char* rows[3] = {"Max", "Min", "Size"};
  for (int r = 0; r < 3; ++r) {
    grid->addWidget(new QLabel(rows[r], bounds), r + 1, 0);
    for (int c = 0; c < 2; ++c) {
      auto* label = new QLabel(bounds);
      label->setTextInteractionFlags(Qt::TextSelectableByMouse);
      Bounds_[static_cast<size_t>(r + 3 * c)] = label;
      grid->addWidget(label, r + 1, c + 1);
    }
  }
  right->addWidget(bounds);
  right->addStretch();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  Fill();
}

QLabel* TModelPropEditDlg::CountLabel(const QString& caption) const {
  return std::find(std::begin(kCountCaptions), std::end(kCountCaptions), caption) == std::end(kCountCaptions)
             ? nullptr
             : findChild<QLabel*>(caption);
}

void TModelPropEditDlg::Fill() {
  TMDL& model = *Editor_.Model;
  const TMDLFiler& header = *model.Header;
  const int counts[5] = {model.Skins->Count(), model.Frames->Count(), model.Vertices->Count(),
                         model.Triangles->Count(), model.Objects->Count()};
  for (int i = 0; i < 5; ++i) CountLabel(kCountCaptions[i])->setText(QString::number(counts[i]));

  WidthEdit_->SetValue(std::clamp(header.SkinWidth, 0, kMaxSkinField));
  HeightEdit_->SetValue(std::clamp(header.SkinHeight, 0, kMaxSkinField));
  for (size_t i = 0; i < FlagBoxes_.size(); ++i) FlagBoxes_[i]->setChecked((header.Flags & (1 << i)) != 0);
  RandBox_->setChecked(header.SyncType == 1);
  for (size_t i = 0; i < 3; ++i) EyeEdits_[i]->SetValue(header.EyePosition[i]);

  const TBox boxes[2] = {ModelBox(model), FrameBox(Editor_.CurrentFrameObject())};
  for (int c = 0; c < 2; ++c) {
    const TBox& b = boxes[c];
    BoundsLabel(0, c == 1)->setText(FormatCorner(b.Max[0], b.Max[1], b.Max[2]));
    BoundsLabel(1, c == 1)->setText(FormatCorner(b.Min[0], b.Min[1], b.Min[2]));
    BoundsLabel(2, c == 1)->setText(FormatCorner(b.Max[0] - b.Min[0], b.Max[1] - b.Min[1], b.Max[2] - b.Min[2]));
  }
}

void TModelPropEditDlg::accept() {
  // Everything OK changes is one step.
  {
    TUndoStep step(Editor_, "Edit Model Properties");
    Apply();
  }
  QDialog::accept();
}

void TModelPropEditDlg::Apply() {
  // Resizing runs even for an unchanged size: the editor then settles the
  // skins on their own (rounded) size.
  Editor_.SetSkinSize(WidthEdit_->Value(), HeightEdit_->Value());
  TMDLFiler& header = *Editor_.Model->Header;
  header.SyncType = RandBox_->isChecked() ? 1 : 0;
  int32_t flags = header.Flags & ~kFlagMask;
  for (size_t i = 0; i < FlagBoxes_.size(); ++i)
    if (FlagBoxes_[i]->isChecked()) flags |= 1 << i;
  header.Flags = flags;
  for (size_t i = 0; i < 3; ++i) header.EyePosition[i] = static_cast<float>(EyeEdits_[i]->Value());
  Editor_.SetModified(true);
}
