#include "tessel/ui/ToolPropsEditor.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QTimer>
#include <cmath>

#include "mdl/Mdl.h"
#include "mdl/Pivot.h"
#include "widgets/Icons.h"
#include "widgets/NumericEdit.h"

namespace {

constexpr const char* kPageNames[7] = {"CameraProps", "VertexProps", "TriangleProps", "PenProps",
                                       "DropperProps", "FloodProps", "MoveObjProps"};
constexpr const char* kToolIcons[9] = {"tool-pointer", "tool-vertex", "tool-triangle", "tool-pen", "tool-dropper",
                                       "tool-fill", "tool-move", "tool-rotate", "tool-scale"};
constexpr const char* kInnerNames[3] = {"Move", "Rotate", "Scale"};
constexpr const char* kFieldNames[9] = {"TXEdt", "TYEdt", "TZEdt", "RXEdt", "RYEdt", "RZEdt", "SXEdt", "SYEdt", "SZEdt"};

QComboBox* Box(QWidget* parent, const char* name, const QStringList& items) {
  auto* b = new QComboBox(parent);
  b->setObjectName(name);
  b->addItems(items);
  return b;
}

}  // namespace

TToolPropsEditor::~TToolPropsEditor() {
  // The fields outlive this part of the window by a moment: a focused one
  // finishes its editing while Qt destroys the children, and must not apply
  // into an editor window that is already gone.
  for (TNumberEdit* field : Fields_)
    if (field) field->disconnect(this);
}

TToolPropsEditor::TToolPropsEditor(QWidget* parent) : QWidget(parent) {
  setObjectName("ToolPropsEditor");
  setWindowTitle("Tool Properties");
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(2, 0, 2, 0);
  ToolImage_ = new QLabel(this);
  ToolImage_->setObjectName("ToolImage");
  ToolImage_->setFixedSize(24, 24);
  row->addWidget(ToolImage_);
  Pages_ = new QStackedWidget(this);
  row->addWidget(Pages_, 1);
  for (int i = 0; i < 7; ++i) {
    QWidget* page = nullptr;
    if (i == 3) {
      page = new QWidget;
      auto* l = new QHBoxLayout(page);
      l->setContentsMargins(0, 0, 0, 0);
      l->addWidget(new QLabel("Size", page));
      PenSizeBox_ = Box(page, "PenSizeBox", {"1", "2", "3", "4", "5", "6", "7", "8", "9"});
      l->addWidget(PenSizeBox_);
      l->addStretch(1);
    } else if (i == 6) {
      page = MakeObjectPage();
    } else {
      page = new QWidget;
    }
    page->setObjectName(kPageNames[i]);
    Pages_->addWidget(page);
  }

  const int pen = TMDLEditor::Instance().PenSize;
  if (pen >= 1 && pen <= 9) PenSizeIndex_ = pen - 1;
  connect(PenSizeBox_, &QComboBox::activated, this, [this](int i) {
    PenSizeIndex_ = i;
    TMDLEditor::Instance().SetPenSize(i + 1);
  });
  connect(ScopeBox_, &QComboBox::activated, this, [this](int i) {
    ScopeIndex_ = i;
    TMDLEditor::Instance().TransformScope = i;
    ModeBox_->setEnabled(i != 0);
  });
  connect(ModeBox_, &QComboBox::activated, this, [this](int i) {
    ModeIndex_ = i;
    TMDLEditor::Instance().TransformMode = i;
  });
  connect(SubjectBox_, &QComboBox::activated, this, [this](int i) {
    SubjectIndex_ = i;
    TMDLEditor::Instance().TransformSubject = i;
  });

  UpdateControl_ = new QTimer(this);
  UpdateControl_->setSingleShot(true);
  UpdateControl_->setInterval(10);
  connect(UpdateControl_, &QTimer::timeout, this, [this] { UpdateFields(); });
  auto update = [this](TMDLObserver*) {
    if (!UpdateControl_->isActive()) UpdateControl_->start();
  };
  Observer_.OnCurrentFrameChange = update;
  Observer_.OnCurrentObjectChange = update;
  Observer_.OnCurrentSceneChange = update;
  Observer_.OnCurrentSkinChange = update;
  Observer_.OnFrameCountChange = update;
  Observer_.OnMDLChange = update;
  Observer_.OnModifyChange = [update](TMDLObserver* o, bool) { update(o); };
  Observer_.OnObjectCountChange = update;
  Observer_.OnSceneCountChange = update;
  Observer_.Loaded();
  SetTool(0);
  UpdateFields();
}

QWidget* TToolPropsEditor::MakeObjectPage() {
  auto* page = new QWidget;
  auto* l = new QHBoxLayout(page);
  l->setContentsMargins(0, 0, 0, 0);
  l->addWidget(new QLabel("Scope", page));
  ScopeBox_ = Box(page, "ScopeBox", {"Frame", "Rest of Scene", "Whole Scene", "All Scenes"});
  l->addWidget(ScopeBox_);
  l->addWidget(new QLabel("Mode", page));
  ModeBox_ = Box(page, "ModeBox", {"Relative", "Absolute"});
  l->addWidget(ModeBox_);
  l->addWidget(new QLabel("Subject", page));
  SubjectBox_ = Box(page, "SubjectBox", {"Object", "Pivot"});
  l->addWidget(SubjectBox_);

  ObjectPages_ = new QStackedWidget(page);
  for (int g = 0; g < 3; ++g) {
    auto* inner = new QWidget;
    inner->setObjectName(kInnerNames[g]);
    auto* fl = new QHBoxLayout(inner);
    fl->setContentsMargins(0, 0, 0, 0);
    for (int a = 0; a < 3; ++a) {
      const int channel = g * 3 + a;
      fl->addWidget(new QLabel(QString("XYZ"[a]), inner));
      TNumberEdit* field = nullptr;
      if (g == 1) {
        auto* e = new TEditInteger(inner);
        field = e;
      } else {
        auto* e = new TEditReal(inner);
        e->SetFormatString("%.2f");
        if (g == 2) {
          e->SetMinValue(-20.0);
          e->SetMaxValue(20.0);
          e->SetValidate(true);
          e->SetValue(1.0);
        }
        field = e;
      }
      field->setObjectName(kFieldNames[channel]);
      field->setFixedWidth(64);
      connect(field, &QLineEdit::textEdited, this, [this, channel] { Changed_[static_cast<size_t>(channel)] = true; });
      // Losing the focus or Enter applies (Enter moves the focus on).
      connect(field, &QLineEdit::editingFinished, this, [this] { ApplyFields(); });
      connect(field, &QLineEdit::returnPressed, this, [this] { focusNextChild(); });
      Fields_[static_cast<size_t>(channel)] = field;
      fl->addWidget(field);
    }
    ObjectPages_->addWidget(inner);
  }
  l->addWidget(ObjectPages_);
  l->addStretch(1);
  return page;
}

void TToolPropsEditor::SetTool(int tool) {
  if (tool < 0 || tool > 8) tool = 0;
  Tool_ = tool;
  Pages_->setCurrentIndex(std::min(tool, 6));
  if (tool >= 6) ObjectPages_->setCurrentIndex(tool - 6);
  // The bar is as wide as the page shown, not as the widest page.
  for (QStackedWidget* stack : {Pages_, ObjectPages_})
    for (int i = 0; i < stack->count(); ++i) {
      const bool shown = stack->widget(i) == stack->currentWidget();
      stack->widget(i)->setSizePolicy(shown ? QSizePolicy::Preferred : QSizePolicy::Ignored,
                                      shown ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    }
  Pages_->updateGeometry();
  adjustSize();
  ToolImage_->setPixmap(ProgramIcon(kToolIcons[tool]).pixmap(24, 24));
}

QString TToolPropsEditor::PageName() const { return Pages_->currentWidget()->objectName(); }

QString TToolPropsEditor::InnerPageName() const { return ObjectPages_->currentWidget()->objectName(); }

void TToolPropsEditor::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  PenSizeBox_->setCurrentIndex(PenSizeIndex_);
  ScopeBox_->setCurrentIndex(ScopeIndex_);
  ModeBox_->setCurrentIndex(ModeIndex_);
  SubjectBox_->setCurrentIndex(SubjectIndex_);
  ModeBox_->setEnabled(ScopeIndex_ != 0);
}

double TToolPropsEditor::FieldValue(int channel) const {
  const TNumberEdit* f = Fields_[static_cast<size_t>(channel)];
  if (const auto* r = qobject_cast<const TRealEdit*>(f)) return r->Value();
  if (const auto* i = qobject_cast<const TIntegerEdit*>(f)) return i->Value();
  return 0;
}

void TToolPropsEditor::UpdateFields() {
  UpdateControl_->stop();
  TMDLEditor& e = TMDLEditor::Instance();
  if (!e.IsValid()) return;
  const TPivot* p = e.CurrentPivot();
  Filling_ = true;
  for (int c = 0; c < 9; ++c) {
    const double v = p ? p->Channel(c) : (c >= 6 ? 1.0 : 0.0);
    TNumberEdit* f = Fields_[static_cast<size_t>(c)];
    if (auto* r = qobject_cast<TRealEdit*>(f)) r->SetValue(v);
    else if (auto* i = qobject_cast<TIntegerEdit*>(f)) i->SetValue(static_cast<int32_t>(std::lround(v)));
  }
  for (int c = 0; c < 9; ++c) Shown_[static_cast<size_t>(c)] = Fields_[static_cast<size_t>(c)]->text();
  Changed_.fill(false);
  Filling_ = false;
}

void TToolPropsEditor::ApplyFields() {
  if (Filling_) return;
  bool any = false;
  for (bool c : Changed_) any |= c;
  if (!any) return;
  Changed_.fill(false);
  TMDLEditor& e = TMDLEditor::Instance();
  const TPivot* p = e.IsValid() ? e.CurrentPivot() : nullptr;
  if (!p) return;
  // A field left as it was filled passes no difference: its shown value is
  // rounded, and the rounding must not move the object.
  float diff[9];
  for (int c = 0; c < 9; ++c) {
    const bool edited = Fields_[static_cast<size_t>(c)]->text() != Shown_[static_cast<size_t>(c)];
    diff[c] = edited ? static_cast<float>(FieldValue(c) - p->Channel(c)) : 0.0f;
  }
  // A typed value that equals the one shown changes nothing.
  bool moves = false;
  for (float d : diff) moves |= std::fabs(d) > 0.001f;
  if (!moves) return;
  TUndoStep step(e, "Transform Object");
  e.TransformObject(diff);
  if (TMDLFrame* frame = e.CurrentFrameObject()) frame->ComputeBoundingBox();
  e.Model->Frames->ComputeBounds();
  e.SetModified(true);
  // The views show the moved object.
  e.Broadcast(&TMDLObserver::OnCurrentFrameChange);
}
