#include "exchange/LwoFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>

#include "ExchangeTestUtil.h"

using namespace exchange_test;

namespace {

// One chunk, with the pad byte after an odd-sized body.
std::vector<uint8_t> Chunk(const std::string& id, const std::vector<uint8_t>& body, bool pad = true) {
  TByteBuilder b;
  b.Text(id).U32BE(uint32_t(body.size())).Append(body);
  if (pad && body.size() % 2 == 1) b.U8(0);
  return b.B;
}

std::vector<uint8_t> Form(const std::vector<std::vector<uint8_t>>& chunks) {
  TByteBuilder body;
  body.Text("LWOB");
  for (const auto& c : chunks) body.Append(c);
  return TByteBuilder().Text("FORM").U32BE(uint32_t(body.Size())).Append(body.B).B;
}

std::vector<uint8_t> Points(const std::vector<std::array<float, 3>>& pts) {
  TByteBuilder b;
  for (const auto& p : pts) b.F32BE(p[0]).F32BE(p[1]).F32BE(p[2]);
  return Chunk("PNTS", b.B);
}

std::vector<uint8_t> Polygons(const std::vector<std::vector<uint16_t>>& polys) {
  TByteBuilder b;
  for (const auto& p : polys) {
    b.U16BE(uint16_t(p.size()));
    for (uint16_t i : p) b.U16BE(i);
    b.U16BE(1);  // surface
  }
  return Chunk("POLS", b.B);
}

void Import(const std::vector<uint8_t>& data, TTriangleStore& store) {
  TLWOFormat format;
  ImportBytes(format, data, store);
}

std::string ImportError(const std::vector<uint8_t>& data) {
  TTriangleStore store;
  return ErrorOf([&] { Import(data, store); });
}

const std::vector<std::array<float, 3>> kTriangle{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};

}  // namespace

TEST(LwoImport, PointsRotateAxesAndPolygonsReverse) {
  TTriangleStore store;
  store.SetCount(5);
  Import(Form({Points(kTriangle), Polygons({{0, 1, 2}})}), store);
  ASSERT_EQ(store.Count(), 1);
  const TStoreTriangle& t = *store.Triangle(0);
  // Point (X, Y, Z) is corner (Z, X, Y); polygon (A, B, C) is (C, B, A).
  ExpectCorner(t[0], 9, 7, 8);
  ExpectCorner(t[1], 6, 4, 5);
  ExpectCorner(t[2], 3, 1, 2);
  EXPECT_EQ(t[0][3], 1.0f);
}

TEST(LwoImport, OtherChunksDoNotChangeTheResult) {
  TTriangleStore plain, rich;
  Import(Form({Points(kTriangle), Polygons({{0, 1, 2}, {2, 1, 0}})}), plain);
  // Surface names (odd-sized, so padded) and a surface definition between
  // the two lists.
  const std::vector<uint8_t> srfs = Chunk("SRFS", TByteBuilder().Text("Skin").U8(0).B);
  const std::vector<uint8_t> surf = Chunk("SURF", TByteBuilder().Text("Skin").U8(0).U8(0).Text("COLR").U16BE(4).U32BE(0).B);
  Import(Form({Points(kTriangle), srfs, surf, Polygons({{0, 1, 2}, {2, 1, 0}})}), rich);
  ASSERT_EQ(srfs.size() % 2, 0u);
  ASSERT_EQ(rich.Count(), plain.Count());
  for (int i = 0; i < plain.Count(); ++i)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) EXPECT_EQ((*rich.Triangle(i))[c][k], (*plain.Triangle(i))[c][k]);
}

TEST(LwoImport, OddChunkWithoutPadAtTheEndOfTheForm) {
  // The last chunk of the form may end without its pad byte.
  TTriangleStore store;
  Import(Form({Points(kTriangle), Polygons({{0, 1, 2}}), Chunk("TAIL", {1, 2, 3}, false)}), store);
  EXPECT_EQ(store.Count(), 1);
}

TEST(LwoImport, EachPointListReplacesTheLast) {
  TTriangleStore store;
  Import(Form({Points(kTriangle), Polygons({{0, 1, 2}}), Points({{10, 0, 0}, {20, 0, 0}, {30, 0, 0}}),
               Polygons({{0, 1, 2}})}),
         store);
  ASSERT_EQ(store.Count(), 2);
  EXPECT_EQ((*store.Triangle(1))[0][1], 30.0f);
  EXPECT_EQ(ImportError(Form({Points(kTriangle), Points({{1, 1, 1}}), Polygons({{0, 1, 2}})})),
            "LWO polygon refers to point 1, but only 1 points were read");
}

TEST(LwoImport, OnlyTriangles) {
  EXPECT_EQ(ImportError(Form({Points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}), Polygons({{0, 1, 2, 3}})})),
            "Only triangles supported in LWO import");
  // Triangles before the quad stay in the store.
  TTriangleStore store;
  EXPECT_EQ(ErrorOf([&] {
              Import(Form({Points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}), Polygons({{0, 1, 2}, {0, 1}})}),
                     store);
            }),
            "Only triangles supported in LWO import");
  EXPECT_EQ(store.Count(), 1);
}

TEST(LwoImport, RefusesBadIndicesMisplacedListsAndLengths) {
  EXPECT_EQ(ImportError(Form({Points(kTriangle), Polygons({{0, 1, 3}})})),
            "LWO polygon refers to point 3, but only 3 points were read");
  EXPECT_EQ(ImportError(Form({Polygons({{0, 1, 2}}), Points(kTriangle)})),
            "LWO polygon list comes before any point list");

  const std::vector<uint8_t> good = Form({Points(kTriangle), Polygons({{0, 1, 2}})});
  // The FORM claims more than the file holds.
  std::vector<uint8_t> bad = good;
  bad[7] += 1;
  EXPECT_EQ(ImportError(bad), "LWO FORM size runs past the end of the file");
  // A chunk claims more than the FORM holds: the PNTS size at offset 16.
  bad = good;
  bad[16] = 0x40;
  EXPECT_EQ(ImportError(bad), "LWO chunk 'PNTS' runs past the end of the FORM");
  // Unprintable identifiers are shown as "?".
  bad = Form({Chunk("P\x01\xffS", {})});
  bad.resize(bad.size() + 1);
  bad[7] += 1;
  bad[19] = 5;
  EXPECT_EQ(ImportError(bad), "LWO chunk 'P??S' runs past the end of the FORM");

  EXPECT_EQ(ImportError(Form({Chunk("PNTS", std::vector<uint8_t>(13, 0))})),
            "LWO point list does not hold a whole number of points");
  EXPECT_EQ(ImportError(Form({Points(kTriangle), Chunk("POLS", TByteBuilder().U16BE(3).U16BE(0).U16BE(1).B)})),
            "LWO polygon list ends in the middle of a polygon");
  EXPECT_EQ(ImportError(Bytes("FORM")), "LWO file is too short to hold its header");
  EXPECT_EQ(ImportError(TByteBuilder().Text("FORM").U32BE(2).Text("LWOB").B),
            "LWO FORM size is too small to hold its type");
}

TEST(LwoImport, RefusesNonFiniteCoordinates) {
  EXPECT_EQ(ImportError(Form({Points({{0, 0, 0}, {0, 0, std::numeric_limits<float>::quiet_NaN()}})})),
            "LWO point 1 has a coordinate that is not a number");
  EXPECT_EQ(ImportError(Form({Points({{-9999999, 0, 0}, {1e8f, 0, 0}})})),
            "LWO point 1 has a coordinate that is too large: a model's positions lie between -9999999 and 9999999");
}

TEST(LwoImport, EmptyFormGivesNothing) {
  TTriangleStore store;
  store.SetCount(2);
  Import(Form({}), store);
  EXPECT_EQ(store.Count(), 0);
}

TEST(LwoImport, VertexAndTriangleLimits) {
  std::vector<std::array<float, 3>> pts(40000, {1, 2, 3});
  TTriangleStore store;
  Import(Form({Points(pts)}), store);
  pts.push_back({0, 0, 0});
  EXPECT_EQ(ImportError(Form({Points(pts)})), "Import is limited to 40000 vertices");

  const std::vector<std::vector<uint16_t>> tris(40000, {0, 1, 2});
  Import(Form({Points(kTriangle), Polygons(tris)}), store);
  EXPECT_EQ(store.Count(), 40000);
  EXPECT_EQ(ImportError(Form({Points(kTriangle), Polygons(tris), Polygons({{0, 1, 2}})})),
            "Import is limited to 40000 triangles");
}

TEST(LwoImport, TruncatedFilesAreRefused) {
  const std::vector<uint8_t> good = Form({Points(kTriangle), Polygons({{0, 1, 2}})});
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
    EXPECT_NE(ImportError(cut), "") << n;
  }
}

// The sample files: none is made of triangles only, so each is refused with
// the triangles-only message (the newer LWO2 layout starts its polygon list
// with a type tag, which reads as a polygon that is not a triangle).
TEST(LwoRealFiles, ImportEverySample) {
  const std::string dir = SampleDir("lwo");
  if (dir.empty()) GTEST_SKIP() << "no sample LWO folder in " << TESSEL_DATA_DIR;
  const std::map<std::string, std::string> expected{
      {"ConcavePolygon.lwo", "Only triangles supported in LWO import"},
      {"LWO2_boxuv.lwo", "Only triangles supported in LWO import"},
      {"bluewithcylindrictexz.lwo", "Only triangles supported in LWO import"},
      {"sphere_with_mat_gloss_10pc.lwo", "Only triangles supported in LWO import"},
  };
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    TTriangleFiler filer;
    filer.RegisterFormat<TLWOFormat>();
    auto it = expected.find(name);
    ASSERT_NE(it, expected.end()) << "no expectation for " << name;
    EXPECT_EQ(ErrorOf([&] { filer.ImportFromFile(entry.path().string()); }), it->second) << name;
    ++seen;
  }
  EXPECT_EQ(seen, int(expected.size()));
}

// The sphere lists 24 triangles, then 240 quads, then 24 more triangles:
// the first 24 are read before the first quad stops the import.
TEST(LwoRealFiles, SphereKeepsTheTrianglesBeforeItsFirstQuad) {
  const std::string dir = SampleDir("lwo");
  if (dir.empty()) GTEST_SKIP() << "no sample LWO folder in " << TESSEL_DATA_DIR;
  TTriangleFiler filer;
  filer.RegisterFormat<TLWOFormat>();
  EXPECT_NE(ErrorOf([&] { filer.ImportFromFile(dir + "/sphere_with_mat_gloss_10pc.lwo"); }), "");
  EXPECT_EQ(filer.Count(), 24);
}
