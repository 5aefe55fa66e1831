#include "render/Thumbnail.h"

#include <algorithm>
#include <cmath>

#include "core/Format.h"
#include "render/MDLFramePaintBox.h"
#include "render/RenderCamera.h"

namespace {

// Small thumbnails are drawn at twice their size and averaged down, which
// smooths the edges against the transparent background.
constexpr int kSupersampleUpTo = kMaxThumbnailSize / 2;
// At most this many samples each way per thumbnail pixel.
constexpr int kMaxSamples = 4;

}  // namespace

std::vector<uint8_t> RenderThumbnail(TMDLEditor& editor, int size) {
  if (size < 1 || size > kMaxThumbnailSize)
    throw EThumbnailError(Format("Thumbnails are 1 to %d pixels square, not %d", kMaxThumbnailSize, size));
  TMDL& m = *editor.Model;
  if (m.Frames->Count() == 0) throw EThumbnailError("The model has no frame to draw");
  if (m.Skins->Count() == 0) throw EThumbnailError("The model has no skin to draw with");
  if (!editor.IsValid()) throw EThumbnailError("The model could not be opened for drawing");

  const int side = size <= kSupersampleUpTo ? size * 2 : size;
  TOffscreenSurfaceHost host;
  host.Bounds = TRect{0, 0, side, side};
  TMDLFramePaintBox box(&editor, &host);
  box.SetBitmapFitting(bfNone);
  box.SetViewMode(vmTextured);
  box.Lighting = true;
  box.ShowGroundPlane = false;
  editor.SetCurrentSkin(0);
  editor.SetCurrentScene(0);
  editor.SetCurrentFrame(0);
  box.PlayFrame = 0;
  box.SetResolution(side, side);
  box.SetView(0);
  box.CenterView();
  TMDLFrame& frame = m.Frames->Frame(0);
  FitCamera(box, frame.BBoxMin, frame.BBoxMax, side, side);
  box.LightFromCamera();
  box.Paint();

  // What the triangles covered: everything else is background.
  const TWinGBitmap& picture = box.Bitmap();
  const TFrameRaster& raster = box.Raster();
  const uint16_t* depth = raster.DepthBuffer().data();
  const size_t depthStride = static_cast<size_t>(raster.Stride());
  auto covered = [&](int x, int y) {
    return depth[static_cast<size_t>(y) * depthStride + static_cast<size_t>(x)] != TFrameRaster::kFarthest;
  };
  int x0 = side, y0 = side, x1 = -1, y1 = -1;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      if (covered(x, y)) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
  std::vector<uint8_t> rgba(static_cast<size_t>(size) * static_cast<size_t>(size) * 4, 0);
  if (x1 < x0) return rgba;

  // The covered box, scaled so that its longer side fills the square; each
  // thumbnail pixel averages a few samples spread over its footprint.
  const double scale = static_cast<double>(std::max(x1 - x0 + 1, y1 - y0 + 1)) / size;
  const int samples = std::clamp(static_cast<int>(std::ceil(scale)), 1, kMaxSamples);
  const int perPixel = samples * samples;
  auto sampleAt = [&](double centre, int i) {
    const int v = static_cast<int>(std::floor(centre + ((i + 0.5) / samples - size / 2.0) * scale));
    return v >= 0 && v < side ? v : -1;
  };
  std::vector<int> xs(static_cast<size_t>(size * samples)), ys(xs.size());
  for (int i = 0; i < size * samples; ++i) {
    xs[static_cast<size_t>(i)] = sampleAt((x0 + x1 + 1) / 2.0, i);
    ys[static_cast<size_t>(i)] = sampleAt((y0 + y1 + 1) / 2.0, i);
  }
  const uint8_t* table = picture.ColorTable();
  for (int y = 0; y < size; ++y) {
    uint8_t* out = rgba.data() + static_cast<size_t>(y) * static_cast<size_t>(size) * 4;
    const int* rowSamples = &ys[static_cast<size_t>(y * samples)];
    for (int x = 0; x < size; ++x, out += 4) {
      const int* colSamples = &xs[static_cast<size_t>(x * samples)];
      int hits = 0, r = 0, g = 0, b = 0;
      for (int sy = 0; sy < samples; ++sy) {
        const int py = rowSamples[sy];
        if (py < 0) continue;
        const uint8_t* row = picture.ScanLine(py);
        const uint16_t* rowDepth = depth + static_cast<size_t>(py) * depthStride;
        for (int sx = 0; sx < samples; ++sx) {
          const int px = colSamples[sx];
          if (px < 0 || rowDepth[px] == TFrameRaster::kFarthest) continue;
          const uint8_t* q = table + 4 * row[px];
          b += q[0], g += q[1], r += q[2];
          ++hits;
        }
      }
      if (!hits) continue;
      out[0] = static_cast<uint8_t>((r + hits / 2) / hits);
      out[1] = static_cast<uint8_t>((g + hits / 2) / hits);
      out[2] = static_cast<uint8_t>((b + hits / 2) / hits);
      out[3] = static_cast<uint8_t>((255 * hits + perPixel / 2) / perPixel);
    }
  }
  return rgba;
}
