#include "resources/SampleModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Vectors.h"
#include "mdl/Mdl.h"

namespace {

// ---- small geometry ----------------------------------------------------------------

// The vector operations as expressions (w is not used).
TVector operator+(const TVector& a, const TVector& b) {
  TVector r;
  Add(a, b, r);
  return r;
}
TVector operator-(const TVector& a, const TVector& b) {
  TVector r;
  Subtract(a, b, r);
  return r;
}
TVector operator*(const TVector& a, float f) {
  TVector r;
  Scale(a, f, r);
  return r;
}
TVector CrossProduct(const TVector& a, const TVector& b) {
  TVector r;
  Cross(a, b, r);
  return r;
}

// Sines of 0, 5, ... 90 degrees. Every angle of the figure is a multiple of
// 5 degrees and is looked up here, so no maths library can change a bit of
// the result.
constexpr float kSin5[19] = {0.0f,         0.0871557427f, 0.173648178f, 0.258819045f, 0.342020143f,
                             0.422618262f, 0.5f,          0.573576436f, 0.64278761f,  0.707106781f,
                             0.766044443f, 0.819152044f,  0.866025404f, 0.906307787f, 0.939692621f,
                             0.965925826f, 0.984807753f,  0.996194698f, 1.0f};

float SinDeg(int d) {
  d %= 360;
  if (d < 0) d += 360;
  if (d <= 90) return kSin5[d / 5];
  if (d <= 180) return kSin5[(180 - d) / 5];
  if (d <= 270) return -kSin5[(d - 180) / 5];
  return -kSin5[(360 - d) / 5];
}

float CosDeg(int d) { return SinDeg(d + 90); }

// Turns p about the line through c parallel to Y, taking -Z towards +X: a
// limb swinging forward.
TVector Swing(TVector p, TVector c, int deg) {
  const float co = CosDeg(deg), si = SinDeg(deg);
  const float dx = p.x - c.x, dz = p.z - c.z;
  return {c.x + dx * co - dz * si, p.y, c.z + dx * si + dz * co};
}

// Turns p about the line through c parallel to X, taking -Z towards +Y: the
// left arm raised sideways.
TVector Raise(TVector p, TVector c, int deg) {
  const float co = CosDeg(deg), si = SinDeg(deg);
  const float dy = p.y - c.y, dz = p.z - c.z;
  return {p.x, c.y + dy * co - dz * si, c.z + dy * si + dz * co};
}

// Turns p about the line through c parallel to Z, taking +X towards +Y.
TVector Turn(TVector p, TVector c, int deg) {
  const float co = CosDeg(deg), si = SinDeg(deg);
  const float dx = p.x - c.x, dy = p.y - c.y;
  return {c.x + dx * co - dy * si, c.y + dx * si + dy * co, p.z};
}

int RoundPixel(float v) { return static_cast<int>(std::floor(v + 0.5f)); }

// ---- the figure ----------------------------------------------------------------------
//
// Model units, the figure facing +X with its left on +Y, standing on Z = -24.

enum TPart : uint8_t { kTorso, kHead, kArmL, kArmR, kLegL, kLegR, kFootL, kFootR, kStick, kFlame, kPartCount };

// Which part of a limb a vertex follows: the upper segment, the ring at the
// middle joint (it takes half the bend), or the lower segment.
enum TSegment : uint8_t { kUpper, kJoint, kLower };

const TVector kHipL{0, 4, 0}, kHipR{0, -4, 0};
const TVector kKneeL{0, 4, -10.5f}, kKneeR{0, -4, -10.5f};
const TVector kShoulderL{0, 10, 17}, kShoulderR{0, -10, 17};
const TVector kElbowL{0, 10, 9.5f}, kElbowR{0, -10, 9.5f};
const TVector kNeck{0, 0, 19};
// Where the right fist holds the torch, and the torch's axis in the base
// pose: forward and 30 degrees up.
const TVector kGrip{0.5f, -10, 0.25f};
const TVector kTorchAxis{0.866025404f, 0, 0.5f};
// Across the torch; with Y it makes a right-handed frame around the axis.
const TVector kTorchUp{-0.5f, 0, 0.866025404f};

struct TRing {
  std::vector<TVector> Points;
  TSegment Segment;
};

struct TMesh {
  std::vector<TVector> Base;
  std::vector<TPart> Part;
  std::vector<TSegment> Segment;
  std::vector<TTriangle> Tris;
  std::vector<TPart> TriPart;

  int AddVertex(TVector p, TPart part, TSegment seg) {
    Base.push_back(p);
    Part.push_back(part);
    Segment.push_back(seg);
    return static_cast<int>(Base.size()) - 1;
  }
  // Corners in the order that makes (a - b) x (c - b) point outwards.
  void AddTriangle(int a, int b, int c, TPart part) {
    Tris.push_back(TTriangle{1, {a, b, c}});
    TriPart.push_back(part);
  }
  // A closed prism through rings listed along its axis, each ring's points
  // running counter-clockwise seen from where the later rings lie.
  void AddPrism(TPart part, const std::vector<TRing>& rings) {
    const int n = static_cast<int>(rings[0].Points.size());
    std::vector<std::vector<int>> idx;
    for (const TRing& r : rings) {
      std::vector<int> ring;
      for (const TVector& p : r.Points) ring.push_back(AddVertex(p, part, r.Segment));
      idx.push_back(ring);
    }
    for (size_t j = 0; j + 1 < idx.size(); ++j) {
      const std::vector<int>& lo = idx[j];
      const std::vector<int>& hi = idx[j + 1];
      for (int k = 0; k < n; ++k) {
        const int k1 = (k + 1) % n;
        AddTriangle(lo[k], hi[k1], lo[k1], part);
        AddTriangle(lo[k], hi[k], hi[k1], part);
      }
    }
    const std::vector<int>& first = idx.front();
    const std::vector<int>& last = idx.back();
    for (int k = 1; k + 1 < n; ++k) {
      AddTriangle(first[0], first[k], first[k + 1], part);
      AddTriangle(last[0], last[k + 1], last[k], part);
    }
  }
};

// Eight points around the line x = cx, y = cy at height z, starting in front.
TRing Octagon(float cx, float cy, float z, float rx, float ry, TSegment seg) {
  TRing r{{}, seg};
  for (int k = 0; k < 8; ++k) r.Points.push_back({cx + rx * CosDeg(45 * k), cy + ry * SinDeg(45 * k), z});
  return r;
}

TRing Rectangle(float x0, float x1, float y0, float y1, float z, TSegment seg) {
  return TRing{{{x1, y0, z}, {x1, y1, z}, {x0, y1, z}, {x0, y0, z}}, seg};
}

// A square cross-section of the torch at distance u along its axis.
TRing TorchSection(float u, float half) {
  const TVector side{0, 1, 0};
  const TVector c = kGrip + kTorchAxis * u;
  TRing r{{}, kLower};
  const float a[4] = {half, half, -half, -half}, b[4] = {-half, half, half, -half};
  for (int k = 0; k < 4; ++k) r.Points.push_back(c + side * a[k] + kTorchUp * b[k]);
  return r;
}

void BuildMesh(TMesh& m) {
  m.AddPrism(kTorso, {Octagon(0, 0, 0, 3.5f, 7, kUpper), Octagon(0, 0, 8, 3, 6, kUpper),
                      Octagon(0, 0, 16, 4, 7.5f, kUpper), Octagon(0, 0, 19, 3, 6.5f, kUpper)});
  // The neck ring sits inside the shoulders.
  m.AddPrism(kHead, {Octagon(0.2f, 0, 18.5f, 2.4f, 2.4f, kUpper), Octagon(0.4f, 0, 22, 3.6f, 3.4f, kUpper),
                     Octagon(0.2f, 0, 26, 4, 3.8f, kUpper), Octagon(0, 0, 31, 3, 3, kUpper)});
  for (int side = 0; side < 2; ++side) {
    const float y = side == 0 ? 10.0f : -10.0f;
    m.AddPrism(side == 0 ? kArmL : kArmR,
               {Octagon(0, y, -1.5f, 1.5f, 1.7f, kLower), Octagon(0, y, 2, 1.4f, 1.5f, kLower),
                Octagon(0, y, 9.5f, 1.8f, 1.9f, kJoint), Octagon(0, y, 17, 2.2f, 2.2f, kUpper),
                Octagon(0, y, 19, 1.6f, 1.6f, kUpper)});
  }
  for (int side = 0; side < 2; ++side) {
    const float y = side == 0 ? 4.0f : -4.0f;
    m.AddPrism(side == 0 ? kLegL : kLegR, {Octagon(0, y, -20, 1.8f, 1.8f, kLower),
                                           Octagon(0, y, -10.5f, 2.2f, 2.2f, kJoint),
                                           Octagon(0, y, 0.5f, 2.6f, 2.6f, kUpper)});
    m.AddPrism(side == 0 ? kFootL : kFootR, {Rectangle(-2, 5, y - 1.8f, y + 1.8f, -24, kLower),
                                             Rectangle(-2, 5, y - 1.8f, y + 1.8f, -20, kLower)});
  }
  m.AddPrism(kStick, {TorchSection(-3, 0.6f), TorchSection(12, 0.6f)});
  m.AddPrism(kFlame, {TorchSection(11, 1.4f), TorchSection(16, 1.4f)});
}

// One frame's pose, angles in degrees (multiples of 5; the middle joints'
// bends and the wave multiples of 10, since their joint rings take half).
struct TPose {
  int HipL = 0, HipR = 0;            // legs swung forward
  int KneeL = 0, KneeR = 0;          // lower legs bent back
  int ShoulderL = 0, ShoulderR = 0;  // arms swung forward
  int OutL = 5, OutR = 5;            // arms raised sideways
  int ElbowL = 10, ElbowR = 40;      // forearms bent forward
  int WaveL = 0;                     // left forearm turned outwards
  int HeadTurn = 0;                  // head turned to its left
};

TVector PoseLeg(TVector p, TSegment seg, TVector hip, TVector knee, int swing, int bend) {
  if (seg == kLower) p = Swing(p, knee, -bend);
  if (seg == kJoint) p = Swing(p, knee, -bend / 2);
  return Swing(p, hip, swing);
}

// side is 1 for the left arm, -1 for the right: raising and waving turn
// each arm away from the body.
TVector PoseArm(TVector p, TSegment seg, TVector shoulder, TVector elbow, int side, int swing, int out, int bend, int wave) {
  if (seg == kLower) p = Raise(Swing(p, elbow, bend), elbow, side * wave);
  if (seg == kJoint) p = Raise(Swing(p, elbow, bend / 2), elbow, side * wave / 2);
  return Swing(Raise(p, shoulder, side * out), shoulder, swing);
}

TVector PoseVertex(const TMesh& m, int i, const TPose& q) {
  const TVector p = m.Base[static_cast<size_t>(i)];
  const TSegment seg = m.Segment[static_cast<size_t>(i)];
  switch (m.Part[static_cast<size_t>(i)]) {
    case kHead:
      return Turn(p, kNeck, q.HeadTurn);
    case kArmL:
      return PoseArm(p, seg, kShoulderL, kElbowL, 1, q.ShoulderL, q.OutL, q.ElbowL, q.WaveL);
    case kArmR:
    case kStick:
    case kFlame:
      return PoseArm(p, seg, kShoulderR, kElbowR, -1, q.ShoulderR, q.OutR, q.ElbowR, 0);
    case kLegL:
    case kFootL:
      return PoseLeg(p, seg, kHipL, kKneeL, q.HipL, q.KneeL);
    case kLegR:
    case kFootR:
      return PoseLeg(p, seg, kHipR, kKneeR, q.HipR, q.KneeR);
    default:
      return p;
  }
}

// The posed figure, lifted or lowered so its lowest point rests on the
// ground; `bob` receives the lift.
std::vector<TVector> PoseFigure(const TMesh& m, const TPose& q, float& bob) {
  std::vector<TVector> out(m.Base.size());
  float lowest = 1e9f;
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = PoseVertex(m, static_cast<int>(i), q);
    lowest = std::min(lowest, out[i].z);
  }
  bob = sample::kGround - lowest;
  for (TVector& p : out) p.z += bob;
  return out;
}

// ---- skin layout -----------------------------------------------------------------------
//
// Every part is seen from one side and drawn at 2 texels per unit: the
// figure from the front (its left towards the right of the skin), the torch
// from its right-hand side along its own axis. Triangles facing away from
// that side take the right half of the skin; vertices shared by both halves
// lie on the seam.

constexpr int kHalf = sample::kSkinWidth / 2;
constexpr float kTexelsPerUnit = 2;

struct TLayout {
  TVector Origin, U, V, Facing;
  float S0, T0;
};

TLayout LayoutOf(TPart part) {
  // The flame three texels to the right of the stick, whose end it covers.
  if (part == kStick) return TLayout{kGrip, kTorchAxis, kTorchUp, {0, -1, 0}, 12, 124};
  if (part == kFlame) return TLayout{kGrip, kTorchAxis, kTorchUp, {0, -1, 0}, 15, 124};
  // The parts are stacked so that no two share a row of texels where their
  // columns meet: the head two rows up, legs two and feet four rows down.
  float t0 = 5;
  if (part == kHead) t0 = 3;
  if (part == kLegL || part == kLegR) t0 = 7;
  if (part == kFootL || part == kFootR) t0 = 9;
  return TLayout{{0, 0, 31}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}, 32, t0};
}

void LayOutSkin(TMesh& m, TMDL& model) {
  const size_t n = m.Base.size();
  std::vector<uint8_t> front(n, 0), back(n, 0);
  for (size_t t = 0; t < m.Tris.size(); ++t) {
    TTriangle& tri = m.Tris[t];
    const TVector a = m.Base[static_cast<size_t>(tri.Vertex[0])], b = m.Base[static_cast<size_t>(tri.Vertex[1])],
               c = m.Base[static_cast<size_t>(tri.Vertex[2])];
    const TVector nrm = CrossProduct(a - b, c - b);
    const float size = std::fabs(nrm.x) + std::fabs(nrm.y) + std::fabs(nrm.z);
    // Faces seen edge-on (caps, sides along the view) count as front.
    const bool isFront = Dot(nrm, LayoutOf(m.TriPart[t]).Facing) >= -1e-4f * size;
    tri.FacesFront = isFront ? 1 : 0;
    for (int32_t v : tri.Vertex) (isFront ? front : back)[static_cast<size_t>(v)] = 1;
  }
  TMDLVertexList& verts = *model.Vertices;
  for (size_t i = 0; i < n; ++i) {
    const TLayout l = LayoutOf(m.Part[i]);
    const TVector d = m.Base[i] - l.Origin;
    TSkinVertex v;
    v.S = RoundPixel(l.S0 + kTexelsPerUnit * Dot(d, l.U));
    v.T = RoundPixel(l.T0 - kTexelsPerUnit * Dot(d, l.V));
    if (front[i] && back[i]) v.Flags = kOnSeam;
    else if (back[i]) v.S += kHalf;
    verts.Add(v, kNoObject);
  }
}

// ---- skin painting ----------------------------------------------------------------------

// Game palette indices.
namespace colour {
constexpr uint8_t kShirtEdge = 20, kShirtCentre = 27, kShirtDark = 18;
constexpr uint8_t kSkinEdge = 121, kSkinCentre = 126, kNeckEdge = 119, kNeckCentre = 124;
constexpr uint8_t kHairEdge = 114, kHairCentre = 117, kBrow = 115;
constexpr uint8_t kEyeWhite = 14, kPupil = 210, kNose = 123, kLips = 132;
constexpr uint8_t kPantsEdge = 99, kPantsCentre = 104;
constexpr uint8_t kBootEdge = 172, kBootCentre = 169, kSole = 4;
constexpr uint8_t kBelt = 3, kGold = 194, kGoldLight = 192;
constexpr uint8_t kWoodEdge = 85, kWoodCentre = 90, kMetal = 8;
// The flame uses colours the game draws at full brightness.
constexpr uint8_t kFlameEdge = 234, kFlameMid = 236, kFlameBright = 239, kFlameCore = 253;
}  // namespace colour

// A ramp from `centre` (u = 0) to `edge` (|u| = 1), bending like the light
// on a round surface.
uint8_t Shade(uint8_t edge, uint8_t centre, float u) {
  const float w = std::min(u * u, 1.0f);
  return static_cast<uint8_t>(centre + RoundPixel((static_cast<float>(edge) - centre) * w));
}

struct TTexel {
  TPart Part;
  bool Back;
  int C;    // column from the part's S0 (the figure's middle line; the torch's grip)
  int T;    // skin row
  float U;  // across the part in this row: -1 .. 1
};

uint8_t HeadColour(const TTexel& x) {
  using namespace colour;
  const int c = std::abs(x.C);
  if (x.T >= 24) return Shade(kNeckEdge, kNeckCentre, x.U);  // neck
  if (x.Back) return Shade(kHairEdge, kHairCentre, x.U);
  if (x.T <= 7 || (std::fabs(x.U) > 0.8f && x.T <= 14)) return Shade(kHairEdge, kHairCentre, x.U);
  if (x.T == 11 && c >= 1 && c <= 4) return kBrow;
  if (x.T == 13 && (c == 2 || c == 3)) return c == 2 ? kPupil : kEyeWhite;
  if ((x.T == 14 || x.T == 15) && c == 0) return kNose;
  if (x.T == 18 && c <= 1) return kLips;
  return Shade(kSkinEdge, kSkinCentre, x.U);
}

uint8_t TorsoColour(const TTexel& x) {
  using namespace colour;
  const int c = std::abs(x.C);
  if (x.T >= 66) return Shade(kPantsEdge, kPantsCentre, x.U);
  if (x.T >= 63) return !x.Back && c <= 1 ? kGold : kBelt;
  if (x.Back) return x.T <= 30 ? kShirtDark : Shade(kShirtEdge, kShirtCentre, x.U);
  // An open collar and a badge on the chest.
  if (x.T <= 33 && c <= 33 - x.T) return Shade(kNeckEdge, kNeckCentre, x.U);
  if (x.T <= 34 && c == 34 - x.T) return kShirtDark;
  const int badge = std::abs(x.C - 6) + std::abs(x.T - 39);  // on the left of the chest
  if (badge <= 2) return badge == 0 ? kGoldLight : kGold;
  return Shade(kShirtEdge, kShirtCentre, x.U);
}

uint8_t ArmColour(const TTexel& x) {
  using namespace colour;
  if (x.T <= 46) return Shade(kShirtEdge, kShirtCentre, x.U);  // sleeve
  if (x.T == 47) return kShirtDark;
  if (x.T >= 64) return Shade(kNeckEdge, kSkinCentre, x.U);  // hand
  return Shade(kSkinEdge, kSkinCentre, x.U);
}

uint8_t LegColour(const TTexel& x) {
  using namespace colour;
  if (x.T >= 104) return Shade(kBootEdge, kBootCentre, x.U);
  return Shade(kPantsEdge, kPantsCentre, x.U);
}

uint8_t FootColour(const TTexel& x) {
  using namespace colour;
  if (x.T >= 118) return kSole;
  return Shade(kBootEdge, kBootCentre, x.U);
}

uint8_t TorchColour(const TTexel& x) {
  using namespace colour;
  // Units along the torch from the grip, and across it.
  const float along = static_cast<float>(x.C) / kTexelsPerUnit;
  const float across = std::fabs(static_cast<float>(124 - x.T)) / kTexelsPerUnit;
  if (x.Part == kStick) {
    if (std::fabs(along) <= 1.0f || std::fabs(along - 8) <= 0.5f) return kMetal;  // bands
    return Shade(kWoodEdge, kWoodCentre, across / 0.6f);
  }
  if (along < 12) return kMetal;  // the cup holding the flame
  const float rise = (along - 12) / 4;
  if (across > 1.0f) return kFlameEdge;
  if (across > 0.5f) return rise > 0.5f ? kFlameBright : kFlameMid;
  return rise > 0.4f ? kFlameCore : kFlameBright;
}

uint8_t TexelColour(const TTexel& x) {
  switch (x.Part) {
    case kHead:
      return HeadColour(x);
    case kTorso:
      return TorsoColour(x);
    case kArmL:
    case kArmR:
      return ArmColour(x);
    case kLegL:
    case kLegR:
      return LegColour(x);
    case kFootL:
    case kFootR:
      return FootColour(x);
    default:
      return TorchColour(x);
  }
}

// Paints every texel that a triangle samples (and a rim of one texel around
// them) with its part's colours; the rest stays background.
void PaintSkin(const TMesh& m, const TMDLVertexList& verts, TMDLBitmap& skin) {
  const int w = skin.Width, h = skin.Height;
  constexpr uint8_t kNone = 255;
  std::vector<uint8_t> part(static_cast<size_t>(w * h), kNone), back(static_cast<size_t>(w * h), 0);
  for (size_t t = 0; t < m.Tris.size(); ++t) {
    const TTriangle& tri = m.Tris[t];
    int s[3], r[3];
    for (int k = 0; k < 3; ++k) {
      const TSkinVertex v = verts.Get(tri.Vertex[k]);
      s[k] = v.S + (tri.FacesFront == 0 && (v.Flags & kOnSeam) ? kHalf : 0);
      r[k] = v.T;
    }
    const int area = (s[1] - s[0]) * (r[2] - r[0]) - (r[1] - r[0]) * (s[2] - s[0]);
    if (area == 0) continue;  // an edge-on face: its neighbours cover its texels
    const int x0 = std::max(0, std::min({s[0], s[1], s[2]})), x1 = std::min(w - 1, std::max({s[0], s[1], s[2]}));
    const int y0 = std::max(0, std::min({r[0], r[1], r[2]})), y1 = std::min(h - 1, std::max({r[0], r[1], r[2]}));
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        bool inside = true;
        for (int k = 0; k < 3 && inside; ++k) {
          const int a = k, b = (k + 1) % 3;
          const int e = (s[b] - s[a]) * (y - r[a]) - (r[b] - r[a]) * (x - s[a]);
          inside = area > 0 ? e >= 0 : e <= 0;
        }
        if (!inside) continue;
        part[static_cast<size_t>(y * w + x)] = m.TriPart[t];
        back[static_cast<size_t>(y * w + x)] = tri.FacesFront == 0;
      }
  }
  // Each part's extent along every row, for the shading across it.
  std::vector<int> lo(static_cast<size_t>(kPartCount * 2 * h), w), hi(static_cast<size_t>(kPartCount * 2 * h), -1);
  auto slot = [h](int p, int b, int y) { return static_cast<size_t>((p * 2 + b) * h + y); };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t p = part[static_cast<size_t>(y * w + x)];
      if (p == kNone) continue;
      const size_t i = slot(p, back[static_cast<size_t>(y * w + x)], y);
      lo[i] = std::min(lo[i], x);
      hi[i] = std::max(hi[i], x);
    }
  // The rim: rounding while drawing may sample one texel past an edge.
  std::vector<uint8_t> grown = part, grownBack = back;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (part[static_cast<size_t>(y * w + x)] != kNone) continue;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h || grown[static_cast<size_t>(y * w + x)] != kNone) continue;
          const uint8_t p = part[static_cast<size_t>(ny * w + nx)];
          if (p == kNone) continue;
          grown[static_cast<size_t>(y * w + x)] = p;
          grownBack[static_cast<size_t>(y * w + x)] = back[static_cast<size_t>(ny * w + nx)];
        }
    }
  for (int y = 0; y < h; ++y) {
    uint8_t* row = skin.Row(y);
    for (int x = 0; x < w; ++x) {
      const uint8_t p = grown[static_cast<size_t>(y * w + x)];
      if (p == kNone) {
        row[x] = sample::kBackground;
        continue;
      }
      const bool b = grownBack[static_cast<size_t>(y * w + x)] != 0;
      const size_t i = slot(p, b, y);
      float u = 1;
      if (hi[i] >= lo[i]) {
        const float mid = static_cast<float>(lo[i] + hi[i]) * 0.5f;
        const float half = static_cast<float>(hi[i] - lo[i]) * 0.5f + 0.5f;
        u = std::clamp((static_cast<float>(x) - mid) / half, -1.0f, 1.0f);
      }
      const int base = static_cast<int>(LayoutOf(static_cast<TPart>(p)).S0);
      row[x] = TexelColour(TTexel{static_cast<TPart>(p), b, x - (b ? kHalf : 0) - base, y, u});
    }
  }
  skin.RecountColors();
}

// ---- scenes ------------------------------------------------------------------------------

struct TScene {
  const char* Name;
  std::vector<TPose> Poses;
  // Cumulative display times for a timed group; empty for single frames.
  std::vector<float> Intervals;
};

std::vector<TScene> Scenes() {
  std::vector<TScene> scenes;
  TPose rest;
  TPose breathe;
  breathe.OutL = 10;
  breathe.OutR = 10;
  breathe.ElbowL = 20;
  breathe.HeadTurn = 10;
  scenes.push_back({"stand", {rest, breathe}, {0.6f, 1.2f}});

  // Legs swing opposite each other; a leg bends its knee while it swings
  // through, and the arms swing against the legs.
  static const int kLeg[8] = {25, 15, 0, -15, -25, -15, 0, 15};
  static const int kKnee[8] = {0, 0, 0, 0, 20, 40, 30, 10};
  static const int kArmSwingL[8] = {-20, -10, 0, 10, 20, 10, 0, -10};
  // The torch arm swings less.
  static const int kArmSwingR[8] = {10, 5, 0, -5, -10, -5, 0, 5};
  TScene walk{"walk", {}, {}};
  for (int i = 0; i < 8; ++i) {
    TPose q;
    q.HipL = kLeg[i];
    q.HipR = -kLeg[i];
    q.KneeL = kKnee[i];
    q.KneeR = kKnee[(i + 4) % 8];
    q.ShoulderL = kArmSwingL[i];
    q.ShoulderR = kArmSwingR[i];
    walk.Poses.push_back(q);
  }
  scenes.push_back(walk);

  static const int kWave[4] = {-20, 0, 20, 0};
  TScene wave{"wave", {}, {}};
  for (int i = 0; i < 4; ++i) {
    TPose q;
    q.OutL = 150;
    q.ElbowL = 0;
    q.WaveL = kWave[i];
    q.HeadTurn = 10;
    wave.Poses.push_back(q);
  }
  scenes.push_back(wave);
  return scenes;
}

}  // namespace

void BuildSampleModel(TMDL& model) {
  model.Clear();
  TMDLFiler& header = *model.Header;
  header.SkinWidth = sample::kSkinWidth;
  header.SkinHeight = sample::kSkinHeight;
  header.EyePosition[2] = sample::kGround;

  TMesh mesh;
  BuildMesh(mesh);
  LayOutSkin(mesh, model);
  for (const TTriangle& t : mesh.Tris) model.Triangles->Add(t);

  // Frames, with where each object's pivot goes in each.
  const int n = static_cast<int>(mesh.Base.size());
  std::vector<TVector> hips, grips;
  for (const TScene& sc : Scenes()) {
    TMDLFrameGroup& scene = model.Frames->NewScene();
    for (size_t i = 0; i < sc.Poses.size(); ++i) {
      float bob = 0;
      const std::vector<TVector> pos = PoseFigure(mesh, sc.Poses[i], bob);
      auto frame = std::make_unique<TMDLFrame>(&model);
      frame->SetCount(n);
      frame->SetPivotCount(model.Objects->Count());
      frame->SetName(sc.Name + std::to_string(i + 1));
      for (int k = 0; k < n; ++k) {
        const TVector p = pos[static_cast<size_t>(k)];
        frame->Put(k, TFrameVertex{p.x, p.y, p.z, 0});
      }
      scene.Add(std::move(frame));
      hips.push_back({0, 0, bob});
      TVector grip = PoseArm(kGrip, kLower, kShoulderR, kElbowR, -1, sc.Poses[i].ShoulderR, sc.Poses[i].OutR,
                          sc.Poses[i].ElbowR, 0);
      grip.z += bob;
      grips.push_back(grip);
    }
    if (!sc.Intervals.empty()) {
      scene.SetType(1);
      for (size_t i = 0; i < sc.Intervals.size(); ++i) scene.SetInterval(static_cast<int>(i), sc.Intervals[i]);
    }
  }
  model.Frames->RebuildIndex();

  // Objects: the body under the root, the torch under the body. They are
  // made before any vertex belongs to them, so linking moves nothing.
  TMDLObjectList& objects = *model.Objects;
  const int body = objects.Add(*objects.Root());
  const int torch = objects.Add(objects.Object(body));
  objects.SetName(body, "body");
  objects.SetName(torch, "torch");
  for (int k = 0; k < n; ++k) {
    const TPart p = mesh.Part[static_cast<size_t>(k)];
    model.Vertices->SetObjectIndex(k, static_cast<uint16_t>(p == kStick || p == kFlame ? torch : body));
  }
  for (int f = 0; f < model.Frames->Count(); ++f) {
    TPivot& b = objects.Object(body).Pivot(f);
    const TVector hip = hips[static_cast<size_t>(f)], grip = grips[static_cast<size_t>(f)];
    b.MoveTo(hip.x, hip.y, hip.z);
    TPivot& t = objects.Object(torch).Pivot(f);
    t.ResetTo(b.Matrix());
    t.MoveTo(grip.x, grip.y, grip.z);
  }

  // Skins: one painted, a second with other clothes.
  model.Skins->InsertSkin(0);
  TMDLBitmap& brown = model.Skins->Skin(0);
  PaintSkin(mesh, *model.Vertices, brown);
  brown.Name = "brown";
  model.Skins->DuplicateSkin(0, 1);
  TMDLBitmap& slate = model.Skins->Skin(1);
  slate.Name = "slate";
  // Shirt to the blue-grey ramp, trousers to the grey one.
  for (int i = 0; i < 16; ++i) slate.ReplaceColor(static_cast<uint8_t>(16 + i), static_cast<uint8_t>(32 + i));
  for (int i = 0; i < 16; ++i) slate.ReplaceColor(static_cast<uint8_t>(96 + i), static_cast<uint8_t>(i));
}

std::unique_ptr<TMDL> BuildSampleModel() {
  auto model = std::make_unique<TMDL>();
  BuildSampleModel(*model);
  return model;
}
