#include "widgets/XToolBar.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QSettings>
#include <algorithm>
#include <map>
#include <set>
#include <vector>

int TDockMetrics::ControlHeight = 22;
int TDockMetrics::ControlWidth = 22;
int TDockMetrics::HorizontalSpacing = 6;
int TDockMetrics::VerticalSpacing = 3;

namespace {

Qt::ToolBarArea AreaOf(TDockPos side) {
  switch (side) {
    case dpTop: return Qt::TopToolBarArea;
    case dpBottom: return Qt::BottomToolBarArea;
    case dpLeft: return Qt::LeftToolBarArea;
    default: return Qt::RightToolBarArea;
  }
}

std::optional<TDockPos> SideOf(Qt::ToolBarArea area) {
  switch (area) {
    case Qt::TopToolBarArea: return dpTop;
    case Qt::BottomToolBarArea: return dpBottom;
    case Qt::LeftToolBarArea: return dpLeft;
    case Qt::RightToolBarArea: return dpRight;
    default: return std::nullopt;
  }
}

bool IsHorizontal(TDockPos side) { return side == dpTop || side == dpBottom; }

constexpr TDockPos kSides[] = {dpTop, dpBottom, dpLeft, dpRight};

// The docked bars of a side with their row and offset, read from where
// the form's layout put them: rows by their distance from the form's edge
// inwards, offsets along the row.
struct TEntry {
  QToolBar* Bar;
  int Line;
  int Pos;
  int Seq;
};

std::vector<TEntry> DockedBars(QMainWindow* form, TDockPos side) {
  std::vector<TEntry> entries;
  std::set<int> rows;
  const bool horizontal = IsHorizontal(side);
  const auto bars = form->findChildren<QToolBar*>(Qt::FindDirectChildrenOnly);
  for (QToolBar* bar : bars) {
    if (bar->isWindow() || form->toolBarArea(bar) != AreaOf(side)) continue;
    const QRect g = bar->geometry();
    // Rows count from the form's edge: downwards at the top, upwards at
    // the bottom, and so on.
    int row = horizontal ? g.top() : g.left();
    if (side == dpBottom) row = -g.bottom();
    if (side == dpRight) row = -g.right();
    rows.insert(row);
    entries.push_back({bar, row, horizontal ? g.left() : g.top(), static_cast<int>(entries.size())});
  }
  for (TEntry& e : entries) e.Line = static_cast<int>(std::distance(rows.begin(), rows.find(e.Line)));
  return entries;
}

void ActivateLayout(QMainWindow* form) {
  if (form->layout()) form->layout()->activate();
}

// A floating window that lies on a screen and has a usable size.
QRect SaneFloating(QRect r, QToolBar* bar, QMainWindow* form) {
  const QSize hint = bar->sizeHint().expandedTo(bar->minimumSizeHint());
  if (r.width() < bar->minimumSizeHint().width() || r.width() > 4096) r.setWidth(hint.width());
  if (r.height() < bar->minimumSizeHint().height() || r.height() > 4096) r.setHeight(hint.height());
  bool visible = false;
  for (QScreen* screen : QGuiApplication::screens()) {
    const QRect common = screen->availableGeometry().intersected(r);
    if (common.width() >= 16 && common.height() >= 8) visible = true;
  }
  if (!visible) {
    const QPoint origin = form->isWindow() ? form->geometry().topLeft() : form->mapToGlobal(QPoint(0, 0));
    r.moveTopLeft(origin + QPoint(40, 40));
  }
  return r;
}

qlonglong ReadNumber(const QSettings& s, const QString& key, qlonglong fallback, qlonglong lo, qlonglong hi) {
  bool ok = false;
  const qlonglong n = s.value(key).toLongLong(&ok);
  return ok ? std::clamp(n, lo, hi) : fallback;
}

}  // namespace

void TDockMetrics::SetControlSize(int width, int height) {
  ControlWidth = std::clamp(width, 1, 256);
  ControlHeight = std::clamp(height, 1, 256);
  for (QWidget* w : QApplication::allWidgets())
    if (auto* bar = qobject_cast<TXToolBar*>(w)) bar->ApplyMetrics();
}

void TDockMetrics::SetSpacing(int horizontal, int vertical) {
  HorizontalSpacing = std::clamp(horizontal, 0, 64);
  VerticalSpacing = std::clamp(vertical, 0, 64);
  for (QWidget* w : QApplication::allWidgets())
    if (auto* bar = qobject_cast<TXToolBar*>(w)) bar->ApplyMetrics();
}

// ------------------------------------------------------------------ TXToolBar

QString TXToolBar::DockName(TDockPos side) {
  switch (side) {
    case dpTop: return QStringLiteral("TopDocks");
    case dpBottom: return QStringLiteral("BottomDocks");
    case dpLeft: return QStringLiteral("LeftDocks");
    default: return QStringLiteral("RightDocks");
  }
}

std::optional<TDockPos> TXToolBar::DockFromName(const QString& name) {
  for (TDockPos side : kSides)
    if (name == DockName(side)) return side;
  return std::nullopt;
}

QMainWindow* TXToolBar::CheckOwner(const QString& name, QWidget* owner) {
  auto* form = qobject_cast<QMainWindow*>(owner);
  if (!form) throw EDockError(name.toStdString() + " XToolBar must be owned by a form");
  return form;
}

TXToolBar::TXToolBar(const QString& name, QWidget* owner, const QString& caption)
    : QToolBar(caption, CheckOwner(name, owner)), Form_(static_cast<QMainWindow*>(owner)) {
  setObjectName(name);
  setFloatable(true);
  setMovable(true);
  ApplyMetrics();
  Form_->addToolBar(Qt::TopToolBarArea, this);
  Form_->installEventFilter(this);
  connect(this, &QToolBar::topLevelChanged, this, [this] {
    if (!Moving_) TellDock();
  });
  connect(this, &QToolBar::orientationChanged, this, [this] {
    if (OnVerticalDock) OnVerticalDock(this);
  });
}

TXToolBar::~TXToolBar() = default;

void TXToolBar::ApplyMetrics() { setIconSize(QSize(TDockMetrics::ControlWidth, TDockMetrics::ControlHeight)); }

void TXToolBar::SetCaption(const QString& caption) {
  setWindowTitle(caption);
  toggleViewAction()->setText(caption);
}

void TXToolBar::SetAllowedDock(TUsedPos sides) {
  AllowedDock_ = sides;
  Qt::ToolBarAreas areas;
  for (TDockPos side : kSides)
    if (sides.Contains(side)) areas |= AreaOf(side);
  setAllowedAreas(areas);
}

std::optional<TDockPos> TXToolBar::DockedTo() const {
  if (isWindow()) return std::nullopt;
  return SideOf(Form_->toolBarArea(const_cast<TXToolBar*>(this)));
}

TBarPlace TXToolBar::Place() const {
  TBarPlace place;
  place.DockLine = WantLine_;
  place.DockPos = WantPos_;
  place.DockedTo = DockedTo();
  if (!place.DockedTo) {
    place.Floating = geometry();
    return place;
  }
  ActivateLayout(Form_);
  for (const TEntry& e : DockedBars(Form_, *place.DockedTo)) {
    if (e.Bar == this) {
      place.DockLine = e.Line;
      place.DockPos = e.Pos;
    }
  }
  return place;
}

void TXToolBar::SetDockedTo(std::optional<TDockPos> side) {
  TBarPlace place;
  place.DockedTo = side;
  place.DockLine = WantLine_;
  place.DockPos = WantPos_;
  place.Floating = LastFloating_;
  if (place.Floating.isEmpty()) place.Floating = QRect(mapToGlobal(QPoint(0, 0)), sizeHint());
  SetPlace(place);
}

void TXToolBar::SetPlace(const TBarPlace& place) { ApplyPlaces(Form_, {{this, place}}); }

void TXToolBar::ApplyPlaces(QMainWindow* form, const QList<QPair<TXToolBar*, TBarPlace>>& places) {
  ActivateLayout(form);
  std::map<TDockPos, std::vector<TEntry>> sides;
  for (TDockPos side : kSides) sides[side] = DockedBars(form, side);
  std::set<TDockPos> changed;
  std::vector<std::pair<TXToolBar*, QRect>> floaters;
  std::vector<TXToolBar*> moved;
  int seq = 1 << 20;  // loaded places come after the bars already there

  for (const auto& [bar, wanted] : places) {
    if (!bar || bar->Form_ != form) continue;
    moved.push_back(bar);
    bar->Moving_ = true;
    if (const auto old = bar->DockedTo()) {
      auto& list = sides[*old];
      std::erase_if(list, [bar](const TEntry& e) { return e.Bar == bar; });
      changed.insert(*old);
      bar->LastSide_ = *old;
    }
    if (wanted.DockedTo && bar->AllowedDock_.Contains(*wanted.DockedTo)) {
      sides[*wanted.DockedTo].push_back({bar, std::max(0, wanted.DockLine), wanted.DockPos, seq++});
      changed.insert(*wanted.DockedTo);
      bar->WantLine_ = std::max(0, wanted.DockLine);
      bar->WantPos_ = wanted.DockPos;
    } else {
      floaters.emplace_back(bar, wanted.Floating);
    }
  }

  for (TDockPos side : changed) {
    auto& list = sides[side];
    std::stable_sort(list.begin(), list.end(), [](const TEntry& a, const TEntry& b) {
      if (a.Line != b.Line) return a.Line < b.Line;
      if (a.Pos != b.Pos) return a.Pos < b.Pos;
      return a.Seq < b.Seq;
    });
    std::vector<bool> shown;
    for (const TEntry& e : list) {
      shown.push_back(!e.Bar->isHidden());
      form->removeToolBar(e.Bar);
    }
    for (size_t i = 0; i < list.size(); ++i) {
      QToolBar* bar = list[i].Bar;
      if (i > 0 && list[i].Line != list[i - 1].Line) form->addToolBarBreak(AreaOf(side));
      if (bar->isWindow()) bar->setWindowFlags(Qt::Widget);
      form->addToolBar(AreaOf(side), bar);
      bar->setVisible(shown[i]);
    }
  }

  for (auto& [bar, rect] : floaters) {
    const bool shown = !bar->isHidden();
    if (!bar->isWindow()) bar->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    const QRect r = SaneFloating(rect, bar, form);
    bar->setGeometry(r);
    bar->LastFloating_ = r;
    bar->setVisible(shown);
  }

  for (TXToolBar* bar : moved) {
    bar->Moving_ = false;
    bar->TellVisibility();
    bar->TellDock();
  }
}

QString TXToolBar::SettingsGroup() const {
  QString key = RegistryKey_;
  key.replace(QLatin1Char('\\'), QLatin1Char('/'));
  while (key.startsWith(QLatin1Char('/'))) key.remove(0, 1);
  while (key.endsWith(QLatin1Char('/'))) key.chop(1);
  return key + QLatin1Char('/') + objectName();
}

void TXToolBar::SavePosition() const {
  const TBarPlace place = Place();
  QSettings s;
  s.beginGroup(SettingsGroup());
  if (place.DockedTo) {
    s.setValue("DockedTo", DockName(*place.DockedTo));
    s.setValue("DockLine", place.DockLine);
    s.setValue("DockPos", place.DockPos);
  } else {
    s.setValue("DockedTo", QString());
    s.setValue("Left", place.Floating.left());
    s.setValue("Top", place.Floating.top());
    s.setValue("Width", place.Floating.width());
    s.setValue("Height", place.Floating.height());
  }
}

bool TXToolBar::HasSavedPosition() const {
  QSettings s;
  s.beginGroup(SettingsGroup());
  return s.contains("DockedTo");
}

std::optional<TBarPlace> TXToolBar::SavedPlace() const {
  QSettings s;
  s.beginGroup(SettingsGroup());
  if (!s.contains("DockedTo")) return std::nullopt;
  const QVariant v = s.value("DockedTo");
  if (v.userType() != QMetaType::QString) return std::nullopt;  // a list or other garbage
  const QString name = v.toString();
  TBarPlace current = Place();
  constexpr qlonglong kFar = 1000000;
  TBarPlace place;
  if (name.isEmpty()) {
    const QRect now = current.DockedTo ? QRect(mapToGlobal(QPoint(0, 0)), sizeHint()) : current.Floating;
    place.Floating = QRect(static_cast<int>(ReadNumber(s, "Left", now.left(), -kFar, kFar)),
                           static_cast<int>(ReadNumber(s, "Top", now.top(), -kFar, kFar)),
                           static_cast<int>(ReadNumber(s, "Width", now.width(), 0, kFar)),
                           static_cast<int>(ReadNumber(s, "Height", now.height(), 0, kFar)));
    return place;
  }
  place.DockedTo = DockFromName(name);
  if (!place.DockedTo || !AllowedDock_.Contains(*place.DockedTo)) return std::nullopt;
  place.DockLine = static_cast<int>(ReadNumber(s, "DockLine", current.DockLine, 0, 1000));
  place.DockPos = static_cast<int>(ReadNumber(s, "DockPos", current.DockPos, -kFar, kFar));
  return place;
}

void TXToolBar::LoadPosition() {
  if (const auto place = SavedPlace()) SetPlace(*place);
}

QList<TXToolBar*> TXToolBar::BarsOf(QMainWindow* form) {
  return form->findChildren<TXToolBar*>(Qt::FindDirectChildrenOnly);
}

void TXToolBar::LoadPositions(QMainWindow* form) {
  QList<QPair<TXToolBar*, TBarPlace>> places;
  for (TXToolBar* bar : BarsOf(form))
    if (const auto place = bar->SavedPlace()) places.append({bar, *place});
  if (!places.isEmpty()) ApplyPlaces(form, places);
}

void TXToolBar::SavePositions(QMainWindow* form) {
  for (TXToolBar* bar : BarsOf(form)) bar->SavePosition();
}

void TXToolBar::TellVisibility() {
  const bool visible = !isHidden();
  toggleViewAction()->setChecked(visible);
  if (visible == ToldVisible_) return;
  ToldVisible_ = visible;
  if (OnVisibleChanged) OnVisibleChanged(this);
  emit visibleChanged(visible);
}

void TXToolBar::TellDock() {
  const auto side = DockedTo();
  if (side == ToldSide_) return;
  ToldSide_ = side;
  if (side) LastSide_ = *side;
  if (OnDockChanged) OnDockChanged(this);
  emit dockChanged();
}

bool TXToolBar::event(QEvent* event) {
  const bool result = QToolBar::event(event);
  switch (event->type()) {
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
    case QEvent::Show:
    case QEvent::Hide:
      if (!Moving_) TellVisibility();
      break;
    case QEvent::Move:
      if (!Moving_) {
        TellDock();
        if (isWindow()) LastFloating_ = geometry();
      }
      break;
    default: break;
  }
  return result;
}

bool TXToolBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Form_ && event->type() == QEvent::Close && AutoSavePosition_) SavePosition();
  return QToolBar::eventFilter(watched, event);
}

void TXToolBar::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QToolBar::mouseDoubleClickEvent(event);
    return;
  }
  if (isWindow())
    SetDockedTo(LastSide_);
  else
    SetDockedTo(std::nullopt);
  event->accept();
}
