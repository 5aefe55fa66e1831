#include "raster/WinGCanvas.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Pens wider than this draw as this wide: a sane bound that keeps a stray
// width from making a line take forever.
constexpr int kMaxPenWidth = 1024;

using int128 = __int128;

// Offset along the minor axis at step i of a line with `major` steps and
// `minor` cross steps: i * minor / major rounded to nearest (halves up).
int64_t MinorOffset(int64_t i, int64_t major, int64_t minor) {
  if (major == 0) return 0;
  return static_cast<int64_t>((int128(2) * i * minor + major) / (int128(2) * major));
}

}  // namespace

void TWinGCanvas::FillClipped(int64_t left, int64_t top, int64_t right, int64_t bottom, uint8_t index) {
  left = std::max<int64_t>(left, 0);
  top = std::max<int64_t>(top, 0);
  right = std::min<int64_t>(right, Bitmap_.GetWidth());
  bottom = std::min<int64_t>(bottom, Bitmap_.GetHeight());
  if (left >= right || top >= bottom) return;
  for (int64_t y = top; y < bottom; ++y)
    std::memset(Bitmap_.ScanLine(static_cast<int>(y)) + left, index, static_cast<size_t>(right - left));
}

void TWinGCanvas::FillRect(const TRect& rect) { FillClipped(rect.Left, rect.Top, rect.Right, rect.Bottom, BrushColor); }

void TWinGCanvas::Rectangle(int left, int top, int right, int bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const int64_t w = std::clamp(PenWidth, 1, kMaxPenWidth);
  const int64_t l = left, t = top, r = right, b = bottom;
  if (l >= r || t >= b) return;
  FillClipped(l, t, r, std::min(t + w, b), PenColor);           // top
  FillClipped(l, std::max(b - w, t), r, b, PenColor);           // bottom
  FillClipped(l, t, std::min(l + w, r), b, PenColor);           // left
  FillClipped(std::max(r - w, l), t, r, b, PenColor);           // right
}

int TWinGCanvas::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= Bitmap_.GetWidth() || y >= Bitmap_.GetHeight()) return -1;
  return Bitmap_.ScanLine(y)[x];
}

void TWinGCanvas::SetPixel(int x, int y, uint8_t index) {
  if (x < 0 || y < 0 || x >= Bitmap_.GetWidth() || y >= Bitmap_.GetHeight()) return;
  Bitmap_.ScanLine(y)[x] = index;
}

int TWinGCanvas::ColorIndex(TColorRef color) const {
  if (RefFlags(color) == 1) return color & 0xFF;
  const int r = RefRed(color), g = RefGreen(color), b = RefBlue(color);
  int best = 0, bestDist = 0x7FFFFFFF;
  for (int i = 0; i < kColorTableEntries; ++i) {
    const TRGBQuad q = Bitmap_.GetColorEntry(i);
    const int dr = QuadRed(q) - r, dg = QuadGreen(q) - g, db = QuadBlue(q) - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDist) {
      bestDist = d;
      best = i;
    }
  }
  return best;
}

void TWinGCanvas::LineTo(int x, int y) {
  const int64_t xa = PenPos_.X, ya = PenPos_.Y;
  PenPos_ = {x, y};
  const int64_t width = Bitmap_.GetWidth(), height = Bitmap_.GetHeight();
  if (width == 0 || height == 0) return;
  const int w = std::clamp(PenWidth, 1, kMaxPenWidth);
  const int64_t reach = w / 2;  // how far a round pen reaches from the line

  // Work along the major axis: one pixel per step there, and the minor
  // coordinate rounded from the exact line.
  const int64_t dx = x >= xa ? x - xa : xa - x, dy = y >= ya ? y - ya : ya - y;
  const bool xMajor = dx >= dy;
  const int64_t steps = xMajor ? dx : dy, cross = xMajor ? dy : dx;
  const int64_t m0 = xMajor ? xa : ya, c0 = xMajor ? ya : xa;
  const int64_t sm = (xMajor ? x >= xa : y >= ya) ? 1 : -1;
  const int64_t sc = (xMajor ? y >= ya : x >= xa) ? 1 : -1;
  const int64_t mLimit = (xMajor ? width : height) - 1, cLimit = (xMajor ? height : width) - 1;
  const int64_t last = w > 1 ? steps : steps - 1;
  if (last < 0) return;

  // Clip: the steps whose pixel (or pen) touches the bitmap, first along the
  // major axis, then (the minor offset only grows with the step) by binary
  // search along the minor one. Nothing outside is ever visited.
  int64_t lo = sm > 0 ? -reach - m0 : m0 - (mLimit + reach);
  int64_t hi = sm > 0 ? mLimit + reach - m0 : m0 + reach;
  lo = std::max<int64_t>(lo, 0);
  hi = std::min(hi, last);
  if (lo > hi) return;
  const int64_t offMin = sc > 0 ? -reach - c0 : c0 - (cLimit + reach);
  const int64_t offMax = sc > 0 ? cLimit + reach - c0 : c0 + reach;
  {
    int64_t a = lo, b = hi + 1;  // first step with offset >= offMin
    while (a < b) {
      const int64_t mid = a + (b - a) / 2;
      if (MinorOffset(mid, steps, cross) >= offMin) b = mid; else a = mid + 1;
    }
    lo = a;
    a = lo, b = hi + 1;  // first step with offset > offMax
    while (a < b) {
      const int64_t mid = a + (b - a) / 2;
      if (MinorOffset(mid, steps, cross) > offMax) b = mid; else a = mid + 1;
    }
    hi = a - 1;
  }
  if (lo > hi) return;

  // Half-widths of the round pen, row by row.
  std::vector<int64_t> span(static_cast<size_t>(2 * reach + 1));
  for (int64_t oy = -reach; oy <= reach; ++oy) {
    const int64_t room = int64_t(w) * w - 4 * oy * oy;
    int64_t ox = 0;
    while (4 * (ox + 1) * (ox + 1) <= room) ++ox;
    span[static_cast<size_t>(oy + reach)] = room < 0 ? -1 : ox;
  }

  // Step incrementally from the first visible step.
  const int128 num = int128(2) * lo * cross + steps;
  const int64_t den = 2 * std::max<int64_t>(steps, 1);
  int64_t off = steps == 0 ? 0 : static_cast<int64_t>(num / den);
  int64_t rem = steps == 0 ? 0 : static_cast<int64_t>(num % den);
  for (int64_t i = lo; i <= hi; ++i) {
    const int64_t m = m0 + sm * i, c = c0 + sc * off;
    const int64_t px = xMajor ? m : c, py = xMajor ? c : m;
    if (w == 1) {
      SetPixel(static_cast<int>(px), static_cast<int>(py), PenColor);
    } else {
      for (int64_t oy = -reach; oy <= reach; ++oy) {
        const int64_t s = span[static_cast<size_t>(oy + reach)];
        if (s >= 0) FillClipped(px - s, py + oy, px + s + 1, py + oy + 1, PenColor);
      }
    }
    rem += 2 * cross;
    if (rem >= den) {
      rem -= den;
      ++off;
    }
  }
}
