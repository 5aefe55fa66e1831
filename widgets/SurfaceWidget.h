#pragma once
// The window side of a drawing surface: a QWidget that hosts a TWinGSurface.
// It shows the surface's 8-bit bitmap through a QImage over the bitmap's
// own bytes (Qt turns the rows being shown into screen colours), scaled
// nearest-neighbour; turns Qt's mouse events into the surface's mouse
// down/move/up with the shift state; tells the surface its size; and
// answers the surface's requests for repaints, cursors and pop-up menus.

#include <QImage>
#include <QList>
#include <QRgb>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "raster/WinGSurface.h"

class QPainter;

class SurfaceWidget : public QWidget, public TSurfaceHost {
  Q_OBJECT

public:
  explicit SurfaceWidget(QWidget* parent = nullptr);
  ~SurfaceWidget() override;

  // Attaches the surface (not owned; null detaches). The surface must be
  // detached, or the widget gone, before the surface is destroyed.
  void SetSurface(TWinGSurface* surface);
  TWinGSurface* Surface() const { return Surface_; }

  // Whether the parent lays the widget out (the default: it sits in a
  // layout or fills a panel). A free-standing widget (false) takes the size
  // an auto-sized surface asks for.
  void SetAligned(bool aligned) { Aligned_ = aligned; }

  // Drawn over the picture after every paint, in widget coordinates: the
  // text labels a view records for its picture.
  std::function<void(QPainter&)> OnPaintOverlay;

  // ---- TSurfaceHost
  void Invalidate() override;
  void Repaint() override;
  void SetCursor(TCursorId cursor) override;
  void PopupMenu(std::string_view menu, TPoint at) override;
  TRect BoundsRect() const override;
  void SetBounds(int left, int top, int width, int height) override;
  bool IsAligned() const override { return Aligned_; }
  void ShowBitmap(const TWinGBitmap& bitmap, const TRect& source, const TRect& dest) override;

  QSize sizeHint() const override;

  // The cursor last asked for by the surface.
  TCursorId CurrentCursorId() const { return CursorId_; }
  // The widget-coordinate rectangle the last paint event covered (tests and
  // benchmarks check that a partial paint stays partial).
  QRect LastPaintedRect() const { return LastPainted_; }

signals:
  // The surface asks for its named pop-up menu at a screen position.
  void popupMenuRequested(const QString& menu, const QPoint& globalPos);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  QRect DirtyWidgetRect() const;
  const QList<QRgb>& ColorsOf(const TWinGBitmap& bitmap);

  TWinGSurface* Surface_ = nullptr;
  QPainter* Painter_ = nullptr;  // set while a paint event runs
  bool Aligned_ = true;
  TCursorId CursorId_ = 0;
  QRect LastPainted_;
  // The colour table as Qt wants it, made again only when the bitmap's changes.
  std::array<uint8_t, kColorTableSize> CachedTable_{};
  QList<QRgb> Colors_;
};

// A copy of an 8-bit bitmap as a Qt picture, top row first, in the bitmap's
// colours (null for an empty bitmap).
QImage ImageOfBitmap(const TWinGBitmap& bitmap);

// The shift state of a Qt mouse event in the surface's terms.
TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
