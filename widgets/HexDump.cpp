#include "widgets/HexDump.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextOption>
#include <algorithm>
#include <climits>

THexDump::THexDump(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::Box);
  setFrameShadow(QFrame::Plain);
  // Every pixel is painted here, which lets a scroll move the picture
  // instead of repainting it.
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  resize(300, 200);
  MeasureFont();
}

void THexDump::SetData(const uint8_t* data) {
  Layout_.SetData(data);
  viewport()->update();
}

void THexDump::SetDataSize(int64_t bytes) {
  Layout_.SetDataSize(bytes);
  SyncScrollBar();
  viewport()->update();
}

void THexDump::SetAddressColor(const QColor& c) {
  Colors_[0] = c;
  viewport()->update();
}

void THexDump::SetHexDataColor(const QColor& c) {
  Colors_[1] = c;
  viewport()->update();
}

void THexDump::SetAnsiCharColor(const QColor& c) {
  Colors_[2] = c;
  viewport()->update();
}

void THexDump::SetColor(const QColor& c) {
  Background_ = c;
  viewport()->update();
}

void THexDump::SetBorder(TBorder border) {
  if (border == Border_) return;
  Border_ = border;
  setFrameShape(border == bsSingle ? QFrame::Box : QFrame::NoFrame);
  Relayout();
}

void THexDump::SetShowAddress(bool v) {
  Layout_.SetShowAddress(v);
  SyncScrollBar();
  viewport()->update();
}

void THexDump::SetShowAddressFromZero(bool v) {
  Layout_.SetShowAddressFromZero(v);
  viewport()->update();
}

void THexDump::SetShowCharacters(bool v) {
  Layout_.SetShowCharacters(v);
  SyncScrollBar();
  viewport()->update();
}

void THexDump::MeasureFont() {
  const QFontMetrics fm(font());
  Layout_.SetFontMetrics(fm.height(), fm.horizontalAdvance(QLatin1Char('D')));
  Relayout();
}

void THexDump::Relayout() {
  Layout_.SetClientSize(viewport()->width(), viewport()->height());
  SyncScrollBar();
  viewport()->update();
}

void THexDump::SyncScrollBar() {
  // Members are below 2 GB, so the row count fits the scroll bar's int.
  QScrollBar* bar = verticalScrollBar();
  Syncing_ = true;
  bar->setRange(0, static_cast<int>(std::min<int64_t>(Layout_.ScrollMax(), INT_MAX)));
  bar->setPageStep(std::max(Layout_.VisibleRows() - 1, 1));
  bar->setSingleStep(1);
  bar->setValue(static_cast<int>(std::min<int64_t>(Layout_.TopRow(), INT_MAX)));
  Syncing_ = false;
}

void THexDump::ShowTopRowChange(int64_t delta) {
  if (delta == 1 || delta == -1)
    viewport()->scroll(0, static_cast<int>(-delta) * Layout_.RowHeight());
  else if (delta != 0)
    viewport()->update();
  SyncScrollBar();
}

void THexDump::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Relayout();
}

void THexDump::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) MeasureFont();
}

void THexDump::scrollContentsBy(int, int) {
  if (Syncing_) return;
  ShowTopRowChange(Layout_.Scroll(hsThumbPosition, verticalScrollBar()->value()));
}

void THexDump::keyPressEvent(QKeyEvent* event) {
  THexKey key = hkOther;
  switch (event->key()) {
    case Qt::Key_PageUp: key = hkPageUp; break;
    case Qt::Key_PageDown: key = hkPageDown; break;
    case Qt::Key_End: key = hkEnd; break;
    case Qt::Key_Home: key = hkHome; break;
    case Qt::Key_Up: key = hkUp; break;
    case Qt::Key_Down: key = hkDown; break;
    default: break;
  }
  if (key == hkOther) {
    // Enter, Escape and the rest belong to the dialog around us.
    event->ignore();
    return;
  }
  ShowTopRowChange(Layout_.KeyDown(key));
  event->accept();
}

void THexDump::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !Layout_.HasData()) return;
  setFocus(Qt::MouseFocusReason);
  ShowTopRowChange(Layout_.MouseDown(static_cast<int>(event->position().y())));
}

void THexDump::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  const QRect clip = event->rect();
  p.fillRect(clip, Background_);
  const int rowHeight = Layout_.RowHeight();
  if (!Layout_.HasData() || rowHeight <= 0) return;
  p.setFont(font());
  const int cw = Layout_.CharWidth();
  const int width = viewport()->width();
  const int ascent = QFontMetrics(font()).ascent();
  QTextOption hexOption;
  hexOption.setTabStopDistance(3.0 * cw);
  hexOption.setWrapMode(QTextOption::NoWrap);
  // Only the rows the paint asks for are formatted.
  const int first = std::max(clip.top() / rowHeight, 0);
  const int last = std::min(clip.bottom() / rowHeight, Layout_.VisibleRows() - 1);
  for (int r = first; r <= last; ++r) {
    const int64_t row = Layout_.TopRow() + r;
    if (row >= Layout_.RowCount()) break;  // the background is drawn already
    const int y = r * rowHeight;
    int x = 1;
    if (Layout_.ShowAddress()) {
      const int boxWidth = THexDumpLayout::AddressChars * cw;
      p.setPen(Colors_[0]);
      p.drawText(x, y + 1 + ascent, QString::fromLatin1(Layout_.AddressText(row)));
      x += boxWidth;
    }
    p.setPen(Colors_[1]);
    p.drawText(QRectF(Layout_.HexColumnX(), y + 1, width, rowHeight), QString::fromLatin1(Layout_.HexText(row)),
               hexOption);
    if (Layout_.ShowCharacters()) {
      // Control characters (the 8-bit ones too) would move the pen, break
      // the line or show as boxes; they show as dots.
      std::string chars = Layout_.CharText(row);
      for (char& c : chars) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || (u >= 0x7F && u < 0xA0)) c = '.';
      }
      p.setPen(Colors_[2]);
      p.drawText(Layout_.CharColumnX(), y + 1 + ascent, QString::fromLatin1(chars));
    }
  }
}
