#include "resources/SampleModel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <set>
#include <utility>
#include <vector>

#include "core/Streams.h"
#include "mdl/Mdl.h"

namespace {

// The connected pieces of the mesh (vertices joined through triangles), as
// lists of vertex numbers in order of their lowest vertex.
std::vector<std::vector<int>> Pieces(TMDL& m) {
  const int n = m.Vertices->Count();
  std::vector<int> up(static_cast<size_t>(n));
  std::iota(up.begin(), up.end(), 0);
  auto find = [&up](int v) {
    while (up[static_cast<size_t>(v)] != v) v = up[static_cast<size_t>(v)];
    return v;
  };
  for (const TTriangle& t : m.Triangles->Items())
    for (int c = 1; c < 3; ++c) up[static_cast<size_t>(find(t.Vertex[c]))] = find(t.Vertex[0]);
  std::vector<std::vector<int>> pieces;
  std::map<int, size_t> order;
  for (int v = 0; v < n; ++v) {
    const int r = find(v);
    if (!order.count(r)) {
      order[r] = pieces.size();
      pieces.emplace_back();
    }
    pieces[order[r]].push_back(v);
  }
  return pieces;
}

struct TPoint3 {
  double x = 0, y = 0, z = 0;
};

TPoint3 Centroid(TMDLFrame& f, const std::vector<int>& vs) {
  TPoint3 c;
  for (int v : vs) {
    const TFrameVertex p = f.Get(v);
    c.x += p.X;
    c.y += p.Y;
    c.z += p.Z;
  }
  const double k = 1.0 / static_cast<double>(vs.size());
  return {c.x * k, c.y * k, c.z * k};
}

double Distance(const TFrameVertex& a, const TFrameVertex& b) {
  return std::sqrt(double(a.X - b.X) * (a.X - b.X) + double(a.Y - b.Y) * (a.Y - b.Y) +
                   double(a.Z - b.Z) * (a.Z - b.Z));
}

// The skin column a triangle corner samples, by the seam rule.
int EffectiveS(TMDL& m, const TTriangle& t, int c) {
  const TSkinVertex v = m.Vertices->Get(t.Vertex[c]);
  return v.S + (t.FacesFront == 0 && v.Flags != 0 ? m.Header->SkinWidth / 2 : 0);
}

class SampleModelTest : public ::testing::Test {
protected:
  void SetUp() override { Model = BuildSampleModel(); }
  std::unique_ptr<TMDL> Model;
};

}  // namespace

TEST_F(SampleModelTest, IsAConsistentFigureWithScenesObjectsAndSkins) {
  TMDL& m = *Model;
  const int n = m.Vertices->Count();
  EXPECT_GE(n, 150);
  EXPECT_GE(m.Triangles->Count(), 200);
  EXPECT_LE(m.Triangles->Count(), 600);

  ASSERT_EQ(m.Frames->SceneCount(), 3);
  const char* names[3] = {"stand", "walk", "wave"};
  const int counts[3] = {2, 8, 4};
  for (int s = 0; s < 3; ++s) {
    EXPECT_EQ(m.Frames->SceneName(s), names[s]);
    EXPECT_EQ(m.Frames->SceneFrameCount(s), counts[s]);
  }
  EXPECT_TRUE(m.Frames->SceneIsGroup(0));
  EXPECT_FALSE(m.Frames->SceneIsGroup(1));
  EXPECT_GT(m.Frames->Scene(0).Interval(1), m.Frames->Scene(0).Interval(0));
  ASSERT_EQ(m.Frames->Count(), 14);
  for (int f = 0; f < m.Frames->Count(); ++f) {
    EXPECT_EQ(m.Frames->Frame(f).Count(), n) << f;
    EXPECT_EQ(m.Frames->Frame(f).PivotCount(), m.Objects->Count()) << f;
  }
  EXPECT_EQ(m.Frames->Frame(3).Name(), "walk2");

  for (const TTriangle& t : m.Triangles->Items())
    for (int v : t.Vertex) ASSERT_TRUE(v >= 0 && v < n);

  ASSERT_EQ(m.Objects->Count(), 3);
  TMDLObject& body = m.Objects->Object(1);
  TMDLObject& torch = m.Objects->Object(2);
  EXPECT_EQ(body.Name, "body");
  EXPECT_EQ(torch.Name, "torch");
  EXPECT_EQ(body.Parent, m.Objects->Root());
  EXPECT_EQ(torch.Parent, &body);
  EXPECT_EQ(m.Objects->Root()->CollectVertices(), 0);
  EXPECT_EQ(body.CollectVertices() + torch.CollectVertices(), n);
  EXPECT_EQ(torch.CollectVertices(), 16);

  ASSERT_EQ(m.Skins->Count(), 2);
  EXPECT_EQ(m.Skins->SkinName(0), "brown");
  EXPECT_EQ(m.Skins->SkinName(1), "slate");
  for (int k = 0; k < 2; ++k) {
    TMDLBitmap& skin = m.Skins->Skin(k);
    EXPECT_EQ(skin.Width, sample::kSkinWidth);
    EXPECT_EQ(skin.Height, sample::kSkinHeight);
    int64_t sum = 0;
    for (int32_t c : skin.ColorCount()) sum += c;
    EXPECT_EQ(sum, int64_t{skin.Width} * skin.Height);
  }
  EXPECT_EQ(m.Header->EyePosition[2], sample::kGround);
}

TEST_F(SampleModelTest, EveryPieceIsClosedAndFacesOutwardsInEveryFrame) {
  TMDL& m = *Model;
  // Each edge is walked once in each direction: no holes, no flipped face.
  std::map<std::pair<int, int>, int> edges;
  for (const TTriangle& t : m.Triangles->Items())
    for (int c = 0; c < 3; ++c) ++edges[{t.Vertex[c], t.Vertex[(c + 1) % 3]}];
  for (const auto& [e, count] : edges) {
    EXPECT_EQ(count, 1) << e.first << "-" << e.second;
    EXPECT_EQ(edges.count({e.second, e.first}), 1u) << e.first << "-" << e.second;
  }
  // Outwards means (p0 - p1) x (p2 - p1) leaves the piece, as the light
  // normals and the drawing of front faces take it: the enclosed volume
  // counted with that orientation is positive.
  const auto pieces = Pieces(m);
  EXPECT_EQ(pieces.size(), 10u);
  std::vector<int> pieceOf(static_cast<size_t>(m.Vertices->Count()));
  for (size_t p = 0; p < pieces.size(); ++p)
    for (int v : pieces[p]) pieceOf[static_cast<size_t>(v)] = static_cast<int>(p);
  for (int f = 0; f < m.Frames->Count(); ++f) {
    TMDLFrame& frame = m.Frames->Frame(f);
    std::vector<double> volume(pieces.size(), 0.0);
    for (const TTriangle& t : m.Triangles->Items()) {
      const TFrameVertex a = frame.Get(t.Vertex[0]), b = frame.Get(t.Vertex[1]), c = frame.Get(t.Vertex[2]);
      const double ux = a.X - b.X, uy = a.Y - b.Y, uz = a.Z - b.Z;
      const double wx = c.X - b.X, wy = c.Y - b.Y, wz = c.Z - b.Z;
      const double nx = uy * wz - uz * wy, ny = uz * wx - ux * wz, nz = ux * wy - uy * wx;
      volume[static_cast<size_t>(pieceOf[static_cast<size_t>(t.Vertex[0])])] += (b.X * nx + b.Y * ny + b.Z * nz) / 6;
    }
    for (size_t p = 0; p < pieces.size(); ++p) EXPECT_GT(volume[p], 1.0) << "frame " << f << " piece " << p;
  }
}

TEST_F(SampleModelTest, SkinLayoutSamplesOnlyPaintedTexelsWithPiecesApart) {
  TMDL& m = *Model;
  const int w = m.Header->SkinWidth, h = m.Header->SkinHeight;
  const auto pieces = Pieces(m);
  std::vector<int> pieceOf(static_cast<size_t>(m.Vertices->Count()));
  for (size_t p = 0; p < pieces.size(); ++p)
    for (int v : pieces[p]) pieceOf[static_cast<size_t>(v)] = static_cast<int>(p);
  // Per piece and half of the skin: the box of texels its faces use.
  struct TBox {
    int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;
  };
  std::vector<TBox> boxes(pieces.size() * 2);
  int seamUsed = 0, backFaces = 0;
  for (const TTriangle& t : m.Triangles->Items()) {
    int s[3], r[3];
    for (int c = 0; c < 3; ++c) {
      s[c] = EffectiveS(m, t, c);
      r[c] = m.Vertices->Get(t.Vertex[c]).T;
      ASSERT_TRUE(s[c] >= 0 && s[c] < w && r[c] >= 0 && r[c] < h) << s[c] << "," << r[c];
      // Front faces sample the left half, back faces the right half.
      if (t.FacesFront) EXPECT_LT(s[c], w / 2);
      else EXPECT_GE(s[c], w / 2);
      if (!t.FacesFront && m.Vertices->Get(t.Vertex[c]).Flags != 0) ++seamUsed;
    }
    backFaces += t.FacesFront == 0;
    const int area = (s[1] - s[0]) * (r[2] - r[0]) - (r[1] - r[0]) * (s[2] - s[0]);
    if (area == 0) continue;
    for (int k = 0; k < 2; ++k) {
      // The middle of every face lies on paint, in both skins.
      const uint8_t texel = m.Skins->Skin(k).Pixel((s[0] + s[1] + s[2]) / 3, (r[0] + r[1] + r[2]) / 3);
      EXPECT_NE(texel, sample::kBackground);
    }
    TBox& b = boxes[static_cast<size_t>(pieceOf[static_cast<size_t>(t.Vertex[0])]) * 2 + (t.FacesFront ? 0 : 1)];
    for (int c = 0; c < 3; ++c) {
      b.x0 = std::min(b.x0, s[c]);
      b.x1 = std::max(b.x1, s[c]);
      b.y0 = std::min(b.y0, r[c]);
      b.y1 = std::max(b.y1, r[c]);
    }
  }
  EXPECT_GT(backFaces, 50);
  EXPECT_GT(seamUsed, 20);
  for (size_t i = 0; i < boxes.size(); ++i)
    for (size_t j = i + 1; j < boxes.size(); ++j) {
      const TBox &a = boxes[i], &b = boxes[j];
      if (a.x1 < 0 || b.x1 < 0) continue;
      const bool apart = a.x1 < b.x0 || b.x1 < a.x0 || a.y1 < b.y0 || b.y1 < a.y0;
      EXPECT_TRUE(apart) << "pieces " << i / 2 << " and " << j / 2 << " share skin texels";
    }
}

TEST_F(SampleModelTest, SecondSkinChangesOnlyTheClothes) {
  TMDLBitmap& a = Model->Skins->Skin(0);
  TMDLBitmap& b = Model->Skins->Skin(1);
  int changed = 0;
  for (int y = 0; y < a.Height; ++y)
    for (int x = 0; x < a.Width; ++x) {
      const int p = a.Pixel(x, y), q = b.Pixel(x, y);
      if (p == q) continue;
      ++changed;
      // Shirt and trousers: the two colour ranges the player colours replace.
      EXPECT_TRUE((p >= 16 && p < 32) || (p >= 96 && p < 112)) << x << "," << y << ": " << p;
    }
  EXPECT_GT(changed, 1000);
}

TEST_F(SampleModelTest, FiguresStandOnTheGroundAndMoveAsAFigureDoes) {
  TMDL& m = *Model;
  const auto pieces = Pieces(m);
  TMDLFrame& rest = m.Frames->Frame(0);
  // Pick the pieces out by where they are at rest.
  size_t head = 0, armL = 0, footL = 0;
  for (size_t p = 0; p < pieces.size(); ++p) {
    const TPoint3 c = Centroid(rest, pieces[p]), ch = Centroid(rest, pieces[head]), ca = Centroid(rest, pieces[armL]);
    if (c.z > ch.z) head = p;
    if (c.y > ca.y) armL = p;
  }
  for (size_t p = 0; p < pieces.size(); ++p) {
    const TPoint3 c = Centroid(rest, pieces[p]), cf = Centroid(rest, pieces[footL]);
    if (c.y > 0 && c.z < cf.z) footL = p;
  }
  for (int f = 0; f < m.Frames->Count(); ++f) {
    TMDLFrame& frame = m.Frames->Frame(f);
    float lowest = 1e9f;
    for (int v = 0; v < frame.Count(); ++v) lowest = std::min(lowest, frame.Get(v).Z);
    EXPECT_NEAR(lowest, sample::kGround, 1e-4) << frame.Name();
  }
  // Walking: the left foot is ahead at the first step and behind half a
  // cycle later, and no two following frames are alike.
  const int walk = m.Frames->FrameIndex(&m.Frames->Scene(1));
  EXPECT_GT(Centroid(m.Frames->Frame(walk), pieces[footL]).x, Centroid(m.Frames->Frame(walk + 4), pieces[footL]).x + 10);
  for (int i = 0; i < 8; ++i) {
    TMDLFrame& a = m.Frames->Frame(walk + i);
    TMDLFrame& b = m.Frames->Frame(walk + (i + 1) % 8);
    double moved = 0;
    for (int v = 0; v < a.Count(); ++v) moved = std::max(moved, Distance(a.Get(v), b.Get(v)));
    EXPECT_GT(moved, 1.0) << i;
  }
  // Waving: the left hand is raised above the head.
  const int wave = m.Frames->FrameIndex(&m.Frames->Scene(2));
  for (int i = 0; i < 4; ++i) {
    TMDLFrame& frame = m.Frames->Frame(wave + i);
    float hand = -1e9f, top = -1e9f;
    for (int v : pieces[armL]) hand = std::max(hand, frame.Get(v).Z);
    for (int v : pieces[head]) top = std::max(top, frame.Get(v).Z);
    EXPECT_GT(hand, top) << i;
  }
}

TEST_F(SampleModelTest, RigidPartsKeepTheirShapeAndTheTorchItsPivot) {
  TMDL& m = *Model;
  const auto pieces = Pieces(m);
  TMDLObject& torch = m.Objects->Object(2);
  torch.CollectVertices();
  const std::vector<int32_t> torchVerts = torch.VertexIndices;
  TMDLFrame& rest = m.Frames->Frame(0);
  for (int f = 1; f < m.Frames->Count(); ++f) {
    TMDLFrame& frame = m.Frames->Frame(f);
    // Pieces without a joint ring: the torch's two and the feet (8
    // vertices), head and body (32). Every distance within one stays as it
    // is at rest; arms (40) and legs (24) bend.
    for (const auto& piece : pieces) {
      if (piece.size() != 8 && piece.size() != 32) continue;
      for (size_t i = 0; i < piece.size(); ++i)
        for (size_t j = i + 1; j < piece.size(); ++j) {
          const int a = piece[i], b = piece[j];
          ASSERT_NEAR(Distance(frame.Get(a), frame.Get(b)), Distance(rest.Get(a), rest.Get(b)), 2e-3)
              << frame.Name() << " " << a << "-" << b;
        }
    }
    // The torch's pivot travels with the torch.
    const TVector p = Column(torch.Pivot(f).Matrix(), 4), p0 = Column(torch.Pivot(0).Matrix(), 4);
    for (int v : torchVerts) {
      const TFrameVertex pf{p.x, p.y, p.z, 0}, pr{p0.x, p0.y, p0.z, 0};
      EXPECT_NEAR(Distance(frame.Get(v), pf), Distance(rest.Get(v), pr), 2e-3) << frame.Name();
    }
  }
}

TEST_F(SampleModelTest, SavesAndLoadsBackWithItsExtension) {
  TMDL& m = *Model;
  TMemoryStream s;
  m.SaveToStream(s, true);
  s.SetPosition(0);
  TMDL back;
  back.Clear();
  back.LoadFromStream(s);
  ASSERT_TRUE(back.Header->ExtensionFound);
  ASSERT_EQ(back.Vertices->Count(), m.Vertices->Count());
  ASSERT_EQ(back.Triangles->Count(), m.Triangles->Count());
  ASSERT_EQ(back.Frames->SceneCount(), 3);
  ASSERT_EQ(back.Frames->Count(), m.Frames->Count());
  EXPECT_TRUE(back.Frames->SceneIsGroup(0));
  EXPECT_FLOAT_EQ(back.Frames->Scene(0).Interval(1), m.Frames->Scene(0).Interval(1));
  for (int i = 0; i < m.Vertices->Count(); ++i) {
    EXPECT_EQ(back.Vertices->Get(i), m.Vertices->Get(i));
    EXPECT_EQ(back.Vertices->ObjectIndex(i), m.Vertices->ObjectIndex(i));
  }
  for (int t = 0; t < m.Triangles->Count(); ++t) EXPECT_EQ(back.Triangles->Get(t), m.Triangles->Get(t));
  for (int f = 0; f < m.Frames->Count(); ++f) {
    TMDLFrame &a = m.Frames->Frame(f), &b = back.Frames->Frame(f);
    EXPECT_EQ(b.Name(), a.Name());
    for (int v = 0; v < a.Count(); ++v) ASSERT_EQ(b.Get(v), a.Get(v)) << a.Name() << " " << v;
    for (int o = 0; o < 3; ++o)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(b.Pivot(o).Translation()[c], a.Pivot(o).Translation()[c]);
  }
  ASSERT_EQ(back.Objects->Count(), 3);
  EXPECT_EQ(back.Objects->Object(2).Name, "torch");
  EXPECT_EQ(back.Objects->Object(2).ParentIndex, 1);
  ASSERT_EQ(back.Skins->Count(), 2);
  EXPECT_EQ(back.Skins->SkinName(1), "slate");
  for (int k = 0; k < 2; ++k)
    for (int y = 0; y < sample::kSkinHeight; ++y)
      ASSERT_EQ(0, std::memcmp(back.Skins->Skin(k).Row(y), m.Skins->Skin(k).Row(y), sample::kSkinWidth)) << k << " " << y;
}

TEST_F(SampleModelTest, FreshBuildIsTheCommittedFileByteForByte) {
  namespace fs = std::filesystem;
  const fs::path committed = fs::path(TESSEL_TEST_SOURCE_DIR) / ".." / "sample.mdl";
  ASSERT_TRUE(fs::exists(committed)) << committed;
  const fs::path fresh = fs::temp_directory_path() / ("tessel_sample_" + std::to_string(::getpid()) + ".mdl");
  Model->SaveToFile(fresh.string(), true);
  auto bytes = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const std::vector<char> a = bytes(committed), b = bytes(fresh);
  fs::remove(fresh);
  // When the model or its file format changes on purpose, write the file
  // again with `tessel make-sample -o resources/sample.mdl`.
  ASSERT_EQ(a.size(), b.size()) << "resources/sample.mdl is not what the program builds now";
  const auto diff = std::mismatch(a.begin(), a.end(), b.begin());
  EXPECT_TRUE(diff.first == a.end()) << "resources/sample.mdl differs from a fresh build first at byte "
                                     << (diff.first - a.begin());
}
