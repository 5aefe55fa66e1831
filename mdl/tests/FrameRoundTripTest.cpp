// Every frame of every real model goes out as DXF, CAD and OBJ and comes
// back into the same frame with its positions; through OBJ it also comes
// back as a new model's base frame with its skin.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "mdl/Mdl.h"
#include "mdl/Prompts.h"

namespace fs = std::filesystem;

namespace {

// Notices would mean a frame did not come back whole.
class TCountingPrompts : public TPrompts {
public:
  TCountingPrompts() { Previous_ = SetPrompts(this); }
  ~TCountingPrompts() override { SetPrompts(Previous_); }
  void Information(const std::string&, const std::string&) override { ++Count; }
  bool Confirm(const std::string&, const std::string&) override { return false; }
  int Count = 0;

private:
  TPrompts* Previous_ = nullptr;
};

std::vector<fs::path> RealModels() {
  std::vector<fs::path> r;
  const fs::path dir = fs::path(TESSEL_DATA_DIR) / "quake" / "models";
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.path().extension() == ".mdl") r.push_back(e.path());
  std::sort(r.begin(), r.end());
  return r;
}

// Exports each frame with `ext`, spoils the positions of the vertices the
// triangles use, imports the file back and compares within `tolerance`.
// Returns the number of frames checked.
int RoundTrip(TMDL& m, const fs::path& dir, const std::string& ext, double tolerance) {
  const int nv = m.Vertices->Count();
  std::vector<bool> used(static_cast<size_t>(nv), false);
  for (const TTriangle& t : m.Triangles->Items())
    for (int c = 0; c < 3; ++c)
      if (t.Vertex[c] >= 0 && t.Vertex[c] < nv) used[static_cast<size_t>(t.Vertex[c])] = true;
  const std::string file = (dir / ("frame" + ext)).string();
  int frames = 0;
  for (int k = 0; k < m.Frames->Count(); ++k) {
    TMDLFrame& f = m.Frames->Frame(k);
    f.ExportFrame(file);
    // Export may pull coincident corners apart; what went out is what must
    // come back.
    std::vector<TFrameVertex> expected(f.Data(), f.Data() + f.Count());
    for (int i = 0; i < f.Count(); ++i)
      if (used[static_cast<size_t>(i)]) f.Put(i, TFrameVertex{1e6f, -1e6f, 1e6f, 0});
    EXPECT_TRUE(f.ImportFrame(file)) << "frame " << k;
    for (int i = 0; i < f.Count(); ++i) {
      const TFrameVertex a = expected[static_cast<size_t>(i)], b = f.Get(i);
      if (std::fabs(a.X - b.X) > tolerance || std::fabs(a.Y - b.Y) > tolerance || std::fabs(a.Z - b.Z) > tolerance) {
        ADD_FAILURE() << ext << " frame " << k << " vertex " << i << ": " << a.X << " " << a.Y << " " << a.Z
                      << " came back as " << b.X << " " << b.Y << " " << b.Z;
        return frames;
      }
    }
    ++frames;
  }
  return frames;
}

}  // namespace

TEST(FrameRoundTripTest, EveryRealFrameSurvivesDxfAndCad) {
  const std::vector<fs::path> models = RealModels();
  if (models.empty()) GTEST_SKIP() << "no models in " << TESSEL_DATA_DIR << "/quake/models";
  const fs::path dir = fs::temp_directory_path() / ("tessel_roundtrip_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  TCountingPrompts prompts;
  int frames = 0;
  for (const fs::path& file : models) {
    SCOPED_TRACE(file.filename().string());
    TMDL m;
    m.LoadFromFile(file.string());
    if (m.Triangles->Count() == 0) continue;
    frames += RoundTrip(m, dir, ".dxf", 1e-5);
    // CAD keeps two decimals of half the model's units: 0.01 at most, plus
    // the float rounding of a value read back from text.
    frames += RoundTrip(m, dir, ".cad", 0.01 + 2e-5);
  }
  fs::remove_all(dir);
  EXPECT_EQ(prompts.Count, 0);
  EXPECT_GT(frames, 0);
  std::printf("%d frames of %zu models went out and came back\n", frames / 2, models.size());
}

namespace {

struct TCornerSkin {
  int32_t S, T;
  bool operator==(const TCornerSkin&) const = default;
};

// Where a triangle's corner reads the skin: a seam vertex of a triangle
// that faces back reads half the skin's width further right.
TCornerSkin SkinAt(const TMDL& m, const TTriangle& t, int c) {
  const TSkinVertex v = m.Vertices->Get(t.Vertex[c]);
  return {v.S + (t.FacesFront == 0 && v.Flags != 0 ? m.Header->SkinWidth / 2 : 0), v.T};
}

bool Near(const TFrameVertex& a, const TFrameVertex& b, double d) {
  return std::fabs(a.X - b.X) <= d && std::fabs(a.Y - b.Y) <= d && std::fabs(a.Z - b.Z) <= d;
}

// A triangle's corners as a base import takes them: exporting pulls shared
// vertices apart triangle by triangle, so a later triangle can leave an
// earlier one with corners on one another again, and the import pulls
// those apart once more (1 from 0, 2 from 1, 0 from 2, by 0.1 along x).
void PullApart(TFrameVertex (&p)[3]) {
  if (Near(p[1], p[0], 0.001)) p[1].X -= 0.1f;
  if (Near(p[2], p[1], 0.001)) p[2].X -= 0.1f;
  if (Near(p[0], p[2], 0.001)) p[0].X -= 0.1f;
}

}  // namespace

TEST(FrameRoundTripTest, EveryRealFrameSurvivesObjWithItsSkin) {
  const std::vector<fs::path> models = RealModels();
  if (models.empty()) GTEST_SKIP() << "no models in " << TESSEL_DATA_DIR << "/quake/models";
  const fs::path dir = fs::temp_directory_path() / ("tessel_roundtrip_obj_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string file = (dir / "frame.obj").string();
  TCountingPrompts prompts;
  int frames = 0, bases = 0;
  for (const fs::path& path : models) {
    SCOPED_TRACE(path.filename().string());
    TMDL m;
    m.LoadFromFile(path.string());
    if (m.Triangles->Count() == 0 || m.Skins->Count() == 0) continue;
    frames += RoundTrip(m, dir, ".obj", 1e-5);
    for (int k = 0; k < m.Frames->Count(); ++k) {
      SCOPED_TRACE("frame " + std::to_string(k));
      TMDLFrame& f = m.Frames->Frame(k);
      f.ExportFrame(file);
      // A new model from the file: the skin comes from the picture beside
      // it, and every corner has its position and its place on the skin.
      TMDL n;
      n.Clear();
      n.Skins->InsertSkin(0);
      n.Frames->CreateBaseFrame();
      n.Frames->Frame(0).ImportFrame(file);
      ASSERT_EQ(n.Header->SkinWidth, m.Header->SkinWidth);
      ASSERT_EQ(n.Header->SkinHeight, m.Header->SkinHeight);
      if (k == 0) {
        for (int y = 0; y < m.Header->SkinHeight; ++y)
          ASSERT_EQ(std::memcmp(n.Skins->Skin(0).Row(y), m.Skins->Skin(0).Row(y), size_t(m.Header->SkinWidth)), 0)
              << "skin row " << y;
      }
      ASSERT_EQ(n.Triangles->Count(), m.Triangles->Count());
      const TMDLFrame& g = n.Frames->Frame(0);
      for (int i = 0; i < m.Triangles->Count(); ++i) {
        const TTriangle& a = m.Triangles->Items()[size_t(i)];
        const TTriangle& b = n.Triangles->Items()[size_t(i)];
        TFrameVertex expected[3] = {f.Get(a.Vertex[0]), f.Get(a.Vertex[1]), f.Get(a.Vertex[2])};
        PullApart(expected);
        for (int c = 0; c < 3; ++c) {
          const TFrameVertex p = expected[c], q = g.Get(b.Vertex[c]);
          ASSERT_TRUE(Near(p, q, 1e-5)) << "triangle " << i << " corner " << c << ": " << p.X << " " << p.Y << " " << p.Z << " came back as "
              << q.X << " " << q.Y << " " << q.Z;
          ASSERT_EQ(SkinAt(n, b, c), SkinAt(m, a, c)) << "triangle " << i << " corner " << c;
        }
      }
      ++bases;
    }
  }
  fs::remove_all(dir);
  EXPECT_EQ(prompts.Count, 0);
  EXPECT_GT(bases, 0);
  std::printf("%d frames went out as OBJ and came back, %d of them as a new model with its skin\n", frames, bases);
}
