// Pixel work on skins: the pen, lines and flood fill the skin editor paints
// with, colour replacement, resizing and copying between skins and picture
// files, the triangle outlines and the one-block-per-piece layout.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/Format.h"
#include "core/Streams.h"
#include "mdl/Mdl.h"
#include "raster/ColorTables.h"
#include "raster/WinGCanvas.h"

namespace {

// A flood fill follows at most this many nested steps; what lies deeper is
// left for the next fill, as the skin editor has always done it.
constexpr int kFloodDepth = 3000;

int RoundUp4(int v) { return (v + 3) & ~3; }

// Halves to even, as the line steps are rounded.
int NearestInt(double v) { return static_cast<int>(std::nearbyint(v)); }

// Copies the block (left, top)-(right, bottom) of `src` (right and bottom
// exclusive) to (x, y) of `dest`, indices unchanged; what falls outside
// either image is skipped.
void CopyBlock(TWinGBitmap& dest, int64_t x, int64_t y, const TWinGBitmap& src, int64_t left, int64_t top,
               int64_t right, int64_t bottom) {
  for (int64_t sy = top; sy < bottom; ++sy) {
    const int64_t dy = y + sy - top;
    if (sy < 0 || sy >= src.GetHeight() || dy < 0 || dy >= dest.GetHeight()) continue;
    int64_t sx0 = std::max<int64_t>(left, 0);
    int64_t sx1 = std::min<int64_t>(right, src.GetWidth());
    // Clip against the destination too.
    sx0 = std::max<int64_t>(sx0, left - x);
    sx1 = std::min<int64_t>(sx1, left - x + dest.GetWidth());
    if (sx0 >= sx1) continue;
    std::memcpy(dest.ScanLine(static_cast<int>(dy)) + (x + sx0 - left), src.ScanLine(static_cast<int>(sy)) + sx0,
                static_cast<size_t>(sx1 - sx0));
  }
}

}  // namespace

void RemapToGamePalette(TWinGBitmap& image) {
  // A picture whose colour table is exactly the game palette keeps its
  // indices: remapping by colour would move the palette's duplicate colours
  // (fullbright and player-colour indices among them) to their plain twins.
  const TWinGPalette& game = GamePalette();
  for (int i = 0; i < kColorTableEntries; ++i)
    if ((image.GetColorEntry(i) & 0xFFFFFFu) != (game.GetColor(i) & 0xFFFFFFu)) {
      image.RemapToPalette(game);
      return;
    }
  image.SetPalette(game.NewHandle());
}

// ---- painting ------------------------------------------------------------------------

void TMDLBitmap::SetPixel(int x, int y, uint8_t color) {
  const int d = PenSize > 0 ? PenSize - 1 : 0;
  const int h = d / 2, e = d % 2;
  // Clipped up front so a huge pen costs no more than the image.
  const int64_t r0 = std::max<int64_t>(int64_t{y} - h, 0), r1 = std::min<int64_t>(int64_t{y} + h + e, Height - 1);
  const int64_t c0 = std::max<int64_t>(int64_t{x} - h, 0), c1 = std::min<int64_t>(int64_t{x} + h + e, Width - 1);
  for (int64_t r = r0; r <= r1; ++r) {
    uint8_t* row = Image.ScanLine(static_cast<int>(r));
    for (int64_t c = c0; c <= c1; ++c) {
      AdjustCount(row[c], -1);
      row[c] = color;
      AdjustCount(color, 1);
    }
  }
}

void TMDLBitmap::MoveTo(int x, int y) {
  PenX = x;
  PenY = y;
  SetPixel(x, y, PenColor);
}

void TMDLBitmap::LineTo(int x, int y) {
  const int64_t dx = int64_t{x} - PenX, dy = int64_t{y} - PenY;
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  if (adx >= PenReach || ady >= PenReach) {
    MoveTo(x, y);  // too far: a new stroke starts here
    return;
  }
  if (adx <= ady) {
    if (dy >= 1) {
      const double step = static_cast<double>(dx) / static_cast<double>(dy);
      double fx = PenX;
      for (int r = PenY; r <= y; ++r) {
        SetPixel(NearestInt(fx), r, PenColor);
        fx += step;
      }
    } else if (dy < 0) {
      const double step = -static_cast<double>(dx) / static_cast<double>(dy);
      double fx = PenX;
      for (int r = PenY; r >= y; --r) {
        SetPixel(NearestInt(fx), r, PenColor);
        fx += step;
      }
    }
  } else if (dx >= 1) {
    const double step = static_cast<double>(dy) / static_cast<double>(dx);
    double fy = PenY;
    for (int c = PenX; c <= x; ++c) {
      SetPixel(c, NearestInt(fy), PenColor);
      fy += step;
    }
  } else {
    const double step = -static_cast<double>(dy) / static_cast<double>(dx);
    double fy = PenY;
    for (int c = PenX; c >= x; --c) {
      SetPixel(c, NearestInt(fy), PenColor);
      fy += step;
    }
  }
  PenX = x;
  PenY = y;
}

void TMDLBitmap::FloodFill(int x, int y, uint8_t color) {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return;
  const uint8_t old = Pixel(x, y);
  if (old == color) return;
  // A depth-first walk with an explicit stack that visits the pixels in the
  // order of the nested fill: down, left, up, right, each as deep as it
  // goes, and none at a nesting depth of kFloodDepth or more.
  struct TStep {
    int32_t X, Y;
    uint8_t* P;
    int32_t Next;  // the neighbour to try next, 0..3
  };
  const int w = Width, h = Height;
  uint8_t* const top = Image.ScanLine(0);
  // Rows are stored bottom-up, so the row below is `down` bytes away.
  const ptrdiff_t down = h > 1 ? Image.ScanLine(1) - top : 0;
  std::vector<TStep> stack(kFloodDepth);
  int depth = 0;
  int32_t filled = 1;
  stack[0] = TStep{x, y, top + y * down + x, 0};
  *stack[0].P = color;
  depth = 1;
  // Neighbours in visiting order: below, left, above, right.
  const int nxStep[4] = {0, -1, 0, 1};
  const int nyStep[4] = {1, 0, -1, 0};
  const ptrdiff_t pStep[4] = {down, -1, -down, 1};
  while (depth > 0) {
    // A step at the deepest level can visit nothing more.
    if (depth + 1 >= kFloodDepth) {
      --depth;
      continue;
    }
    TStep& s = stack[static_cast<size_t>(depth - 1)];
    bool pushed = false;
    while (s.Next < 4) {
      const int k = s.Next++;
      const int nx = s.X + nxStep[k], ny = s.Y + nyStep[k];
      if (static_cast<unsigned>(nx) >= static_cast<unsigned>(w) ||
          static_cast<unsigned>(ny) >= static_cast<unsigned>(h))
        continue;
      uint8_t* const np = s.P + pStep[k];
      if (*np != old) continue;
      *np = color;
      ++filled;
      stack[static_cast<size_t>(depth++)] = TStep{nx, ny, np, 0};
      pushed = true;
      break;
    }
    if (!pushed) --depth;
  }
  AdjustCount(old, -filled);
  AdjustCount(color, filled);
}

void TMDLBitmap::ReplaceColor(uint8_t oldColor, uint8_t newColor) {
  uint8_t* bits = Image.Bits();
  const size_t n = static_cast<size_t>(Image.Stride()) * static_cast<size_t>(std::max(Image.GetHeight(), 0));
  for (size_t i = 0; i < n; ++i) bits[i] = bits[i] == oldColor ? newColor : bits[i];
  RecountColors();
}

void TMDLBitmap::RestrictColors(const TColorSet& excluded) {
  TWinGPaletteMap map;
  map.RestrictColors(excluded, GamePalette());
  TColorHistogram histogram{};
  map.ApplyToBits(Image.BitStream(), histogram);
  // The histogram also counts the row padding of odd widths; count again.
  if (Image.Stride() == Width) {
    std::copy(histogram.begin(), histogram.end(), ColorCount_.begin());
    ColorCountValid_ = true;
  } else {
    RecountColors();
  }
}

// ---- copying and resizing ----------------------------------------------------------------

void TMDLBitmap::SaveImageToStream(TStream& stream) {
  Image.SetPalette(GamePalette().NewHandle());
  ColorMapValid = false;
  Image.SaveToStream(stream);
}

void TMDLBitmap::LoadScaled(TStream& stream) {
  stream.SetPosition(0);
  TWinGBitmap picture;
  picture.LoadFromStream(stream);
  RemapToGamePalette(picture);
  StretchFrom(picture);
}

void TMDLBitmap::StretchFrom(const TWinGBitmap& image) {
  Image.SetPalette(GamePalette().NewHandle());
  StretchCopy(Image, TRect{0, 0, Width, Height}, image, TRect{0, 0, image.GetWidth(), image.GetHeight()});
  RecountColors();
  ColorMapValid = false;
}

void TMDLBitmap::Resize(int width, int height) {
  // The picture goes through a copy rather than a file image in memory:
  // the same stretch, without writing and parsing a BMP.
  TWinGBitmap old;
  Image.SetPalette(GamePalette().NewHandle());
  old.Assign(Image);
  SetSize(RoundUp4(width), height);
  StretchFrom(old);
}

void TMDLBitmap::Assign(const TMDLBitmap& skin) {
  if (&skin == this) return;
  Name = skin.Name;
  SetSize(skin.Width, skin.Height);
  Gamma = skin.Gamma;
  TopColor = skin.TopColor;
  BottomColor = skin.BottomColor;
  ColorMapValid = false;
  for (int y = 0; y < Height; ++y) std::memcpy(Row(y), skin.Row(y), static_cast<size_t>(Width));
  RecountColors();
}

void TMDLBitmap::Draw(TWinGCanvas& canvas, const TRect& rect) {
  const TWinGBitmap& source = DisplayImage();
  TWinGBitmap& target = canvas.Bitmap();
  // Each displayed colour lands on the target's nearest colour, as a copy
  // between pictures of different colour tables does.
  std::array<uint8_t, 256> map{};
  for (int i = 0; i < kColorTableEntries; ++i) {
    const TRGBQuad q = source.GetColorEntry(i);
    map[static_cast<size_t>(i)] =
        static_cast<uint8_t>(canvas.ColorIndex(MakeColorRef(QuadRed(q), QuadGreen(q), QuadBlue(q))));
  }
  TWinGBitmap mapped;
  mapped.Assign(source);
  for (int y = 0; y < mapped.GetHeight(); ++y) {
    uint8_t* row = mapped.ScanLine(y);
    for (int x = 0; x < mapped.GetWidth(); ++x) row[x] = map[row[x]];
  }
  StretchCopy(target, rect, mapped, TRect{0, 0, mapped.GetWidth(), mapped.GetHeight()});
}

void TMDLBitmap::AppendSkin(const TMDLBitmap& other) {
  TWinGBitmap old;
  old.Assign(Image);
  const int w1 = Width, h1 = Height, w2 = other.Width, h2 = other.Height;
  const int W = RoundUp4(w1 + w2);
  SetSize(W, std::max(h1, h2));
  CopyBlock(Image, 0, 0, old, 0, 0, w1 / 2, h1);
  CopyBlock(Image, W / 2, 0, old, w1 / 2, 0, w1, h1);
  CopyBlock(Image, w1 / 2, 0, other.Image, 0, 0, w2 / 2, h2);
  CopyBlock(Image, W / 2 + w1 / 2, 0, other.Image, w2 / 2, 0, w2, h2);
  RecountColors();
}

// ---- the skin list ---------------------------------------------------------------------

void TMDLBitmapList::Resize(int width, int height) {
  TMDLFiler& header = *Model->Header;
  TMDLVertexList& verts = *Model->Vertices;
  // Without an old size there is nothing to scale by; the vertices stay.
  for (int i = 0; i < verts.Count(); ++i) {
    TSkinVertex& v = verts.Item(i);
    if (header.SkinWidth != 0) v.S = static_cast<int32_t>(int64_t{v.S} * width / header.SkinWidth);
    if (header.SkinHeight != 0) v.T = static_cast<int32_t>(int64_t{v.T} * height / header.SkinHeight);
  }
  for (int k = 0; k < Count(); ++k) Skin(k).Resize(width, height);
}

void TMDLBitmapList::PaintTriangles(int k) {
  if (k < 0 || k >= Count()) return;
  TMDLBitmap& skin = Skin(k);
  const TMDLFiler& header = *Model->Header;
  // The outlines are drawn in skin-vertex coordinates on a mask of the
  // header's skin size, then laid over the skin in the game colour nearest
  // to white. The other pixels keep their indices: a trip through display
  // colours would darken or merge many of them.
  TWinGBitmap mask;
  mask.SetSize(std::max(header.SkinWidth, 0), std::max(header.SkinHeight, 0));
  if (mask.GetWidth() == 0 || mask.GetHeight() == 0 || skin.Width == 0 || skin.Height == 0) return;
  TWinGCanvas& canvas = mask.Canvas();
  canvas.PenColor = 1;
  canvas.PenWidth = 0;
  const int half = mask.GetWidth() / 2;
  const TMDLVertexList& verts = *Model->Vertices;
  const int nv = verts.Count();
  for (const TTriangle& t : Model->Triangles->Items()) {
    TPoint p[3];
    bool valid = true;
    for (int c = 0; c < 3; ++c) {
      const int v = t.Vertex[c];
      if (v < 0 || v >= nv) {
        valid = false;
        break;
      }
      const TSkinVertex sv = verts.Get(v);
      // Far-off coordinates (a damaged file) are only clipped away; kept
      // within int they cannot overflow on the way.
      const int64_t s = t.FacesFront == 1 || sv.Flags == 0 ? int64_t{sv.S} : int64_t{sv.S} + half;
      p[c] = TPoint{static_cast<int>(std::clamp<int64_t>(s, INT32_MIN / 2, INT32_MAX / 2)), sv.T};
    }
    if (!valid) continue;
    canvas.MoveTo(p[0].X, p[0].Y);
    canvas.LineTo(p[1].X, p[1].Y);
    canvas.LineTo(p[2].X, p[2].Y);
    canvas.LineTo(p[0].X, p[0].Y);
  }
  const uint8_t white = static_cast<uint8_t>(GamePalette().Handle().NearestIndex(255, 255, 255));
  TWinGBitmap scaled;
  const TWinGBitmap* m = &mask;
  if (mask.GetWidth() != skin.Width || mask.GetHeight() != skin.Height) {
    scaled.SetSize(skin.Width, skin.Height);
    StretchCopy(scaled, TRect{0, 0, skin.Width, skin.Height}, mask, TRect{0, 0, mask.GetWidth(), mask.GetHeight()});
    m = &scaled;
  }
  for (int y = 0; y < skin.Height; ++y) {
    const uint8_t* in = m->ScanLine(y);
    uint8_t* out = skin.Row(y);
    for (int x = 0; x < skin.Width; ++x)
      if (in[x]) out[x] = white;
  }
  skin.RecountColors();
}

void TMDLBitmapList::RearrangeObjectSkins() {
  TMDLVertexList& verts = *Model->Vertices;
  TMDLFiler& header = *Model->Header;
  const int nv = verts.Count();
  const int64_t h = header.SkinWidth / 2;

  // Connected pieces, numbered in the order of their lowest vertex.
  std::vector<int32_t> piece(static_cast<size_t>(nv), -1);
  {
    std::vector<int32_t> parent(static_cast<size_t>(nv));
    for (int i = 0; i < nv; ++i) parent[static_cast<size_t>(i)] = i;
    auto find = [&](int32_t a) {
      while (parent[static_cast<size_t>(a)] != a) {
        parent[static_cast<size_t>(a)] = parent[static_cast<size_t>(parent[static_cast<size_t>(a)])];
        a = parent[static_cast<size_t>(a)];
      }
      return a;
    };
    auto unite = [&](int32_t a, int32_t b) {
      a = find(a);
      b = find(b);
      if (a != b) parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
    };
    for (const TTriangle& t : Model->Triangles->Items()) {
      const int32_t a = t.Vertex[0], b = t.Vertex[1], c = t.Vertex[2];
      if (a < 0 || a >= nv || b < 0 || b >= nv || c < 0 || c >= nv) continue;
      unite(a, b);
      unite(b, c);
    }
    int32_t count = 0;
    std::vector<int32_t> number(static_cast<size_t>(nv), -1);
    for (int i = 0; i < nv; ++i) {
      const int32_t r = find(i);
      if (number[static_cast<size_t>(r)] < 0) number[static_cast<size_t>(r)] = count++;
      piece[static_cast<size_t>(i)] = number[static_cast<size_t>(r)];
    }
  }
  const int pieces = nv == 0 ? 0 : *std::max_element(piece.begin(), piece.end()) + 1;

  // A vertex at S = h is on the front half both when measured and when
  // moved, so it stays inside its block.
  auto isBack = [h](int64_t s) { return s > h; };
  struct TBox {
    int64_t Left = 32000, Top = 32000, Right = -32000, Bottom = -32000;
  };
  std::vector<TBox> boxes(static_cast<size_t>(pieces));
  for (int i = 0; i < nv; ++i) {
    const TSkinVertex v = verts.Get(i);
    const int64_t s = isBack(v.S) ? v.S - h : v.S;
    TBox& b = boxes[static_cast<size_t>(piece[static_cast<size_t>(i)])];
    b.Left = std::min(b.Left, s - 1);
    b.Top = std::min(b.Top, int64_t{v.T} - 1);
    b.Right = std::max(b.Right, s + 1);
    b.Bottom = std::max(b.Bottom, int64_t{v.T} + 1);
  }
  int64_t h2 = 2;
  for (const TBox& b : boxes) h2 += b.Right - b.Left;
  h2 = (h2 + 3) & ~int64_t{1};
  std::vector<TBox> placed(static_cast<size_t>(pieces));
  int64_t x = 2, height = 2;
  for (int p = 0; p < pieces; ++p) {
    const TBox& b = boxes[static_cast<size_t>(p)];
    placed[static_cast<size_t>(p)] = TBox{x, 2, x + b.Right - b.Left, 2 + b.Bottom - b.Top};
    x += b.Right - b.Left;
    height = std::max(height, b.Bottom - b.Top);
  }
  const int64_t newWidth = (2 * (x + 2) + 3) & ~int64_t{3};
  const int64_t newHeight = height + 2;
  // Checked before anything changes: a layout the images cannot hold (skin
  // coordinates far outside the skin) is refused whole.
  if (newWidth > TWinGBitmap::kMaxWidth || newHeight > TWinGBitmap::kMaxHeight)
    throw EMDLError(Format("The rearranged skin would be %lld x %lld pixels, more than a skin can hold",
                           static_cast<long long>(newWidth), static_cast<long long>(newHeight)));

  for (int i = 0; i < nv; ++i) {
    TSkinVertex& v = verts.Item(i);
    const int p = piece[static_cast<size_t>(i)];
    const TBox& b = boxes[static_cast<size_t>(p)];
    const TBox& n = placed[static_cast<size_t>(p)];
    if (!isBack(v.S))
      v.S = static_cast<int32_t>(v.S - b.Left + n.Left);
    else
      v.S = static_cast<int32_t>(v.S - h - b.Left + n.Left + h2);
    v.T = static_cast<int32_t>(v.T - b.Top + 2);
  }

  for (int k = 0; k < Count(); ++k) {
    TMDLBitmap& skin = Skin(k);
    TWinGBitmap old;
    old.Assign(skin.Image);
    skin.SetSize(static_cast<int>(newWidth), static_cast<int>(newHeight));
    for (int p = 0; p < pieces; ++p) {
      const TBox& b = boxes[static_cast<size_t>(p)];
      const TBox& n = placed[static_cast<size_t>(p)];
      CopyBlock(skin.Image, n.Left, n.Top, old, b.Left, b.Top, b.Right, b.Bottom);
      CopyBlock(skin.Image, n.Left + h2, n.Top, old, b.Left + h, b.Top, b.Right + h, b.Bottom);
    }
    skin.RecountColors();
  }
  header.SkinWidth = static_cast<int32_t>(newWidth);
  header.SkinHeight = static_cast<int32_t>(newHeight);
}
