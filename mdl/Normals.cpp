#include "mdl/Normals.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

const float kLightNormals[kNormalCount][3] = {
    {-0.525731f, 0.000000f, 0.850651f},   {-0.442863f, 0.238856f, 0.864188f},
    {-0.295242f, 0.000000f, 0.955423f},   {-0.309017f, 0.500000f, 0.809017f},
    {-0.162460f, 0.262866f, 0.951056f},   {0.000000f, 0.000000f, 1.000000f},
    {0.000000f, 0.850651f, 0.525731f},    {-0.147621f, 0.716567f, 0.681718f},
    {0.147621f, 0.716567f, 0.681718f},    {0.000000f, 0.525731f, 0.850651f},
    {0.309017f, 0.500000f, 0.809017f},    {0.525731f, 0.000000f, 0.850651f},
    {0.295242f, 0.000000f, 0.955423f},    {0.442863f, 0.238856f, 0.864188f},
    {0.162460f, 0.262866f, 0.951056f},    {-0.681718f, 0.147621f, 0.716567f},
    {-0.809017f, 0.309017f, 0.500000f},   {-0.587785f, 0.425325f, 0.688191f},
    {-0.850651f, 0.525731f, 0.000000f},   {-0.864188f, 0.442863f, 0.238856f},
    {-0.716567f, 0.681718f, 0.147621f},   {-0.688191f, 0.587785f, 0.425325f},
    {-0.500000f, 0.809017f, 0.309017f},   {-0.238856f, 0.864188f, 0.442863f},
    {-0.425325f, 0.688191f, 0.587785f},   {-0.716567f, 0.681718f, -0.147621f},
    {-0.500000f, 0.809017f, -0.309017f},  {-0.525731f, 0.850651f, 0.000000f},
    {0.000000f, 0.850651f, -0.525731f},   {-0.238856f, 0.864188f, -0.442863f},
    {0.000000f, 0.955423f, -0.295242f},   {-0.262866f, 0.951056f, -0.162460f},
    {0.000000f, 1.000000f, 0.000000f},    {0.000000f, 0.955423f, 0.295242f},
    {-0.262866f, 0.951056f, 0.162460f},   {0.238856f, 0.864188f, 0.442863f},
    {0.262866f, 0.951056f, 0.162460f},    {0.500000f, 0.809017f, 0.309017f},
    {0.238856f, 0.864188f, -0.442863f},   {0.262866f, 0.951056f, -0.162460f},
    {0.500000f, 0.809017f, -0.309017f},   {0.850651f, 0.525731f, 0.000000f},
    {0.716567f, 0.681718f, 0.147621f},    {0.716567f, 0.681718f, -0.147621f},
    {0.525731f, 0.850651f, 0.000000f},    {0.425325f, 0.688191f, 0.587785f},
    {0.864188f, 0.442863f, 0.238856f},    {0.688191f, 0.587785f, 0.425325f},
    {0.809017f, 0.309017f, 0.500000f},    {0.681718f, 0.147621f, 0.716567f},
    {0.587785f, 0.425325f, 0.688191f},    {0.955423f, 0.295242f, 0.000000f},
    {1.000000f, 0.000000f, 0.000000f},    {0.951056f, 0.162460f, 0.262866f},
    {0.850651f, -0.525731f, 0.000000f},   {0.955423f, -0.295242f, 0.000000f},
    {0.864188f, -0.442863f, 0.238856f},   {0.951056f, -0.162460f, 0.262866f},
    {0.809017f, -0.309017f, 0.500000f},   {0.681718f, -0.147621f, 0.716567f},
    {0.850651f, 0.000000f, 0.525731f},    {0.864188f, 0.442863f, -0.238856f},
    {0.809017f, 0.309017f, -0.500000f},   {0.951056f, 0.162460f, -0.262866f},
    {0.525731f, 0.000000f, -0.850651f},   {0.681718f, 0.147621f, -0.716567f},
    {0.681718f, -0.147621f, -0.716567f},  {0.850651f, 0.000000f, -0.525731f},
    {0.809017f, -0.309017f, -0.500000f},  {0.864188f, -0.442863f, -0.238856f},
    {0.951056f, -0.162460f, -0.262866f},  {0.147621f, 0.716567f, -0.681718f},
    {0.309017f, 0.500000f, -0.809017f},   {0.425325f, 0.688191f, -0.587785f},
    {0.442863f, 0.238856f, -0.864188f},   {0.587785f, 0.425325f, -0.688191f},
    {0.688191f, 0.587785f, -0.425325f},   {-0.147621f, 0.716567f, -0.681718f},
    {-0.309017f, 0.500000f, -0.809017f},  {0.000000f, 0.525731f, -0.850651f},
    {-0.525731f, 0.000000f, -0.850651f},  {-0.442863f, 0.238856f, -0.864188f},
    {-0.295242f, 0.000000f, -0.955423f},  {-0.162460f, 0.262866f, -0.951056f},
    {0.000000f, 0.000000f, -1.000000f},   {0.295242f, 0.000000f, -0.955423f},
    {0.162460f, 0.262866f, -0.951056f},   {-0.442863f, -0.238856f, -0.864188f},
    {-0.309017f, -0.500000f, -0.809017f}, {-0.162460f, -0.262866f, -0.951056f},
    {0.000000f, -0.850651f, -0.525731f},  {-0.147621f, -0.716567f, -0.681718f},
    {0.147621f, -0.716567f, -0.681718f},  {0.000000f, -0.525731f, -0.850651f},
    {0.309017f, -0.500000f, -0.809017f},  {0.442863f, -0.238856f, -0.864188f},
    {0.162460f, -0.262866f, -0.951056f},  {0.238856f, -0.864188f, -0.442863f},
    {0.500000f, -0.809017f, -0.309017f},  {0.425325f, -0.688191f, -0.587785f},
    {0.716567f, -0.681718f, -0.147621f},  {0.688191f, -0.587785f, -0.425325f},
    {0.587785f, -0.425325f, -0.688191f},  {0.000000f, -0.955423f, -0.295242f},
    {0.000000f, -1.000000f, 0.000000f},   {0.262866f, -0.951056f, -0.162460f},
    {0.000000f, -0.850651f, 0.525731f},   {0.000000f, -0.955423f, 0.295242f},
    {0.238856f, -0.864188f, 0.442863f},   {0.262866f, -0.951056f, 0.162460f},
    {0.500000f, -0.809017f, 0.309017f},   {0.716567f, -0.681718f, 0.147621f},
    {0.525731f, -0.850651f, 0.000000f},   {-0.238856f, -0.864188f, -0.442863f},
    {-0.500000f, -0.809017f, -0.309017f}, {-0.262866f, -0.951056f, -0.162460f},
    {-0.850651f, -0.525731f, 0.000000f},  {-0.716567f, -0.681718f, -0.147621f},
    {-0.716567f, -0.681718f, 0.147621f},  {-0.525731f, -0.850651f, 0.000000f},
    {-0.500000f, -0.809017f, 0.309017f},  {-0.238856f, -0.864188f, 0.442863f},
    {-0.262866f, -0.951056f, 0.162460f},  {-0.864188f, -0.442863f, 0.238856f},
    {-0.809017f, -0.309017f, 0.500000f},  {-0.688191f, -0.587785f, 0.425325f},
    {-0.681718f, -0.147621f, 0.716567f},  {-0.442863f, -0.238856f, 0.864188f},
    {-0.587785f, -0.425325f, 0.688191f},  {-0.309017f, -0.500000f, 0.809017f},
    {-0.147621f, -0.716567f, 0.681718f},  {-0.425325f, -0.688191f, 0.587785f},
    {-0.162460f, -0.262866f, 0.951056f},  {0.442863f, -0.238856f, 0.864188f},
    {0.162460f, -0.262866f, 0.951056f},   {0.309017f, -0.500000f, 0.809017f},
    {0.147621f, -0.716567f, 0.681718f},   {0.000000f, -0.525731f, 0.850651f},
    {0.425325f, -0.688191f, 0.587785f},   {0.587785f, -0.425325f, 0.688191f},
    {0.688191f, -0.587785f, 0.425325f},   {-0.955423f, 0.295242f, 0.000000f},
    {-0.951056f, 0.162460f, 0.262866f},   {-1.000000f, 0.000000f, 0.000000f},
    {-0.850651f, 0.000000f, 0.525731f},   {-0.955423f, -0.295242f, 0.000000f},
    {-0.951056f, -0.162460f, 0.262866f},  {-0.864188f, 0.442863f, -0.238856f},
    {-0.951056f, 0.162460f, -0.262866f},  {-0.809017f, 0.309017f, -0.500000f},
    {-0.864188f, -0.442863f, -0.238856f}, {-0.951056f, -0.162460f, -0.262866f},
    {-0.809017f, -0.309017f, -0.500000f}, {-0.681718f, 0.147621f, -0.716567f},
    {-0.681718f, -0.147621f, -0.716567f}, {-0.850651f, 0.000000f, -0.525731f},
    {-0.688191f, 0.587785f, -0.425325f},  {-0.587785f, 0.425325f, -0.688191f},
    {-0.425325f, 0.688191f, -0.587785f},  {-0.425325f, -0.688191f, -0.587785f},
    {-0.587785f, -0.425325f, -0.688191f}, {-0.688191f, -0.587785f, -0.425325f},
};

TVector LightNormal(int j) {
  return MakeVector(kLightNormals[j][0], kLightNormals[j][1], kLightNormals[j][2]);
}

int NearestNormalExhaustive(const TVector& a) {
  float best = -999999.0f;
  int result = 0;
  for (int j = 0; j < kNormalCount; ++j) {
    float d = Dot(a, LightNormal(j));
    if (d > best) {
      best = d;
      result = j;
    }
  }
  return result;
}

namespace {

// Directions are sorted into the cells of a cube around the origin. For each
// cell we keep, in table order, every entry that could be the best match for
// some direction in the cell; an entry is left out only when another one is
// certainly better by a clear margin everywhere in the cell, far beyond what
// float rounding could change. Trying the kept entries in table order with
// the same strict comparison then gives the full search's answer.
constexpr int kCells = 32;
constexpr double kMargin = 1e-4;

struct TCellTable {
  std::vector<uint32_t> Start;  // per cell, into Entries; one extra at the end
  std::vector<uint8_t> Entries;
};

void CellOf(double x, double y, double z, int& face, int& iu, int& iv, double& u, double& v) {
  double ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
  double major;
  if (ax >= ay && ax >= az) {
    face = x < 0 ? 1 : 0;
    major = ax;
    u = y / major;
    v = z / major;
  } else if (ay >= az) {
    face = y < 0 ? 3 : 2;
    major = ay;
    u = x / major;
    v = z / major;
  } else {
    face = z < 0 ? 5 : 4;
    major = az;
    u = x / major;
    v = y / major;
  }
  iu = std::clamp(static_cast<int>((u + 1.0) * 0.5 * kCells), 0, kCells - 1);
  iv = std::clamp(static_cast<int>((v + 1.0) * 0.5 * kCells), 0, kCells - 1);
}

void FaceDirection(int face, double u, double v, double out[3]) {
  double s = (face & 1) ? -1.0 : 1.0;
  switch (face >> 1) {
    case 0: out[0] = s; out[1] = u; out[2] = v; break;
    case 1: out[0] = u; out[1] = s; out[2] = v; break;
    default: out[0] = u; out[1] = v; out[2] = s; break;
  }
  double len = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
  for (int k = 0; k < 3; ++k) out[k] /= len;
}

TCellTable BuildCells() {
  TCellTable t;
  t.Start.reserve(6 * kCells * kCells + 1);
  for (int face = 0; face < 6; ++face)
    for (int iu = 0; iu < kCells; ++iu)
      for (int iv = 0; iv < kCells; ++iv) {
        t.Start.push_back(static_cast<uint32_t>(t.Entries.size()));
        const double step = 2.0 / kCells;
        double u0 = -1.0 + iu * step, v0 = -1.0 + iv * step;
        double c[3];
        FaceDirection(face, u0 + step / 2, v0 + step / 2, c);
        // The cell is a convex patch of the sphere: its farthest point from
        // the centre direction is one of its corners.
        double cosR = 1.0;
        for (int k = 0; k < 4; ++k) {
          double p[3];
          FaceDirection(face, u0 + (k & 1) * step, v0 + (k >> 1) * step, p);
          cosR = std::min(cosR, c[0] * p[0] + c[1] * p[1] + c[2] * p[2]);
        }
        double r = std::acos(std::clamp(cosR, -1.0, 1.0)) + 1e-6;
        double cr = std::cos(r), sr = std::sin(r);
        double lower[kNormalCount], upper[kNormalCount];
        double bestLower = -2.0;
        for (int j = 0; j < kNormalCount; ++j) {
          const float* n = kLightNormals[j];
          double len = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
          double ct = (c[0] * n[0] + c[1] * n[1] + c[2] * n[2]) / len;
          ct = std::clamp(ct, -1.0, 1.0);
          double st = std::sqrt(std::max(0.0, 1.0 - ct * ct));
          // Angle to the entry within the cell: between theta - r and theta + r.
          upper[j] = (ct >= cr) ? 1.0 : ct * cr + st * sr;
          lower[j] = (std::acos(ct) + r >= std::numbers::pi) ? -1.0 : ct * cr - st * sr;
          upper[j] *= len;
          lower[j] *= len;
          bestLower = std::max(bestLower, lower[j]);
        }
        for (int j = 0; j < kNormalCount; ++j)
          if (upper[j] >= bestLower - kMargin) t.Entries.push_back(static_cast<uint8_t>(j));
      }
  t.Start.push_back(static_cast<uint32_t>(t.Entries.size()));
  return t;
}

const TCellTable& Cells() {
  static const TCellTable table = BuildCells();
  return table;
}

}  // namespace

int NearestNormal(const TVector& a) {
  double x = a.x, y = a.y, z = a.z;
  double len2 = x * x + y * y + z * z;
  // Not a unit vector (or not finite): the cells assume one.
  if (!(len2 > 0.999 && len2 < 1.001)) return NearestNormalExhaustive(a);
  int face, iu, iv;
  double u, v;
  CellOf(x, y, z, face, iu, iv, u, v);
  const TCellTable& t = Cells();
  size_t cell = (static_cast<size_t>(face) * kCells + static_cast<size_t>(iu)) * kCells + static_cast<size_t>(iv);
  float best = -999999.0f;
  int result = 0;
  for (uint32_t k = t.Start[cell]; k < t.Start[cell + 1]; ++k) {
    int j = t.Entries[k];
    const float* n = kLightNormals[j];
    // The same arithmetic as Dot() with LightNormal(j).
    float d = static_cast<float>(static_cast<double>(a.x) * n[0] + static_cast<double>(a.y) * n[1] +
                                 static_cast<double>(a.z) * n[2]);
    if (d > best) {
      best = d;
      result = j;
    }
  }
  return result;
}
