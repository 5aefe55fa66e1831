// The pixel routines against a plain, line-by-line rendering of the same
// fills (one float per value, stepped and rounded one at a time): the fast
// routines must give the very same pixels, depths and recorded texels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "raster/WinGCanvas.h"
#include "render/FrameRaster.h"

namespace {

int Round(float v) { return static_cast<int>(std::nearbyint(v)); }

// The plain rendering: same buffers, every step spelled out.
class TReference {
public:
  TReference(int w, int h, int sw, int sh, const std::vector<uint8_t>& skin, const std::vector<uint8_t>& shade)
      : W(w), H(h), SW(sw), SH(sh), Skin(skin), Shade(shade), Pixels(size_t(w) * h, 0), Depth(size_t(w) * h, 65535),
        Record(size_t(sw) * sh, 0) {}

  struct TEntry {
    int X = 0, Z = 0, L = 0, S = 0, T = 0;
  };

  bool Scan(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c) {
    top = 32000;
    bottom = -1;
    Edge(a, b);
    Edge(b, c);
    Edge(c, a);
    top = std::max(top, 0);
    bottom = std::min(bottom, H - 1);
    return top <= bottom;
  }

  void Edge(const TVertexRecord& p, const TVertexRecord& q) {
    if (p.Y == q.Y) return;
    const bool up = q.Y < p.Y;
    std::vector<TEntry>& table = up ? Start : End;
    const TVertexRecord& u = up ? q : p;
    const TVertexRecord& l = up ? p : q;
    top = std::min(top, u.Y);
    bottom = std::max(bottom, l.Y);
    const float rows = static_cast<float>(l.Y - u.Y);
    float x = float(u.X), z = float(u.Z), lv = float(u.L), s = float(u.S), t = float(u.T);
    const float dx = float(l.X - u.X) / rows, dz = float(l.Z - u.Z) / rows, dl = float(l.L - u.L) / rows,
                ds = float(l.S - u.S) / rows, dt = float(l.T - u.T) / rows;
    for (int y = u.Y; y <= l.Y; ++y) {
      if (y >= 0 && y < H) table[size_t(y)] = {Round(x), Round(z), Round(lv), Round(s), Round(t)};
      x += dx;
      z += dz;
      lv += dl;
      s += ds;
      t += dt;
    }
  }

  void Textured(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, bool record) {
    if (!Scan(a, b, c)) return;
    for (int y = top; y <= bottom; ++y) {
      const TEntry& st = Start[size_t(y)];
      const TEntry& en = End[size_t(y)];
      int x0 = st.X, x1 = en.X;
      if (x1 <= x0) continue;
      const float n = float(x1 - x0);
      float z = float(st.Z), l = float(st.L), s = float(st.S), t = float(st.T);
      const float dz = float(en.Z - st.Z) / n, dl = float(en.L - st.L) / n, ds = float(en.S - st.S) / n,
                  dt = float(en.T - st.T) / n;
      if (x0 < 0) {
        const float k = float(-x0);
        z += dz * k;
        l += dl * k;
        s += ds * k;
        t += dt * k;
        x0 = 0;
      }
      x1 = std::min(x1, W - 1);
      for (int x = x0; x < x1; ++x) {
        uint16_t& d = Depth[size_t(y * W + x)];
        if (z < float(d)) {
          d = static_cast<uint16_t>(std::max(Round(z), 0));
          const int si = std::clamp(Round(s), 0, SW - 1), ti = std::clamp(Round(t), 0, SH - 1);
          const int li = std::clamp(Round(l), 0, 63);
          const uint8_t texel = Skin[size_t(ti * SW + si)];
          Pixels[size_t(y * W + x)] = Shade[size_t(li * 256 + texel)];
          if (record) Record[size_t(ti * SW + si)] = Shade[size_t(li * 256 + texel)];
        }
        z += dz;
        l += dl;
        s += ds;
        t += dt;
      }
    }
  }

  void Solid(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, uint8_t fill, uint8_t edge) {
    if (Scan(a, b, c)) {
      for (int y = top; y <= bottom; ++y) {
        TEntry st = Start[size_t(y)], en = End[size_t(y)];
        if (en.X < st.X) std::swap(st, en);
        int x0 = st.X, x1 = en.X;
        if (x1 == x0) continue;
        float z = float(st.Z);
        const float dz = float(en.Z - st.Z) / float(x1 - x0);
        // The ends are the outline's; pixel 0 is inside when the start lies left of it.
        int first = x0 + 1;
        if (x0 < 0) {
          z += dz * float(-x0);
          first = 0;
        } else {
          z += dz;
        }
        x1 = std::min(x1, W - 1);
        for (int x = first; x < x1; ++x) {
          uint16_t& d = Depth[size_t(y * W + x)];
          if (z < float(d)) {
            d = static_cast<uint16_t>(std::max(Round(z), 0));
            Pixels[size_t(y * W + x)] = fill;
          }
          z += dz;
        }
      }
    }
    Line(a, b, edge);
    Line(b, c, edge);
    Line(c, a, edge);
  }

  void Line(const TVertexRecord& a, const TVertexRecord& b, uint8_t color) {
    const int n = std::max(std::abs(b.X - a.X), std::abs(b.Y - a.Y));
    if (n == 0) return;
    const float fn = float(n);
    float x = float(a.X), y = float(a.Y), z = float(a.Z);
    const float sx = float(b.X - a.X) / fn, sy = float(b.Y - a.Y) / fn, sz = float(b.Z - a.Z) / fn;
    for (int k = 0; k < n; ++k) {
      if (x >= 0 && x <= float(W - 1) && y >= 0 && y <= float(H - 1)) {
        uint16_t& d = Depth[size_t(Round(y) * W + Round(x))];
        if (z - 5.0f <= float(d)) {
          d = static_cast<uint16_t>(std::clamp(Round(z), 0, 65535));
          Pixels[size_t(Round(y) * W + Round(x))] = color;
        }
      }
      x += sx;
      y += sy;
      z += sz;
    }
  }

  int W, H, SW, SH;
  const std::vector<uint8_t>& Skin;
  const std::vector<uint8_t>& Shade;
  std::vector<uint8_t> Pixels;
  std::vector<uint16_t> Depth;
  std::vector<uint8_t> Record;
  std::vector<TEntry> Start = std::vector<TEntry>(1024), End = std::vector<TEntry>(1024);
  int top = 0, bottom = 0;
};

// A target bitmap, a skin and the fast routines over them.
struct TFixture {
  // A bottom-up skin keeps its rows in memory from the last to the first,
  // as bitmaps do; Skin holds them top-down either way.
  TFixture(int w, int h, int sw, int sh, bool bottomUp = false)
      : Skin(size_t(sw) * sh), Shade(64 * 256 + 1), RecordPixels(size_t(sw) * sh) {
    Target.SetSize(w, h);
    std::mt19937 rng(11);
    for (uint8_t& p : Skin) p = static_cast<uint8_t>(rng());
    for (uint8_t& p : Shade) p = static_cast<uint8_t>(rng());
    SkinMemory = Skin;
    for (int y = 0; y < sh; ++y) {
      const int at = bottomUp ? sh - 1 - y : y;
      std::copy_n(Skin.data() + size_t(y) * sw, sw, SkinMemory.data() + size_t(at) * sw);
      SkinRows.push_back(SkinMemory.data() + size_t(at) * sw);
      RecordRows.push_back(RecordPixels.data() + size_t(y) * sw);
    }
    TSkinSource s;
    s.Rows = SkinRows.data();
    s.Width = sw;
    s.Height = sh;
    s.Shade = Shade.data();
    s.GameShade = Shade.data();
    s.RecordRows = RecordRows.data();
    Raster.Attach(Target);
    Raster.ClearDepth();
    Raster.SetSkin(s);
  }

  std::vector<uint8_t> Pixels() {
    std::vector<uint8_t> out;
    for (int y = 0; y < Target.GetHeight(); ++y)
      out.insert(out.end(), Target.ScanLine(y), Target.ScanLine(y) + Target.GetWidth());
    return out;
  }
  std::vector<uint16_t> Depths() {
    std::vector<uint16_t> out;
    for (int y = 0; y < Raster.Height(); ++y)
      for (int x = 0; x < Raster.Width(); ++x) out.push_back(Raster.Depth(x, y));
    return out;
  }

  TWinGBitmap Target;
  std::vector<uint8_t> Skin, SkinMemory, Shade, RecordPixels;
  std::vector<const uint8_t*> SkinRows;
  std::vector<uint8_t*> RecordRows;
  TFrameRaster Raster;
};

int64_t Facing(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c) {
  return int64_t(b.X - a.X) * (c.Y - a.Y) - int64_t(b.Y - a.Y) * (c.X - a.X);
}

// Random fills of every kind, each compared with the plain rendering.
// Depths come from zLo..zHi: a wide range reaches past both ends of the
// depth buffer, a narrow one around 0 makes many depths between whole
// numbers meet stored ones, negative ones included. In a tall picture long
// edges step far enough from their corners for rounding to show.
void CheckFillsAgainstPlainRendering(bool wide, bool bottomUp, int zLo, int zHi, int w = 157, int h = 93) {
  SCOPED_TRACE(testing::Message() << "wide " << wide << ", bottom-up skin " << bottomUp << ", depths " << zLo
                                  << ".." << zHi << ", " << w << " x " << h);
  const int sw = 40, sh = 24;
  TFixture f(w, h, sw, sh, bottomUp);
  f.Raster.UseWideFill = wide;
  TReference ref(w, h, sw, sh, f.Skin, f.Shade);
  std::mt19937 rng(5);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int i = 0; i < 400; ++i) {
    TVertexRecord v[3];
    for (TVertexRecord& r : v) {
      // Corners well outside the picture and the skin too.
      r.X = pick(-120, w + 120);
      r.Y = pick(-80, h + 80);
      r.Z = pick(zLo, zHi);
      r.L = pick(0, 63);
      r.S = pick(-30, sw + 30);
      r.T = pick(-30, sh + 30);
    }
    const int64_t facing = Facing(v[0], v[1], v[2]);
    if (facing < 0) std::swap(v[1], v[2]);
    switch (i % 4) {
      case 0:
        f.Raster.FillTextured(v[0], v[1], v[2]);
        ref.Textured(v[0], v[1], v[2], false);
        break;
      case 1:
        f.Raster.FillRecord(v[0], v[1], v[2]);
        ref.Textured(v[0], v[1], v[2], true);
        break;
      case 2: {
        const uint8_t fill = static_cast<uint8_t>(pick(0, 255)), edge = static_cast<uint8_t>(pick(0, 255));
        // Solid fills take either winding.
        if (i % 8 == 2) std::swap(v[1], v[2]);
        f.Raster.FillSolid(v[0], v[1], v[2], fill, edge);
        ref.Solid(v[0], v[1], v[2], fill, edge);
        break;
      }
      default: {
        const uint8_t color = static_cast<uint8_t>(pick(0, 255));
        f.Raster.Outline(v[0], v[1], v[2], color);
        ref.Line(v[0], v[1], color);
        ref.Line(v[1], v[2], color);
        ref.Line(v[2], v[0], color);
      }
    }
    ASSERT_EQ(f.Pixels(), ref.Pixels) << "after fill " << i;
    ASSERT_EQ(f.Depths(), ref.Depth) << "after fill " << i;
  }
  EXPECT_EQ(f.RecordPixels, ref.Record);
  EXPECT_GT(std::count(ref.Record.begin(), ref.Record.end(), 0), 0);
}

}  // namespace

TEST(FrameRaster, FillsMatchThePlainRenderingPixelForPixel) {
  std::vector<bool> loops = {false};
  if (TFrameRaster::WideFillAvailable()) loops.push_back(true);
  for (bool wide : loops)
    for (bool bottomUp : {false, true}) {
      CheckFillsAgainstPlainRendering(wide, bottomUp, -500, 70000);
      CheckFillsAgainstPlainRendering(wide, bottomUp, -3, 3);
      CheckFillsAgainstPlainRendering(wide, bottomUp, 0, 65000, 61, 1000);
    }
}

TEST(FrameRaster, SharedRowOfTwoEdgesTakesTheLaterEdgesValues) {
  // The edge from the top corner steps 900 rows to a depth of 64899.3, a
  // whole unit short of its lower corner's 64900: on the row the two left
  // edges share, whichever comes later in the scan gives the values, in
  // each of the three orders of the same corners.
  const int w = 61, h = 1000, sw = 40, sh = 24;
  const TVertexRecord top{60, 0, 3, 2, 10, 0, 0}, bottom{60, 950, 30, 20, 50, 30000, 0},
      middle{0, 900, 12, 9, 30, 64900, 0};
  const TVertexRecord orders[3][3] = {{top, bottom, middle}, {bottom, middle, top}, {middle, top, bottom}};
  std::vector<bool> loops = {false};
  if (TFrameRaster::WideFillAvailable()) loops.push_back(true);
  for (bool wide : loops)
    for (const auto& v : orders) {
      TFixture f(w, h, sw, sh);
      f.Raster.UseWideFill = wide;
      TReference ref(w, h, sw, sh, f.Skin, f.Shade);
      f.Raster.FillTextured(v[0], v[1], v[2]);
      ref.Textured(v[0], v[1], v[2], false);
      ASSERT_EQ(f.Depths(), ref.Depth);
      ASSERT_EQ(f.Pixels(), ref.Pixels);
      f.Raster.FillRecord(v[0], v[1], v[2]);
      ref.Textured(v[0], v[1], v[2], true);
      f.Raster.FillSolid(v[0], v[1], v[2], 7, 9);
      ref.Solid(v[0], v[1], v[2], 7, 9);
      ASSERT_EQ(f.Depths(), ref.Depth);
      ASSERT_EQ(f.Pixels(), ref.Pixels);
      EXPECT_EQ(f.RecordPixels, ref.Record);
    }
}

TEST(FrameRaster, DepthsBeyondWholeNumbersCompareAsFloats) {
  // Depths far beyond the depth buffer's range are behind everything;
  // those far behind the eye are in front of everything and store 0.
  std::vector<bool> loops = {false};
  if (TFrameRaster::WideFillAvailable()) loops.push_back(true);
  for (bool wide : loops) {
    TFixture f(40, 30, 8, 8);
    f.Raster.UseWideFill = wide;
    const int32_t far = 1 << 30, near = -(1 << 30);
    f.Raster.FillTextured({2, 2, 0, 0, 32, far, 0}, {38, 2, 7, 0, 32, far, 0}, {20, 28, 4, 7, 32, far, 0});
    EXPECT_EQ(f.Raster.PixelsWritten, 0u);
    f.Raster.FillTextured({2, 2, 0, 0, 32, near, 0}, {38, 2, 7, 0, 32, near, 0}, {20, 28, 4, 7, 32, near, 0});
    EXPECT_GT(f.Raster.PixelsWritten, 300u);
    EXPECT_EQ(f.Raster.Depth(20, 10), 0);
  }
}

TEST(FrameRaster, TrianglesFacingAwayDrawNoTexels) {
  TFixture f(64, 48, 8, 8);
  const TVertexRecord a{10, 10, 0, 0, 32, 100, 0}, b{50, 10, 7, 0, 32, 100, 0}, c{50, 40, 7, 7, 32, 100, 0};
  f.Raster.FillTextured(a, c, b);
  EXPECT_EQ(f.Raster.PixelsWritten, 0u);
  f.Raster.FillTextured(a, b, c);
  EXPECT_GT(f.Raster.PixelsWritten, 400u);
}

TEST(FrameRaster, ProbeFindsThePixelWithItsSkinCoordinates) {
  TFixture f(64, 48, 64, 64);
  // S runs with x and T with y, one texel per pixel.
  const TVertexRecord a{0, 0, 0, 0, 32, 100, 0}, b{60, 0, 60, 0, 32, 100, 0}, c{60, 40, 60, 40, 32, 100, 0};
  int s = -1, t = -1;
  EXPECT_TRUE(f.Raster.ProbeTriangle(a, b, c, 50, 20, s, t));
  EXPECT_EQ(s, 50);
  EXPECT_EQ(t, 20);
  // Outside the triangle, or behind what the probe already wrote: no hit.
  EXPECT_FALSE(f.Raster.ProbeTriangle(a, b, c, 10, 30, s, t));
  EXPECT_FALSE(f.Raster.ProbeTriangle(a, b, c, 50, 20, s, t));
  // A back face is probed too, its spans ordered; a nearer one wins.
  TVertexRecord na = a, nb = b, nc = c;
  na.Z = nb.Z = nc.Z = 50;
  EXPECT_TRUE(f.Raster.ProbeTriangle(na, nc, nb, 50, 20, s, t));
  EXPECT_EQ(s, 50);
}

TEST(FrameRaster, LinesBeatFacesUpToFiveUnitsInFront) {
  TFixture f(32, 32, 4, 4);
  const TVertexRecord a{0, 0, 0, 0, 32, 1000, 0}, b{31, 0, 0, 0, 32, 1000, 0}, c{31, 31, 0, 0, 32, 1000, 0};
  f.Raster.FillSolid(a, b, c, 9, 9);
  TVertexRecord p{20, 10, 0, 0, 0, 1005, 0}, q{30, 10, 0, 0, 0, 1005, 0};
  f.Raster.DrawDepthLine(p, q, 77);
  EXPECT_EQ(f.Target.ScanLine(10)[25], 77);
  p.Z = q.Z = 1006;
  f.Raster.DrawDepthLine(p, q, 66);
  EXPECT_EQ(f.Target.ScanLine(10)[25], 66) << "the line itself stored 1005";
  p.Y = q.Y = 12;
  p.Z = q.Z = 1010;
  f.Raster.DrawDepthLine(p, q, 55);
  EXPECT_EQ(f.Target.ScanLine(12)[25], 9);
  // The end point is not plotted.
  EXPECT_NE(f.Target.ScanLine(10)[30], 66);
}

TEST(FrameRaster, DepthBufferFollowsThePictureSize) {
  TWinGBitmap b;
  b.SetSize(30, 20);
  TFrameRaster r;
  r.Attach(b);
  EXPECT_EQ(r.Stride(), 32);
  EXPECT_EQ(r.DepthBuffer().size(), 32u * 20u);
  r.ClearDepth();
  EXPECT_EQ(r.Depth(29, 19), 65535);
  b.SetSize(30, 1024);
  r.Attach(b);
  EXPECT_EQ(r.DepthBuffer().size(), 32u * 1024u);
}

TEST(FrameRaster, SkinRowsScatteredInMemoryReadTheSame) {
  // The same skin once in one block and once with every row on its own.
  TFixture f(48, 40, 12, 10);
  std::vector<std::vector<uint8_t>> own;
  std::vector<const uint8_t*> scattered;
  for (int y = 0; y < 10; ++y) {
    own.emplace_back(f.SkinRows[size_t(y)], f.SkinRows[size_t(y)] + 12);
    own.back().resize(12 + size_t(y) * 3);  // uneven gaps between the rows
  }
  for (const auto& row : own) scattered.push_back(row.data());
  const TVertexRecord a{0, 0, 0, 0, 20, 100, 0}, b{47, 3, 11, 0, 40, 300, 0}, c{40, 39, 11, 9, 10, 200, 0};
  f.Raster.FillTextured(a, b, c);
  const std::vector<uint8_t> block = f.Pixels();

  TSkinSource s = f.Raster.Skin();
  s.Rows = scattered.data();
  f.Raster.SetSkin(s);
  f.Raster.ClearDepth();
  f.Target.Canvas().BrushColor = 0;
  f.Target.Canvas().FillRect({0, 0, 48, 40});
  f.Raster.FillTextured(a, b, c);
  EXPECT_EQ(f.Pixels(), block);
  EXPECT_GT(std::count_if(block.begin(), block.end(), [](uint8_t p) { return p != 0; }), 500);
}

TEST(FrameRaster, ClearingRestoresEveryDepthAnyFillWrote) {
  // Clearing resets only what was written, so each fill on its own, partly
  // off the picture, must leave nothing behind; then all of them together.
  TFixture f(61, 47, 16, 16);
  const TVertexRecord a{-9, -5, 0, 0, 20, 300, 0}, b{70, 8, 15, 0, 40, 200, 0}, c{30, 60, 15, 15, 10, 100, 0};
  const TVertexRecord p{58, 2, 0, 0, 0, 50, 0}, q{66, 50, 0, 0, 0, 50, 0};
  int s = 0, t = 0;
  const std::vector<std::function<void()>> fills = {
      [&] { f.Raster.FillTextured(a, b, c); },
      [&] { f.Raster.FillRecord(a, b, c); },
      [&] { f.Raster.ProbeTriangle(a, b, c, 5, 5, s, t); },
      [&] { f.Raster.FillSolid(a, c, b, 1, 2); },
      [&] { f.Raster.Outline(a, b, c, 3); },
      [&] { f.Raster.DrawDepthLine(p, q, 4); },
  };
  const std::vector<uint16_t> farthest(size_t(61) * 47, 65535);
  for (size_t i = 0; i <= fills.size(); ++i) {
    SCOPED_TRACE(i);
    if (i < fills.size()) {
      fills[i]();
    } else {
      for (const auto& fill : fills) fill();
    }
    const std::vector<uint16_t> before = f.Depths();
    EXPECT_NE(before, farthest) << "the fill wrote no depth";
    f.Raster.ClearDepth();
    EXPECT_EQ(f.Depths(), farthest);
  }
  // A picture of another size starts all farthest, and so does every
  // clear after it.
  f.Target.SetSize(20, 70);
  f.Raster.Attach(f.Target);
  f.Raster.DrawDepthLine({19, 69, 0, 0, 0, 7, 0}, {0, 0, 0, 0, 0, 7, 0}, 5);
  EXPECT_EQ(f.Raster.Depth(19, 69), 7);
  f.Raster.ClearDepth();
  EXPECT_EQ(f.Raster.Depth(19, 69), 65535);
  EXPECT_TRUE(std::all_of(f.Raster.DepthBuffer().begin(), f.Raster.DepthBuffer().end(),
                          [](uint16_t d) { return d == 65535; }));
}
