#include "widgets/SurfaceWidget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QString>
#include <algorithm>
#include <cstring>
#include <exception>

#include "widgets/Cursors.h"

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState s;
  if (modifiers & Qt::ShiftModifier) s |= ssShift;
  if (modifiers & Qt::AltModifier) s |= ssAlt;
  if (modifiers & Qt::ControlModifier) s |= ssCtrl;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

namespace {

bool ButtonOf(Qt::MouseButton b, TMouseButton& out) {
  switch (b) {
    case Qt::LeftButton: out = mbLeft; return true;
    case Qt::RightButton: out = mbRight; return true;
    case Qt::MiddleButton: out = mbMiddle; return true;
    default: return false;
  }
}

QPoint PosOf(const QMouseEvent* e) { return e->position().toPoint(); }

}  // namespace

SurfaceWidget::SurfaceWidget(QWidget* parent) : QWidget(parent) {
  // The surface paints every pixel it shows; Qt need not clear first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
}

SurfaceWidget::~SurfaceWidget() { SetSurface(nullptr); }

void SurfaceWidget::SetSurface(TWinGSurface* surface) {
  if (Surface_ == surface) return;
  if (Surface_) Surface_->SetHost(nullptr);
  Surface_ = surface;
  if (Surface_) {
    Surface_->SetHost(this);
    // The surface learns its size (and an auto-sized one may set it).
    const QRect g = geometry();
    Surface_->SetBounds(g.x(), g.y(), g.width(), g.height());
  }
  update();
}

void SurfaceWidget::Invalidate() { update(); }

QRect SurfaceWidget::DirtyWidgetRect() const {
  // The part of the widget a partial paint will show: the surface's dirty
  // rectangle mapped from bitmap to widget pixels, one pixel wider on each
  // side for the rounding of the scale.
  const TWinGBitmap& bm = Surface_->Bitmap();
  const int bw = bm.GetWidth(), bh = bm.GetHeight();
  if (bw <= 0 || bh <= 0) return rect();
  const TRect& d = Surface_->DirtyRect();
  const int64_t cw = width(), ch = height();
  QRect r(QPoint(static_cast<int>(d.Left * cw / bw) - 1, static_cast<int>(d.Top * ch / bh) - 1),
          QPoint(static_cast<int>((d.Right * cw + bw - 1) / bw), static_cast<int>((d.Bottom * ch + bh - 1) / bh)));
  return r.intersected(rect());
}

void SurfaceWidget::Repaint() {
  if (!isVisible()) {
    // Nothing is painted now; the next paint must show the whole picture,
    // not a dirty rectangle over a window that was never drawn.
    if (Surface_) Surface_->SetPartialPaint(false);
    update();
    return;
  }
  if (Surface_ && Surface_->PartialPaint()) {
    const QRect r = DirtyWidgetRect();
    if (r.isEmpty()) {
      Surface_->SetPartialPaint(false);
      return;
    }
    repaint(r);
  } else {
    repaint();
  }
}

void SurfaceWidget::SetCursor(TCursorId cursor) {
  CursorId_ = cursor;
  setCursor(ToolCursor(cursor));
}

void SurfaceWidget::PopupMenu(std::string_view menu, TPoint at) {
  emit popupMenuRequested(QString::fromUtf8(menu.data(), static_cast<qsizetype>(menu.size())),
                          mapToGlobal(QPoint(at.X, at.Y)));
}

TRect SurfaceWidget::BoundsRect() const {
  const QRect g = geometry();
  return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

void SurfaceWidget::SetBounds(int left, int top, int width, int height) {
  if (Aligned_) return;
  setGeometry(left, top, std::max(width, 0), std::max(height, 0));
}

QSize SurfaceWidget::sizeHint() const {
  if (Surface_ && Surface_->BitmapWidth() > 0 && Surface_->BitmapHeight() > 0) {
    const int zoom = Surface_->AutoSize() ? Surface_->AutoSizeZoomPctg() : 100;
    return {Surface_->BitmapWidth() * zoom / 100, Surface_->BitmapHeight() * zoom / 100};
  }
  return QWidget::sizeHint();
}

const QList<QRgb>& SurfaceWidget::ColorsOf(const TWinGBitmap& bitmap) {
  const uint8_t* table = bitmap.ColorTable();
  if (Colors_.isEmpty() || std::memcmp(CachedTable_.data(), table, CachedTable_.size()) != 0) {
    std::memcpy(CachedTable_.data(), table, CachedTable_.size());
    Colors_.resize(256);
    for (int i = 0; i < 256; ++i) Colors_[i] = qRgb(table[4 * i + 2], table[4 * i + 1], table[4 * i]);
  }
  return Colors_;
}

void SurfaceWidget::ShowBitmap(const TWinGBitmap& bitmap, const TRect& source, const TRect& dest) {
  if (!Painter_ || dest.Width() <= 0 || dest.Height() <= 0) return;
  const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  const TRect s{std::max(source.Left, 0), std::max(source.Top, 0), std::min(source.Right, w),
                std::min(source.Bottom, h)};
  if (s.Width() <= 0 || s.Height() <= 0) return;
  // Rows s.Top..s.Bottom-1 lie bottom-up in memory from row h - s.Bottom on;
  // the image reads them where they lie. Qt draws 8-bit pictures scaled
  // only through a generic per-pixel fetch (several milliseconds for a
  // screenful), so its own converter turns just the rows shown into 32-bit
  // colours, which its fast nearest-neighbour scaler then draws.
  const uchar* first = bitmap.Bits() + static_cast<int64_t>(h - s.Bottom) * bitmap.Stride();
  QImage rows(first, w, s.Height(), bitmap.Stride(), QImage::Format_Indexed8);
  rows.setColorTable(ColorsOf(bitmap));
  const QImage shown = rows.convertToFormat(QImage::Format_RGB32);

  QPainter& p = *Painter_;
  p.save();
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  // Scale and turn over in one step: the image's first row is the lowest
  // row shown, so it lands at the bottom of dest.
  const double sx = double(dest.Width()) / s.Width(), sy = double(dest.Height()) / s.Height();
  p.setTransform(QTransform(sx, 0, 0, -sy, dest.Left, dest.Bottom), true);
  p.drawImage(QPointF(0, 0), shown, QRectF(s.Left, 0, s.Width(), s.Height()));
  p.restore();
}

void SurfaceWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  LastPainted_ = event->rect();
  if (!Surface_) {
    painter.fillRect(event->rect(), palette().window());
    return;
  }
  // A partial paint shows only the dirty rectangle; an event asking for
  // more (an expose that Qt merged in) gets the whole picture.
  if (Surface_->PartialPaint() && !DirtyWidgetRect().contains(event->rect())) Surface_->SetPartialPaint(false);
  Painter_ = &painter;
  try {
    Surface_->Paint();
  } catch (const std::exception&) {
    // A surface that cannot draw (a bitmap beyond the size limits) shows
    // the background; an exception must not cross Qt's event loop.
    painter.fillRect(event->rect(), palette().window());
  }
  Painter_ = nullptr;
  if (OnPaintOverlay) OnPaintOverlay(painter);
}

void SurfaceWidget::mousePressEvent(QMouseEvent* event) {
  TMouseButton b;
  if (!Surface_ || !ButtonOf(event->button(), b)) return QWidget::mousePressEvent(event);
  const QPoint p = PosOf(event);
  Surface_->MouseDown(b, ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void SurfaceWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  TMouseButton b;
  if (!Surface_ || !ButtonOf(event->button(), b)) return QWidget::mouseDoubleClickEvent(event);
  const QPoint p = PosOf(event);
  Surface_->MouseDown(b, ShiftStateOf(event->modifiers(), event->buttons()) | ssDouble, p.x(), p.y());
}

void SurfaceWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!Surface_) return QWidget::mouseMoveEvent(event);
  const QPoint p = PosOf(event);
  Surface_->MouseMove(ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void SurfaceWidget::mouseReleaseEvent(QMouseEvent* event) {
  TMouseButton b;
  if (!Surface_ || !ButtonOf(event->button(), b)) return QWidget::mouseReleaseEvent(event);
  const QPoint p = PosOf(event);
  // The released button is no longer in buttons(); the surface is told the
  // state after the release, as the platform reports it.
  Surface_->MouseUp(b, ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void SurfaceWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!Surface_) return;
  const QRect g = geometry();
  Surface_->SetBounds(g.x(), g.y(), g.width(), g.height());
}

QImage ImageOfBitmap(const TWinGBitmap& bm) {
  if (bm.GetWidth() <= 0 || bm.GetHeight() <= 0) return {};
  QImage rows(bm.Bits(), bm.GetWidth(), bm.GetHeight(), bm.Stride(), QImage::Format_Indexed8);
  QList<QRgb> colors(256);
  for (int i = 0; i < 256; ++i) {
    const uint8_t* c = bm.ColorTable() + 4 * i;
    colors[i] = qRgb(c[2], c[1], c[0]);
  }
  rows.setColorTable(colors);
  // Rows lie bottom-up; the mirrored copy owns its pixels.
  return rows.mirrored(false, true);
}
