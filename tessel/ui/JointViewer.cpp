#include "tessel/ui/ChildWindowPlace.h"
#include "tessel/ui/JointViewer.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/IniFile.h"
#include "mdl/Mdl.h"
#include "mdl/Pivot.h"
#include "tessel/ui/ModelViewer.h"

namespace {

const char* const kSection = "VIEWJOINTS";
constexpr int kDesignWidth = 560;
constexpr int kDesignHeight = 260;
constexpr int kDefaultColumnWidth = 64;

bool ParseNumber(const QString& text, double& value) {
  std::string s = text.trimmed().toStdString();
  // The grid writes ".5" for a half; from_chars wants the zero.
  if (!s.empty() && s[0] == '.') s.insert(0, "0");
  if (s.size() > 1 && s[0] == '-' && s[1] == '.') s.insert(1, "0");
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size() && std::isfinite(value);
}

}  // namespace

QString FormatJointValue(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", value);
  std::string s = buf;
  if (s.find_first_not_of("-0.") == std::string::npos) return "0";
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  // No digit is required before the point.
  const size_t digits = s[0] == '-' ? 1 : 0;
  if (s.size() > digits + 1 && s[digits] == '0' && s[digits + 1] == '.') s.erase(digits, 1);
  return QString::fromStdString(s);
}

TJointViewer::TJointViewer(QWidget* parent)
    : QWidget(parent),
      Grid_(new QTableWidget(this)),
      LinearBtn_(new QToolButton(this)),
      TweenBtn_(new QToolButton(this)),
      SpeedButton4_(new QToolButton(this)),
      SpeedButton3_(new QToolButton(this)),
      SpeedButton2_(new QToolButton(this)) {
  setObjectName("JointViewer");
  Grid_->setObjectName("Grid");
  Grid_->horizontalHeader()->hide();
  Grid_->verticalHeader()->hide();
  Grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  Grid_->horizontalHeader()->setDefaultSectionSize(kDefaultColumnWidth);
  Grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);

  struct Button {
    QToolButton* button;
    const char* name;
    const char* text;
    const char* hint;
  } buttons[] = {
      {LinearBtn_, "LinearBtn", "Key", "Change selected cells into key values"},
      {TweenBtn_, "TweenBtn", "Tween", "Change selected cells into tween values"},
      {SpeedButton4_, "SpeedButton4", "Calculate", "Calculate tween values and update the scene"},
      {SpeedButton3_, "SpeedButton3", "Wider", "Make grid wider"},
      {SpeedButton2_, "SpeedButton2", "Smaller", "Make grid smaller"},
  };
  auto* bar = new QHBoxLayout;
  for (const Button& b : buttons) {
    b.button->setObjectName(b.name);
    b.button->setText(b.text);
    b.button->setToolTip(b.hint);
    b.button->setStatusTip(b.hint);
    bar->addWidget(b.button);
  }
  bar->addStretch(1);
  LinearBtn_->setCheckable(true);
  TweenBtn_->setCheckable(true);
  auto* group = new QButtonGroup(this);
  group->addButton(LinearBtn_);
  group->addButton(TweenBtn_);
  TweenBtn_->setChecked(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(bar);
  layout->addWidget(Grid_, 1);

  connect(LinearBtn_, &QToolButton::clicked, this, [this] { SetSelectedKeys(true); });
  connect(TweenBtn_, &QToolButton::clicked, this, [this] { SetSelectedKeys(false); });
  connect(SpeedButton4_, &QToolButton::clicked, this, [this] { CalculateAndStore(); });
  connect(SpeedButton3_, &QToolButton::clicked, this, [this] { ChangeColumnWidth(10); });
  connect(SpeedButton2_, &QToolButton::clicked, this, [this] { ChangeColumnWidth(-10); });
  connect(Grid_, &QTableWidget::cellClicked, this, &TJointViewer::CellClicked);
  connect(Grid_, &QTableWidget::currentCellChanged, this, [this](int row, int column) { CellClicked(row, column); });

  resize(kDesignWidth, kDesignHeight);
  try {
    TIniFile ini(SettingsFileName());
    ReadSettings(ini);
  } catch (const std::exception&) {
    TIniFile empty;
    ReadSettings(empty);
  }
  BindObserver();
  RebuildGrid();
  UpdateCaption();
}

void TJointViewer::BindObserver() {
  auto rebuild = [this](TMDLObserver*) {
    RebuildGrid();
    UpdateCaption();
  };
  Observer_.OnCurrentSceneChange = rebuild;
  Observer_.OnCurrentSceneNameChange = rebuild;
  Observer_.OnFrameCountChange = rebuild;
  Observer_.OnMDLChange = rebuild;
  Observer_.OnObjectCountChange = rebuild;
  Observer_.OnSceneCountChange = rebuild;
  Observer_.OnJointsChange = rebuild;
  Observer_.Loaded();
}

void TJointViewer::UpdateCaption() {
  TMDLEditor& e = TMDLEditor::Instance();
  setWindowTitle(e.IsValid() ? "Joint Track Editor - " + QString::fromStdString(e.CurrentSceneName())
                             : QString("Joint Track Editor"));
}

TPivot* TJointViewer::CellPivot(int row, int column) const {
  TMDLEditor& e = TMDLEditor::Instance();
  if (!e.IsValid() || row < 1 || row > JointCount() || column < 1 || column > e.SceneFrameCount) return nullptr;
  const int f = e.SceneFirstFrame + column - 1;
  if (f < 0 || f >= e.Model->Frames->Count()) return nullptr;
  return &e.Model->Objects->Object(RowObject(row)).Pivot(f);
}

bool TJointViewer::IsKeyCell(int row, int column) const {
  const TPivot* p = CellPivot(row, column);
  return p && p->IsKey(RowChannel(row));
}

void TJointViewer::RebuildGrid() {
  ++Filling_;
  RowObject_.clear();
  RowChannel_.clear();
  TMDLEditor& e = TMDLEditor::Instance();
  const int frames = e.IsValid() ? e.SceneFrameCount : 0;
  if (e.IsValid())
    for (int o = 0; o < e.Model->Objects->Count(); ++o)
      for (int c = 0; c < TPivot::kChannels; ++c)
        if (e.Model->Objects->Object(o).IsJoint[c]) {
          RowObject_.push_back(o);
          RowChannel_.push_back(c);
        }
  Grid_->clear();
  Grid_->setRowCount(std::max(2, JointCount() + 1));
  Grid_->setColumnCount(std::max(2, frames + 1));
  const QColor fixed = palette().color(QPalette::Button);
  auto header = [&](int r, int c, const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setBackground(fixed);
    Grid_->setItem(r, c, item);
    return item;
  };
  QTableWidgetItem* corner = header(0, 0, "Joints / Frames");
  QFont bold = corner->font();
  bold.setBold(true);
  corner->setFont(bold);
  for (int c = 1; c <= frames; ++c) header(0, c, QString::number(c));
  for (int r = 1; r <= JointCount(); ++r) {
    const TMDLObject& o = e.Model->Objects->Object(RowObject(r));
    header(r, 0, QString::fromStdString(o.JointNames[RowChannel(r)]));
    for (int c = 1; c <= frames; ++c) {
      TPivot* p = CellPivot(r, c);
      Grid_->setItem(r, c, new QTableWidgetItem(p ? FormatJointValue(p->Channel(RowChannel(r))) : QString()));
      StyleCell(r, c);
    }
  }
  Grid_->resizeColumnToContents(0);
  --Filling_;
}

void TJointViewer::StyleCell(int row, int column) {
  QTableWidgetItem* item = Grid_->item(row, column);
  if (!item) return;
  const bool key = IsKeyCell(row, column);
  QFont f = item->font();
  f.setBold(key);
  item->setFont(f);
  item->setForeground(palette().color(key ? QPalette::WindowText : QPalette::ButtonText));
  item->setFlags(key ? item->flags() | Qt::ItemIsEditable : item->flags() & ~Qt::ItemIsEditable);
}

void TJointViewer::CellClicked(int row, int column) {
  if (Filling_ || row < 1 || column < 1 || row > JointCount()) return;
  const bool key = IsKeyCell(row, column);
  (key ? LinearBtn_ : TweenBtn_)->setChecked(true);
  // Key values are typed in; tween values come from the calculation.
  Grid_->setEditTriggers(key ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::AnyKeyPressed
                             : QAbstractItemView::NoEditTriggers);
}

void TJointViewer::SetSelectedKeys(bool key) {
  TUndoStep step(TMDLEditor::Instance(), key ? "Make Keys" : "Make Tweens");
  for (const QTableWidgetSelectionRange& range : Grid_->selectedRanges())
    for (int r = std::max(1, range.topRow()); r <= range.bottomRow(); ++r)
      for (int c = std::max(1, range.leftColumn()); c <= range.rightColumn(); ++c)
        if (TPivot* p = CellPivot(r, c)) {
          p->SetIsKey(RowChannel(r), key);
          StyleCell(r, c);
        }
  const int row = Grid_->currentRow(), column = Grid_->currentColumn();
  CellClicked(row, column);
}

void TJointViewer::CalculateTweens() {
  TMDLEditor& e = TMDLEditor::Instance();
  const int n = e.IsValid() ? e.SceneFrameCount : 0;
  if (n <= 1) return;
  ++Filling_;
  std::vector<double> v(static_cast<size_t>(n));
  std::vector<bool> key(static_cast<size_t>(n));
  for (int r = 1; r <= JointCount(); ++r) {
    int first = -1;
    for (int i = 0; i < n; ++i) {
      key[static_cast<size_t>(i)] = IsKeyCell(r, i + 1);
      double x = 0;
      QTableWidgetItem* item = Grid_->item(r, i + 1);
      v[static_cast<size_t>(i)] = item && ParseNumber(item->text(), x) ? x : 0;
      if (first < 0 && key[static_cast<size_t>(i)]) first = i;
    }
    if (first < 0) continue;
    int a = first;
    for (;;) {
      int b = (a + 1) % n;
      while (b != a && !key[static_cast<size_t>(b)]) b = (b + 1) % n;
      const int d = b == a ? n : (b - a + n) % n;
      const double step = (v[static_cast<size_t>(b)] - v[static_cast<size_t>(a)]) / d;
      double value = v[static_cast<size_t>(a)];
      for (int i = 1; i < d; ++i) {
        const int at = (a + i) % n;
        value += step;
        v[static_cast<size_t>(at)] = value;
        if (QTableWidgetItem* item = Grid_->item(r, at + 1)) item->setText(FormatJointValue(value));
      }
      // The pass that wrapped past the scene's end closes the loop.
      const bool wrapped = b <= a;
      a = b;
      if (wrapped) break;
    }
  }
  --Filling_;
}

void TJointViewer::CalculateAndStore() {
  TUndoStep step(TMDLEditor::Instance(), "Edit Joint Tracks");
  CalculateTweens();
  bool changed = false;
  for (int r = 1; r <= JointCount(); ++r)
    for (int c = 1; c < Grid_->columnCount(); ++c) {
      TPivot* p = CellPivot(r, c);
      QTableWidgetItem* item = Grid_->item(r, c);
      double x = 0;
      if (!p || !item || !ParseNumber(item->text(), x)) continue;
      if (static_cast<float>(x) != p->Channel(RowChannel(r))) {
        p->SetChannel(RowChannel(r), static_cast<float>(x));
        changed = true;
      }
    }
  if (!changed) return;
  TMDLEditor& e = TMDLEditor::Instance();
  e.SetModified(true);
  // The views redraw the moved vertices.
  e.Broadcast(&TMDLObserver::OnCurrentFrameChange);
}

void TJointViewer::ChangeColumnWidth(int delta) {
  QHeaderView* h = Grid_->horizontalHeader();
  const int width = std::clamp(h->defaultSectionSize() + delta, kMinColumnWidth, kMaxColumnWidth);
  h->setDefaultSectionSize(width);
  for (int c = 1; c < Grid_->columnCount(); ++c) Grid_->setColumnWidth(c, width);
}

void TJointViewer::ReadSettings(TIniFile& ini) {
  StoredBounds_ = QRect(ini.ReadInteger(kSection, "Left", 0), ini.ReadInteger(kSection, "Top", 0),
                        ini.ReadInteger(kSection, "Width", kDesignWidth), ini.ReadInteger(kSection, "Height", kDesignHeight));
  StoredMaximized_ = ini.ReadBool(kSection, "Maximized", false);
}

void TJointViewer::WriteSettings(TIniFile& ini) {
  WriteChildWindowBounds(ini, kSection, this);
}

void TJointViewer::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (Placed_) return;
  Placed_ = true;
  PlaceChildWindow(this, StoredBounds_, StoredMaximized_);
}

void TJointViewer::closeEvent(QCloseEvent* event) {
  // A minimised window keeps the settings it had.
  SaveChildWindowSettings(this, [this](TIniFile& ini) { WriteSettings(ini); }, TModelViewer::ShowError);
  QWidget::closeEvent(event);
}
