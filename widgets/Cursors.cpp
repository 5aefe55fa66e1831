#include "widgets/Cursors.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

struct TToolCursorInfo {
  const char* Name;
  int HotX, HotY;  // in the 32 x 32 drawing
};

// The sixteen tool cursors, by identifier 1..16. The hot spot is where the
// drawing points, in its 32 x 32 grid: the tip of a brush, pipette or pencil,
// the arrow's tip, the lens centre of the magnifiers, the crosshair centre,
// the drop at the end of the bucket's pour, the palm of the hand.
constexpr TToolCursorInfo kToolCursors[16] = {
    {"BRUSH", 4, 28},      {"FULLPIPET", 4, 28},  {"EMPTYPIPET", 4, 28}, {"HAND", 16, 18},
    {"PENCIL", 4, 28},     {"VTXEDT", 2, 2},      {"ZOOMIN", 12, 12},    {"ZOOMOUT", 12, 12},
    {"COPYDRAG", 2, 2},    {"HOTSPOTGO", 16, 16}, {"HOTSPOTPT", 16, 16}, {"CRFILL", 4, 27},
    {"ZOOM", 12, 12},      {"SCALEOBJ", 2, 2},    {"MOVEOBJ", 2, 2},     {"ROTOBJ", 2, 2},
};

Qt::CursorShape SystemCursor(TCursorId id) {
  switch (id) {
    case -2: return Qt::ArrowCursor;
    case -3: return Qt::CrossCursor;
    case -4: return Qt::IBeamCursor;
    case -6: return Qt::SizeFDiagCursor;
    case -7: return Qt::SizeVerCursor;
    case -8: return Qt::SizeBDiagCursor;
    case -9: return Qt::SizeHorCursor;
    case -10: return Qt::UpArrowCursor;
    case -11: return Qt::WaitCursor;
    case -12: return Qt::DragMoveCursor;
    case -13: return Qt::DragCopyCursor;
    case -14: return Qt::SplitHCursor;
    case -15: return Qt::SplitVCursor;
    case -16: return Qt::ForbiddenCursor;
    case -17: return Qt::BusyCursor;
    case -18: return Qt::ForbiddenCursor;
    case -19: return Qt::BusyCursor;
    case -21: return Qt::PointingHandCursor;
    case -22: return Qt::SizeAllCursor;
    default: return Qt::ArrowCursor;
  }
}

QCursor MakeToolCursor(const TToolCursorInfo& info) {
  const QString file = QStringLiteral(":/cursors/%1.svg").arg(QString::fromLatin1(info.Name).toLower());
  QSvgRenderer renderer(file);
  if (!renderer.isValid()) return QCursor(Qt::ArrowCursor);
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  renderer.render(&p, QRectF(0, 0, 32, 32));
  p.end();
  return QCursor(pm, info.HotX, info.HotY);
}

}  // namespace

const char* ToolCursorName(TCursorId id) {
  if (id < 1 || id > 16) return "";
  return kToolCursors[id - 1].Name;
}

QCursor ToolCursor(TCursorId id) {
  if (id <= 0) return QCursor(SystemCursor(id));
  if (id > 16) return QCursor(Qt::ArrowCursor);
  // Drawn once each; cursors are cheap to copy.
  static QHash<int, QCursor> cache;
  auto it = cache.find(id);
  if (it == cache.end()) it = cache.insert(id, MakeToolCursor(kToolCursors[id - 1]));
  return *it;
}
