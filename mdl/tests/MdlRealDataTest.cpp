// Every real game model in the data folder: load, round-trip with and
// without the extension, and survive truncation and damaged headers.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

#include "mdl/Mdl.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> RealModels() {
  std::vector<fs::path> r;
  const fs::path dir = fs::path(TESSEL_DATA_DIR) / "quake" / "models";
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.path().extension() == ".mdl") r.push_back(e.path());
  std::sort(r.begin(), r.end());
  return r;
}

std::vector<uint8_t> Save(TMDL& m, bool ext) {
  TMemoryStream s;
  m.SaveToStream(s, ext);
  return s.Bytes();
}

void Load(TMDL& m, const std::vector<uint8_t>& b) {
  TMemoryStream s(b);
  m.LoadFromStream(s);
}

std::vector<uint8_t> FileBytes(const fs::path& p) {
  TMemoryStream s;
  s.LoadFromFile(p.string());
  return s.Bytes();
}

// Loads or refuses with the model's error; anything else fails the test.
// What loads saves, and what it saves is saved again as it is, with the
// extension and without.
void LoadOrRefuse(const std::vector<uint8_t>& b, const std::string& what) {
  TMDL m;
  try {
    Load(m, b);
  } catch (const EMDLError&) {
    return;
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": " << e.what();
    return;
  }
  for (bool ext : {true, false}) {
    const auto saved = Save(m, ext);
    TMDL r;
    Load(r, saved);
    ASSERT_EQ(Save(r, ext), saved) << what << (ext ? ", saved with the extension" : ", saved without it");
  }
}

// The models stored in the game archives of the data folder, by name.
std::vector<std::pair<std::string, std::vector<uint8_t>>> ArchivedModels() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> r;
  const fs::path dir = fs::path(TESSEL_DATA_DIR) / "quake" / "paks";
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    if (e.path().extension() != ".pak") continue;
    const auto pak = FileBytes(e.path());
    // "PACK", directory offset and length; 64-byte entries of a 56-byte
    // name, offset and length.
    if (pak.size() < 12 || std::memcmp(pak.data(), "PACK", 4) != 0) continue;
    const size_t dirOffset = GetU32LE(&pak[4]), dirLength = GetU32LE(&pak[8]);
    if (dirOffset > pak.size() || dirLength > pak.size() - dirOffset) continue;
    for (size_t at = dirOffset; at + 64 <= dirOffset + dirLength; at += 64) {
      const std::string name(reinterpret_cast<const char*>(&pak[at]), strnlen(reinterpret_cast<const char*>(&pak[at]), 56));
      const size_t offset = GetU32LE(&pak[at + 56]), length = GetU32LE(&pak[at + 60]);
      if (!name.ends_with(".mdl") || offset > pak.size() || length > pak.size() - offset) continue;
      r.emplace_back(e.path().filename().string() + ":" + name,
                     std::vector<uint8_t>(pak.begin() + static_cast<std::ptrdiff_t>(offset),
                                          pak.begin() + static_cast<std::ptrdiff_t>(offset + length)));
    }
  }
  return r;
}

// Every real model, loose or archived, by name.
std::vector<std::pair<std::string, std::vector<uint8_t>>> AllRealModels() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> r;
  for (const fs::path& p : RealModels()) r.emplace_back(p.filename().string(), FileBytes(p));
  for (auto& m : ArchivedModels()) r.push_back(std::move(m));
  return r;
}

// How many bytes differ (a length difference counts in full), and where the
// first one is.
std::string Difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t count = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size(), first = std::min(a.size(), b.size());
  for (size_t i = std::min(a.size(), b.size()); i-- > 0;)
    if (a[i] != b[i]) {
      ++count;
      first = i;
    }
  if (count == 0) return "identical";
  return std::to_string(count) + " bytes differ, the first at " + std::to_string(first);
}

#define REQUIRE_MODELS(list)                                                       \
  if ((list).empty()) GTEST_SKIP() << "no real models in " TESSEL_DATA_DIR "/quake/models"

}  // namespace

TEST(MdlRealDataTest, EveryModelRoundTripsWithoutTheExtension) {
  auto models = RealModels();
  REQUIRE_MODELS(models);
  for (const fs::path& p : models) {
    SCOPED_TRACE(p.filename().string());
    TMDL m;
    m.LoadFromFile(p.string());
    auto bytes = Save(m, false);
    // A plain game file: the game's header with the model's counts.
    ASSERT_GE(bytes.size(), 84u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "IDPO");
    EXPECT_EQ(GetI32LE(&bytes[4]), 6);
    EXPECT_EQ(GetI32LE(&bytes[60]), m.Vertices->Count());
    EXPECT_EQ(GetI32LE(&bytes[64]), m.Triangles->Count());
    const auto original = FileBytes(p);
    EXPECT_EQ(GetI32LE(&bytes[68]), GetI32LE(&original[68]));  // frame entries
    EXPECT_EQ(0, std::memcmp(&bytes[36], &original[36], 12));  // eye position carried
    EXPECT_EQ(0, std::memcmp(&bytes[72], &original[72], 8));    // sync type and flags carried
    TMDL r;
    Load(r, bytes);
    ASSERT_EQ(r.Vertices->Count(), m.Vertices->Count());
    ASSERT_EQ(r.Triangles->Count(), m.Triangles->Count());
    ASSERT_EQ(r.Frames->Count(), m.Frames->Count());
    ASSERT_EQ(r.Frames->SceneCount(), m.Frames->SceneCount());
    ASSERT_EQ(r.Skins->Count(), m.Skins->Count());
    for (int i = 0; i < m.Triangles->Count(); ++i) ASSERT_EQ(r.Triangles->Get(i), m.Triangles->Get(i));
    for (int i = 0; i < m.Vertices->Count(); ++i) ASSERT_EQ(r.Vertices->Get(i), m.Vertices->Get(i));
    for (int k = 0; k < m.Skins->Count(); ++k) {
      TMDLBitmap &a = m.Skins->Skin(k), &b = r.Skins->Skin(k);
      ASSERT_EQ(a.Width, b.Width);
      ASSERT_EQ(a.Height, b.Height);
      for (int y = 0; y < a.Height; ++y) ASSERT_EQ(0, std::memcmp(a.Row(y), b.Row(y), static_cast<size_t>(a.Width)));
    }
    const float* step = r.Header->Scale;
    for (int k = 0; k < m.Frames->Count(); ++k) {
      TMDLFrame &a = m.Frames->Frame(k), &b = r.Frames->Frame(k);
      ASSERT_EQ(a.Name(), b.Name());  // as renumbered by the save
      for (int i = 0; i < a.Count(); ++i) {
        const TFrameVertex u = a.Get(i), v = b.Get(i);
        ASSERT_LE(std::fabs(u.X - v.X), 0.5f * step[0] * 1.001f + 1e-5f) << k << " " << i;
        ASSERT_LE(std::fabs(u.Y - v.Y), 0.5f * step[1] * 1.001f + 1e-5f) << k << " " << i;
        ASSERT_LE(std::fabs(u.Z - v.Z), 0.5f * step[2] * 1.001f + 1e-5f) << k << " " << i;
      }
    }
  }
}

TEST(MdlRealDataTest, AnUnchangedModelIsSavedBackByteForByte) {
  const auto models = AllRealModels();
  REQUIRE_MODELS(models);
  for (const auto& [name, original] : models) {
    SCOPED_TRACE(name);
    TMDL m;
    Load(m, original);
    EXPECT_EQ(Difference(Save(m, false), original), "identical");
    // With the extension the game part stays the file, and the extended
    // file is saved back as it is too, with or without its extension.
    auto extended = Save(m, true);
    ASSERT_GT(extended.size(), original.size());
    EXPECT_EQ(Difference(std::vector<uint8_t>(extended.begin(), extended.begin() + static_cast<std::ptrdiff_t>(original.size())), original),
              "identical");
    TMDL r;
    Load(r, extended);
    EXPECT_EQ(Difference(Save(r, true), extended), "identical");
    EXPECT_EQ(Difference(Save(r, false), original), "identical");
  }
}

TEST(MdlRealDataTest, EveryModelRoundTripsExactlyWithTheExtension) {
  auto models = RealModels();
  REQUIRE_MODELS(models);
  for (const fs::path& p : models) {
    SCOPED_TRACE(p.filename().string());
    TMDL m;
    m.LoadFromFile(p.string());
    ASSERT_GE(m.Objects->Count(), 2);
    m.Skins->SetSkinName(0, "renamed");
    m.Objects->SetName(1, "first piece");
    auto bytes = Save(m, true);
    TMDL r;
    Load(r, bytes);
    EXPECT_EQ(r.Skins->SkinName(0), "renamed");
    ASSERT_EQ(r.Objects->Count(), m.Objects->Count());
    EXPECT_EQ(r.Objects->Object(1).Name, "first piece");
    for (int i = 0; i < m.Vertices->Count(); ++i) ASSERT_EQ(r.Vertices->ObjectIndex(i), m.Vertices->ObjectIndex(i));
    ASSERT_EQ(r.Frames->Count(), m.Frames->Count());
    for (int k = 0; k < m.Frames->Count(); ++k)
      for (int i = 0; i < m.Frames->Frame(k).Count(); ++i)
        ASSERT_EQ(r.Frames->Frame(k).Get(i), m.Frames->Frame(k).Get(i)) << k << " " << i;
  }
}

TEST(MdlRealDataTest, TruncatedModelsAreRefusedCleanly) {
  auto models = RealModels();
  REQUIRE_MODELS(models);
  for (const fs::path& p : models) {
    const auto original = FileBytes(p);
    for (size_t n = 0; n < original.size(); n += 97)
      LoadOrRefuse(std::vector<uint8_t>(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(n)),
                   p.filename().string() + " cut at " + std::to_string(n));
    // The same with the extension behind, for the smaller models (a cut in
    // the extension means a whole load each time).
    if (original.size() > 20000) continue;
    TMDL m;
    m.LoadFromFile(p.string());
    const auto ext = Save(m, true);
    for (size_t n = original.size() / 2; n < ext.size(); n += 97)
      LoadOrRefuse(std::vector<uint8_t>(ext.begin(), ext.begin() + static_cast<std::ptrdiff_t>(n)),
                   p.filename().string() + " with extension cut at " + std::to_string(n));
  }
}

TEST(MdlRealDataTest, DamagedHeadersAndCountsAreRefusedCleanly) {
  auto models = RealModels();
  REQUIRE_MODELS(models);
  std::mt19937 rng(97);
  for (const fs::path& p : models) {
    const auto original = FileBytes(p);
    for (int trial = 0; trial < 120; ++trial) {
      auto b = original;
      // Mostly the header and the first counts, sometimes anywhere.
      const size_t limit = trial % 4 == 0 ? b.size() : std::min<size_t>(b.size(), 100);
      for (int flips = 1 + trial % 3; flips > 0; --flips) b[rng() % limit] ^= static_cast<uint8_t>(1u << (rng() % 8));
      if (trial % 5 == 0) PutI32LE(&b[48 + 4 * (rng() % 7)], static_cast<int32_t>(rng()));
      LoadOrRefuse(b, p.filename().string() + " damaged, trial " + std::to_string(trial));
    }
  }
}

TEST(MdlRealDataTest, RecomputedNormalsAgreeWithTheGamesOwnModels) {
  // The game's tools chose these normals from the same table: a wrong table
  // or a wrong search would disagree almost everywhere.
  const fs::path dir = fs::path(TESSEL_DATA_DIR) / "quake" / "models";
  for (const char* name : {"sg_knight.mdl", "oq_player.mdl", "oq_missile.mdl"}) {
    if (!fs::exists(dir / name)) GTEST_SKIP() << "missing " << (dir / name).string();
    TMDL m;
    m.LoadFromFile((dir / name).string());
    long same = 0, total = 0;
    for (int k = 0; k < m.Frames->Count(); ++k) {
      TMDLFrame& f = m.Frames->Frame(k);
      std::vector<int32_t> stored;
      for (int i = 0; i < f.Count(); ++i) stored.push_back(f.Get(i).NormalIndex);
      f.CalculateNormals();
      for (int i = 0; i < f.Count(); ++i, ++total) same += stored[static_cast<size_t>(i)] == f.Get(i).NormalIndex;
    }
    EXPECT_GE(static_cast<double>(same) / static_cast<double>(total), 0.99) << name;
  }
}
