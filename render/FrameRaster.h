#pragma once
// The pixel routines under the frame paint box: a 16-bit depth buffer over
// an 8-bit target bitmap, edge tables of at most 1024 rows, and the
// triangle, span and line fills. Values step linearly in screen space
// (affine, 32-bit floats), as the renderer has always drawn; the loops are
// written for speed but keep exactly those results.
//
// Texel reads are clamped to the skin: a vertex whose skin coordinates lie
// outside it samples the nearest edge pixel instead of memory beyond it.

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "raster/WinGBitmap.h"

// One projected vertex of the shown frame.
struct TVertexRecord {
  int32_t X = 0;      // pixel column
  int32_t Y = 0;      // pixel row
  int32_t S = 0;      // skin column
  int32_t T = 0;      // skin row
  int32_t L = 0;      // light level: colour-map row 0..63
  int32_t Z = 0;      // depth, smaller is nearer (the paint box keeps it within 2^24 of 0)
  int32_t SeamS = 0;  // S moved to the back half of the skin for seam vertices
};

// Where textured fills read their colours.
struct TSkinSource {
  // Rows of the skin's pixels, row 0 at the top, Width bytes each.
  const uint8_t* const* Rows = nullptr;
  int Width = 0;
  int Height = 0;
  // 64 light rows of 256 display indices (the skin's shade table).
  const uint8_t* Shade = nullptr;
  // 64 light rows of 256 game indices, for the skin recorder.
  const uint8_t* GameShade = nullptr;
  // The recording picture's rows (skin recorder only); same size as the skin.
  uint8_t* const* RecordRows = nullptr;
  bool Valid() const { return Rows && Shade && Width > 0 && Height > 0; }
};

class TFrameRaster {
public:
  static constexpr int kMaxRows = 1024;
  static constexpr uint16_t kFarthest = 65535;

  // Draws into `target` from now on. The depth buffer is remade only when
  // the target's height or stride differs from the last one; pictures
  // taller than kMaxRows are refused with EWinGError.
  void Attach(TWinGBitmap& target);
  // Every depth to the farthest value (only the part written since the
  // last clear needs it).
  void ClearDepth();
  // The rows are read in place when they lie evenly spaced (as a bitmap's
  // do), else through a copy made here.
  void SetSkin(const TSkinSource& skin);
  const TSkinSource& Skin() const { return Skin_; }

  int Width() const { return Width_; }
  int Height() const { return Height_; }
  int Stride() const { return Stride_; }
  uint16_t Depth(int x, int y) const { return DepthRows_[static_cast<size_t>(y)][x]; }
  const std::vector<uint16_t>& DepthBuffer() const { return Depth_; }

  // Triangles whose corners run clockwise on the screen (the others draw
  // nothing): skin texels shaded by the light level.
  void FillTextured(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c);
  // As FillTextured, and each drawn texel also goes, shaded in game
  // colours, to the same place of the recording picture.
  void FillRecord(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c);
  // Either winding: the inside in `fill`, then the three edges in `edge`.
  void FillSolid(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, uint8_t fill,
                 uint8_t edge);
  void Outline(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, uint8_t color);
  // A line from a towards b (b itself not plotted) that beats faces up to
  // five depth units in front of it.
  void DrawDepthLine(const TVertexRecord& a, const TVertexRecord& b, uint8_t color);
  // Fills the depth of a clockwise triangle without colour; true when pixel
  // (x, y) passed the depth test, with the skin coordinates there (rounded)
  // in s and t.
  bool ProbeTriangle(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, int x, int y,
                     int& s, int& t);

  // Pixels written since the counter was last reset (for measurements).
  uint64_t PixelsWritten = 0;
  // Whether this processor can run the AVX pixel loop of textured fills.
  static bool WideFillAvailable();
  // Textured fills use the AVX loop where the processor has one (the same
  // pixels either way; tests turn it off to check the other loop too).
  bool UseWideFill = WideFillAvailable();

private:
  struct TEdge {
    int32_t X, Z, L, S, T;
  };
  enum class TFill { Textured, Record, Probe };
  // Scans the three edges into the tables; false when no row is left.
  bool ScanEdges(const TVertexRecord& a, const TVertexRecord& b, const TVertexRecord& c, bool full);
  void ScanEdge(const TVertexRecord& p, const TVertexRecord& q, bool full);
  template <TFill Mode>
  void FillSpans(int probeX, int probeY, int* probeS, int* probeT, bool* hit);
  // The textured fill of the prepared spans (SIMD build); returns the pixels written.
  uint64_t FillTexturedSpans(int count);
  // The same with AVX instructions (fewer of them per pixel), the same results.
  uint64_t FillTexturedSpansAvx(int count);

  // Widens the written part of the depth buffer by columns x0..x1 of rows
  // y0..y1 (inclusive).
  void MarkWritten(int x0, int x1, int y0, int y1) {
    WrittenLeft_ = std::min(WrittenLeft_, x0);
    WrittenRight_ = std::max(WrittenRight_, x1);
    WrittenTop_ = std::min(WrittenTop_, y0);
    WrittenBottom_ = std::max(WrittenBottom_, y1);
  }

  TWinGBitmap* Target_ = nullptr;
  int Width_ = 0;
  int Height_ = 0;
  int Stride_ = 0;
  std::vector<uint16_t> Depth_;
  // The depths outside this rectangle are all the farthest; empty when
  // right < left.
  int WrittenLeft_ = 0, WrittenRight_ = -1, WrittenTop_ = 0, WrittenBottom_ = -1;
  std::array<uint16_t*, kMaxRows> DepthRows_{};
  std::array<uint8_t*, kMaxRows> Rows_{};
  TSkinSource Skin_;
  // The skin's top row and the distance from one row to the next, for
  // addressing a texel with one multiply-add.
  const uint8_t* SkinBase_ = nullptr;
  int SkinPitch_ = 0;
  std::vector<uint8_t> SkinCopy_;
  // One row's span ready to fill: start values and steps of depth, light,
  // skin column and skin row, and the pixels x0 <= x < x1 of row y.
  struct TSpan {
    alignas(16) float V[4];
    alignas(16) float D[4];
    int32_t X0, X1, Y;
  };
  std::array<TSpan, kMaxRows> Spans_{};
  std::array<TEdge, kMaxRows> Start_{};
  std::array<TEdge, kMaxRows> End_{};
  int Top_ = 0;
  int Bottom_ = 0;
};
