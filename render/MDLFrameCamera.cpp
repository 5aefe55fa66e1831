// The frame paint box's camera: the view transform, projection, standard
// views, field of view, centring and the mouse gestures that move the eye.

#include <algorithm>
#include <cmath>

#include "core/Format.h"
#include "render/MDLFramePaintBox.h"
#include "render/RasterMath.h"

namespace {

// The fixed conversion factors the field of view has always used.
constexpr double kFovDegToRad = 0.0174532925199433;
constexpr double kFovRadToDeg = 57.2957795130823;

// Beyond this the processor's sine cannot reduce its argument and answers
// nothing useful; the camera then takes 0, as it always has.
constexpr double kTrigLimit = 9.223372036854775808e18;  // 2^63

float SafeSin(double a) { return std::isfinite(a) && std::fabs(a) < kTrigLimit ? static_cast<float>(std::sin(a)) : 0.0f; }
float SafeCos(double a) { return std::isfinite(a) && std::fabs(a) < kTrigLimit ? static_cast<float>(std::cos(a)) : 0.0f; }

// Round half to even, saturated to +-limit (a point on the eye's plane
// projects to infinity; it must still give a usable integer).
int32_t RoundClamp(double v, double limit) {
  if (std::isnan(v)) return 0;
  return RoundEven(std::clamp(v, -limit, limit));
}

// Projected points stay within this many pixels of the picture, so edge
// scans and lines over far-off corners stay bounded.
constexpr double kPixelLimit = 131072.0;
// Depths beyond the depth buffer's range all compare alike; 2^24 keeps
// them exact as floats and their differences inside 32 bits.
constexpr double kDepthLimit = 16777216.0;

}  // namespace

void TMDLFramePaintBox::SetTheta(float a) {
  Theta_ = a;
  UpdateCamera();
}

void TMDLFramePaintBox::SetPhi(float a) {
  Phi_ = a;
  UpdateCamera();
}

void TMDLFramePaintBox::UpdateCamera() {
  const float s1 = SafeSin(Theta_), c1 = SafeCos(Theta_);
  const float s2 = SafeSin(Phi_), c2 = SafeCos(Phi_);
  SinTheta_ = s1;
  CosTheta_ = c1;
  SinPhi_ = s2;
  CosPhi_ = c2;
  CTCP_ = c1 * c2;
  CTSP_ = c1 * s2;
  STCP_ = s1 * c2;
  STSP_ = s1 * s2;
  TMatrix m;
  m(0, 0) = -s1;
  m(0, 1) = c1;
  m(1, 0) = -CTCP_;
  m(1, 1) = -STCP_;
  m(1, 2) = s2;
  m(2, 0) = -CTSP_;
  m(2, 1) = -STSP_;
  m(2, 2) = -c2;
  m(2, 3) = Rho;
  m(3, 3) = 1.0f;
  ViewMatrix_ = m;
  InverseViewMatrix_ = Invert(m);
}

TVector TMDLFramePaintBox::EyePosition() const { return Column(InverseViewMatrix_, 4); }

TVector TMDLFramePaintBox::EyeCoordinates(float x, float y, float z) const {
  const double ex = -double(x) * SinTheta_ + double(y) * CosTheta_;
  const double ey = -double(x) * CTCP_ - double(y) * STCP_ + double(z) * SinPhi_;
  const double ez = -double(x) * CTSP_ - double(y) * STSP_ - double(z) * CosPhi_ + Rho;
  return {static_cast<float>(ex), static_cast<float>(ey), static_cast<float>(ez), 1.0f};
}

TPoint TMDLFramePaintBox::ProjectEye(const TVector& eye) const {
  const double d = Parallel ? double(Rho) : double(eye.z);
  const double px = double(ScreenDistance) * eye.x / d + CenterX;
  const double py = CenterY - double(ScreenDistance) * eye.y / d;
  return {RoundClamp(px, kPixelLimit), RoundClamp(py, kPixelLimit)};
}

TPoint TMDLFramePaintBox::ProjectPoint(const TVector& p) const { return ProjectEye(EyeCoordinates(p.x, p.y, p.z)); }

int32_t TMDLFramePaintBox::DepthOf(float ez) { return RoundClamp(double(ez) * 25.0, kDepthLimit); }

// ---- field of view ------------------------------------------------------------------

int TMDLFramePaintBox::GetFieldOfView() const {
  const double a = std::atan(double(BitmapWidth()) / (2.0 * double(ScreenDistance)));
  return RoundClamp(2.0 * a * kFovRadToDeg, 360.0);
}

void TMDLFramePaintBox::SetFieldOfView(int degrees) {
  // 0 or 180 degrees would put the picture plane at infinity or at the eye.
  degrees = std::clamp(degrees, 1, 179);
  const double h = degrees * 0.5 * kFovDegToRad;
  ScreenDistance = static_cast<float>(std::nearbyint(double(BitmapWidth()) * std::cos(h) / (std::sin(h) * 2.0)));
  Invalidate();
}

// ---- standard views --------------------------------------------------------------------

const char* TMDLFramePaintBox::StandardViewName(int index) {
  static const char* const kNames[8] = {"", "front", "back", "right", "left", "top", "bottom", "weapon"};
  return index >= 0 && index < 8 ? kNames[index] : "";
}

void TMDLFramePaintBox::SetView(int index) {
  constexpr float kHalfPi = 1.5707964f;
  constexpr float kPi = 3.14159265f;
  constexpr float kThreeHalfPi = 4.712389f;
  switch (index) {
    case 0: SetTheta(0.7f); SetPhi(1.1f); break;
    case 1: SetTheta(0.0f); SetPhi(kHalfPi); break;
    case 2: SetTheta(kPi); SetPhi(kHalfPi); break;
    case 3: SetTheta(kThreeHalfPi); SetPhi(kHalfPi); break;
    case 4: SetTheta(kHalfPi); SetPhi(kHalfPi); break;
    case 5: SetPhi(0.0f); SetTheta(0.0f); break;
    case 6: SetPhi(kPi); SetTheta(0.0f); break;
    case 7:
      SetTheta(3.1f);
      SetPhi(1.09f);
      SetFieldOfView(15);
      CenterView();
      CenterY = RoundClamp(double(Bitmap().GetHeight()) * 14.0 / 15.0, kPixelLimit);
      break;
    default: return;
  }
  ViewIndex = static_cast<uint8_t>(index);
  Invalidate();
}

void TMDLFramePaintBox::CenterView() {
  if (!Editor_ || !Editor_->IsValid()) return;
  TMDLFrame* frame = Editor_->CurrentFrameObject();
  if (!frame) return;
  const int w = Bitmap().GetWidth();
  const int h = Bitmap().GetHeight();
  CenterX = w / 2;
  CenterY = h / 2;
  TMDL& model = *Editor_->Model;
  if (model.Triangles->Count() > 0) {
    int minX = 99999, minY = 99999, maxX = -99999, maxY = -99999;
    const TFrameVertex& lo = frame->BBoxMin;
    const TFrameVertex& hi = frame->BBoxMax;
    for (int corner = 0; corner < 8; ++corner) {
      const TVector p = MakeVector(corner & 1 ? hi.X : lo.X, corner & 2 ? hi.Y : lo.Y, corner & 4 ? hi.Z : lo.Z);
      const TPoint q = ProjectPoint(p);
      minX = std::min(minX, q.X);
      maxX = std::max(maxX, q.X);
      minY = std::min(minY, q.Y);
      maxY = std::max(maxY, q.Y);
    }
    CenterX = w - (minX + maxX) / 2;
    CenterY = h - (minY + maxY) / 2;
  }
  RadiusAllowance = static_cast<float>(RoundClamp(double(model.Header->Radius), kDepthLimit) + 150);
  Rho = static_cast<float>(DistanceOffset) + RadiusAllowance;
  // The matrices carry Rho too; the picker un-projects through them.
  UpdateCamera();
}

void TMDLFramePaintBox::SetResolution(int width, int height) {
  // Checked before anything changes, so a refused size leaves the camera as it was.
  if (width < 0 || width > TWinGBitmap::kMaxWidth || height < 0 || height > TFrameRaster::kMaxRows)
    throw EWinGError(Format("Picture size %d x %d is not supported (at most %d x %d)", width, height,
                            TWinGBitmap::kMaxWidth, TFrameRaster::kMaxRows));
  if (BitmapWidth() > 0)
    ScreenDistance = static_cast<float>(std::nearbyint(double(width) * ScreenDistance / BitmapWidth()));
  SetBitmapWidth(width);
  SetBitmapHeight(height);
  SizeBitmap();
  CenterView();
}

// ---- mouse gestures ------------------------------------------------------------------------

void TMDLFramePaintBox::CameraDrag(TShiftState shift, int x1, int y1, int x2, int y2) {
  const bool left = shift.Contains(ssLeft);
  const bool right = shift.Contains(ssRight);
  bool rhoChanged = false;
  if (left && right) {
    if (y2 < y1)
      SetFieldOfView(std::max(5, GetFieldOfView() - 10));
    else if (y2 > y1)
      SetFieldOfView(std::min(95, GetFieldOfView() + 10));
  } else if (left && shift.Contains(ssShift) && RhoChangeable) {
    if (y2 < y1)
      Rho = static_cast<float>(Rho * 1.05);
    else if (y2 > y1)
      Rho = static_cast<float>(Rho * 0.952381);
    rhoChanged = true;
  } else if (left && shift.Contains(ssCtrl) && DistChangeable) {
    if (y2 < y1)
      ScreenDistance = static_cast<float>(ScreenDistance * 1.05);
    else if (y2 > y1)
      ScreenDistance = static_cast<float>(ScreenDistance * 0.952381);
  } else if (left) {
    CenterX += x2 - x1;
    CenterY += y2 - y1;
  } else if (right) {
    if (x2 != x1) Theta_ = static_cast<float>(Theta_ + 0.02 * (x1 - x2));
    if (y2 != y1) Phi_ = static_cast<float>(Phi_ + 0.02 * (y1 - y2));
    ViewIndex = 0;
    rhoChanged = true;
  }
  if (rhoChanged) UpdateCamera();
  if (LightFollowsCamera_) LightFromCamera();
  Invalidate();
}

void TMDLFramePaintBox::SetLightFollowsCamera(bool on) {
  LightFollowsCamera_ = on;
  if (on) {
    LightFromCamera();
    Invalidate();
  }
}

void TMDLFramePaintBox::LightFromCamera() {
  const TVector eye = EyePosition();
  TVector v{-eye.x, -eye.y, -eye.z, 0.0f};
  Normalize(v);
  LightVector = v;
}
