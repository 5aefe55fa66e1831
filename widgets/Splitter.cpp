#include "widgets/Splitter.h"

#include <QMouseEvent>
#include <QPalette>
#include <algorithm>

TSplitter::TSplitter(Qt::Orientation orientation, QWidget* parent)
    : QFrame(parent), Orientation_(orientation), SplitColor_(Qt::darkGray) {
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  if (orientation == Qt::Horizontal) {
    setFixedWidth(kThickness);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    setCursor(Qt::SplitHCursor);
  } else {
    setFixedHeight(kThickness);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::SplitVCursor);
  }
}

void TSplitter::SetSplitColor(const QColor& color) {
  SplitColor_ = color;
  if (Band_) {
    QPalette pal = Band_->palette();
    pal.setColor(QPalette::Window, color);
    Band_->setPalette(pal);
  }
}

int TSplitter::Along(const QPointF& p) const {
  return static_cast<int>(Orientation_ == Qt::Horizontal ? p.x() : p.y());
}

void TSplitter::PlaceBand() {
  QRect r = geometry();
  if (Orientation_ == Qt::Horizontal)
    r.translate(Offset_, 0);
  else
    r.translate(0, Offset_);
  Band_->setGeometry(r);
  Band_->raise();
}

void TSplitter::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !parentWidget()) {
    QFrame::mousePressEvent(event);
    return;
  }
  if (!Band_) {
    Band_ = new QWidget(parentWidget());
    Band_->setAttribute(Qt::WA_TransparentForMouseEvents);
    Band_->setAutoFillBackground(true);
    SetSplitColor(SplitColor_);
  }
  Dragging_ = true;
  Grab_ = Along(event->position());
  Offset_ = 0;
  PlaceBand();
  Band_->show();
  event->accept();
}

void TSplitter::mouseMoveEvent(QMouseEvent* event) {
  if (!Dragging_) {
    QFrame::mouseMoveEvent(event);
    return;
  }
  // The band stays wholly inside the parent's client area.
  const QRect g = geometry();
  const QRect client = parentWidget()->rect();
  const int lowest = Orientation_ == Qt::Horizontal ? client.left() - g.left() : client.top() - g.top();
  const int highest = Orientation_ == Qt::Horizontal ? client.right() - g.right() : client.bottom() - g.bottom();
  Offset_ = std::clamp(Along(event->position()) - Grab_, std::min(lowest, 0), std::max(highest, 0));
  PlaceBand();
  event->accept();
}

void TSplitter::mouseReleaseEvent(QMouseEvent* event) {
  if (!Dragging_ || event->button() != Qt::LeftButton) {
    QFrame::mouseReleaseEvent(event);
    return;
  }
  Dragging_ = false;
  Band_->hide();
  const int offset = Offset_;
  Offset_ = 0;
  event->accept();
  ApplyDistance(offset);
}

THorzSplit::THorzSplit(QWidget* parent) : TSplitter(Qt::Horizontal, parent) {}

void THorzSplit::ApplyDistance(int distance) {
  if (IsRight_) distance = -distance;
  if (LeftControl_) LeftControl_->setFixedWidth(std::max(0, LeftControl_->width() + distance));
  if (OnSplitChanged) OnSplitChanged(this, distance);
  emit splitChanged(distance);
}

TVertSplit::TVertSplit(QWidget* parent) : TSplitter(Qt::Vertical, parent) {}

void TVertSplit::ApplyDistance(int distance) {
  if (TopControl_) TopControl_->setFixedHeight(std::max(0, TopControl_->height() + distance));
  if (OnSplitChanged) OnSplitChanged(this, distance);
  emit splitChanged(distance);
}
