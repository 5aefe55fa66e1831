#pragma once
// The camera of `tessel render`, shared with its fuzz target and the
// windows that draw a model small (the object library's buttons).

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "mdl/Mdl.h"
#include "render/MDLFramePaintBox.h"

// Points the camera at the box from lo to hi: the box fills most of the
// picture and its middle lies in the picture's middle.
inline void FitCamera(TMDLFramePaintBox& box, const TFrameVertex& lo, const TFrameVertex& hi, int w, int h) {
  auto extent = [&](int& x0, int& x1, int& y0, int& y1) {
    x0 = y0 = 1 << 30;
    x1 = y1 = -(1 << 30);
    for (int corner = 0; corner < 8; ++corner) {
      const TPoint q = box.ProjectPoint(
          MakeVector(corner & 1 ? hi.X : lo.X, corner & 2 ? hi.Y : lo.Y, corner & 4 ? hi.Z : lo.Z));
      x0 = std::min(x0, q.X);
      x1 = std::max(x1, q.X);
      y0 = std::min(y0, q.Y);
      y1 = std::max(y1, q.Y);
    }
  };
  box.CenterX = w / 2;
  box.CenterY = h / 2;
  int x0, x1, y0, y1;
  extent(x0, x1, y0, y1);
  const double fx = x1 > x0 ? 0.85 * w / (x1 - x0) : 1e9, fy = y1 > y0 ? 0.85 * h / (y1 - y0) : 1e9;
  const double f = std::min(fx, fy);
  // A flat or damaged box keeps the paint box's own zoom.
  if (std::isfinite(f) && f > 1e-3 && f < 1e3) box.ScreenDistance = static_cast<float>(box.ScreenDistance * f);
  extent(x0, x1, y0, y1);
  // Pixels of a damaged model may lie anywhere; the centre stays within reach.
  auto centre = [](int size, int a, int b) {
    return static_cast<int32_t>(std::clamp<int64_t>(size - (int64_t{a} + b) / 2, -(1 << 20), 1 << 20));
  };
  box.CenterX = centre(w, x0, x1);
  box.CenterY = centre(h, y0, y1);
}

// The same for the model's box over all frames.
inline void FitCamera(TMDLFramePaintBox& box, TMDL& m, int w, int h) {
  FitCamera(box, m.Frames->BBoxMin, m.Frames->BBoxMax, w, h);
}

