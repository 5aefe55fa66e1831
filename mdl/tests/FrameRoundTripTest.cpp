// Every frame of every real model goes out as DXF and as CAD and comes back
// into the same frame with its positions.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
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
