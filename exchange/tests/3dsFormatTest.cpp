#include "exchange/3dsFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <set>

#include "core/Endian.h"

#include "ExchangeTestUtil.h"

using namespace exchange_test;

namespace {

std::vector<uint8_t> Chunk(uint16_t id, const std::vector<uint8_t>& body) {
  return TByteBuilder().U16LE(id).U32LE(uint32_t(6 + body.size())).Append(body).B;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  TByteBuilder b;
  for (const auto& p : parts) b.Append(p);
  return b.B;
}

std::vector<uint8_t> Points(const std::vector<std::array<float, 3>>& pts) {
  TByteBuilder b;
  b.U16LE(uint16_t(pts.size()));
  for (const auto& p : pts) b.F32LE(p[0]).F32LE(p[1]).F32LE(p[2]);
  return Chunk(0x4110, b.B);
}

std::vector<uint8_t> Faces(const std::vector<std::array<uint16_t, 3>>& faces,
                           const std::vector<uint8_t>& subChunks = {}) {
  TByteBuilder b;
  b.U16LE(uint16_t(faces.size()));
  for (const auto& f : faces) b.U16LE(f[0]).U16LE(f[1]).U16LE(f[2]).U16LE(7);
  b.Append(subChunks);
  return Chunk(0x4120, b.B);
}

std::vector<uint8_t> Mesh(const std::string& name, const std::vector<uint8_t>& triObjectBody) {
  TByteBuilder b;
  b.Text(name).U8(0).Append(Chunk(0x4100, triObjectBody));
  return Chunk(0x4000, b.B);
}

std::vector<uint8_t> File(const std::vector<uint8_t>& editBody, const std::vector<uint8_t>& extra = {}) {
  const std::vector<uint8_t> version = Chunk(0x0002, TByteBuilder().U32LE(3).B);
  return Chunk(0x4D4D, Cat({version, Chunk(0x3D3D, editBody), extra}));
}

// A square of two faces over four points, shifted by `dx`.
std::vector<uint8_t> Square(const std::string& name, float dx, const std::vector<uint8_t>& extra = {}) {
  return Mesh(name, Cat({Points({{dx, 0, 0}, {dx + 1, 0, 0}, {dx + 1, 1, 0}, {dx, 1, 0}}),
                         Chunk(0x4160, std::vector<uint8_t>(48, 0)), Faces({{0, 1, 2}, {0, 2, 3}}, extra)}));
}

void Import(const std::vector<uint8_t>& data, TTriangleStore& store) {
  T3DSFormat format;
  ImportBytes(format, data, store);
}

std::string ImportError(const std::vector<uint8_t>& data) {
  TTriangleStore store;
  return ErrorOf([&] { Import(data, store); });
}

}  // namespace

TEST(ThreeDsImport, FaceCornersAreReversedAndAxesKept) {
  TTriangleStore store;
  Import(File(Mesh("tri", Cat({Points({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), Faces({{0, 1, 2}})}))), store);
  ASSERT_EQ(store.Count(), 1);
  const TStoreTriangle& t = *store.Triangle(0);
  ExpectCorner(t[0], 7, 8, 9);
  ExpectCorner(t[1], 4, 5, 6);
  ExpectCorner(t[2], 1, 2, 3);
  EXPECT_EQ(t[0][3], 1.0f);
}

TEST(ThreeDsImport, MeshesCollectAndIndexTheirOwnVertices) {
  TTriangleStore store;
  store.SetCount(9);
  Import(File(Cat({Square("a", 0), Square("b", 10)})), store);
  ASSERT_EQ(store.Count(), 4);
  EXPECT_EQ((*store.Triangle(0))[2][0], 0.0f);
  EXPECT_EQ((*store.Triangle(2))[2][0], 10.0f);
  EXPECT_EQ((*store.Triangle(3))[0][0], 10.0f);
}

TEST(ThreeDsImport, SkipsWhatItDoesNotUse) {
  // Material and smoothing lists inside the face list, a light and a camera
  // as named objects, material and key-frame sections: the same two faces.
  const std::vector<uint8_t> faceExtras =
      Cat({Chunk(0x4130, TByteBuilder().Text("mat").U8(0).U16LE(1).U16LE(0).B), Chunk(0x4150, std::vector<uint8_t>(8, 1))});
  const std::vector<uint8_t> light = Chunk(0x4000, TByteBuilder().Text("lamp").U8(0).Append(Chunk(0x4600, std::vector<uint8_t>(12, 0))).B);
  const std::vector<uint8_t> camera = Chunk(0x4000, TByteBuilder().Text("cam").U8(0).Append(Chunk(0x4700, std::vector<uint8_t>(32, 0))).B);
  const std::vector<uint8_t> material = Chunk(0xAFFF, Chunk(0xA000, TByteBuilder().Text("mat").U8(0).B));
  // Key frames hold object nodes whose bodies could look like anything.
  const std::vector<uint8_t> keyframes = Chunk(0xB000, Chunk(0xB002, Points({{9, 9, 9}})));
  TTriangleStore store;
  Import(File(Cat({Chunk(0x3D3E, TByteBuilder().U32LE(3).B), material, light, Square("a", 0, faceExtras), camera,
                   Chunk(0x0100, TByteBuilder().F32LE(2).B)}),
              keyframes),
         store);
  EXPECT_EQ(store.Count(), 2);
}

TEST(ThreeDsImport, FileThatDoesNotStartWithAContainerYieldsNothing) {
  TTriangleStore store;
  store.SetCount(3);
  Import(Chunk(0x0002, TByteBuilder().U32LE(3).B), store);
  EXPECT_EQ(store.Count(), 0);
  Import(Bytes("This is a text file, not a scene."), store);
  EXPECT_EQ(store.Count(), 0);
}

TEST(ThreeDsImport, RefusesBadIndicesAndMisplacedLists) {
  EXPECT_EQ(ImportError(File(Mesh("m", Cat({Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), Faces({{0, 1, 3}})})))),
            "3DS face 0 refers to vertex 3, but its mesh has only 3 vertices");
  EXPECT_EQ(ImportError(File(Mesh("m", Faces({{0, 1, 2}})))), "3DS face list comes before any vertex list");
  // An empty face list needs no vertices.
  TTriangleStore store;
  Import(File(Mesh("m", Faces({}))), store);
  EXPECT_EQ(store.Count(), 0);
}

TEST(ThreeDsImport, RefusesChunkLengthsThatDoNotFit) {
  const std::vector<uint8_t> good = File(Square("a", 0));
  TTriangleStore store;
  Import(good, store);
  ASSERT_EQ(store.Count(), 2);

  // The main chunk claims more than the file holds.
  std::vector<uint8_t> bad = good;
  PutU32LE(bad.data() + 2, uint32_t(good.size() + 1));
  EXPECT_EQ(ImportError(bad), "3DS chunk 4D4D runs past the end of the file");
  // A child claims more than its parent: the version chunk at offset 6.
  bad = good;
  PutU32LE(bad.data() + 8, 0x7FFFFFF0);
  EXPECT_EQ(ImportError(bad), "3DS chunk 0002 runs past the end of its parent chunk");
  // A length shorter than the header would never move on.
  bad = good;
  PutU32LE(bad.data() + 8, 0);
  EXPECT_EQ(ImportError(bad), "3DS chunk 0002 is shorter than its own header");
  // A face count beyond the chunk.
  const std::vector<uint8_t> faces = Chunk(0x4120, TByteBuilder().U16LE(5).U16LE(0).U16LE(1).U16LE(2).U16LE(0).B);
  EXPECT_EQ(ImportError(File(Mesh("m", Cat({Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), faces})))),
            "3DS face list runs past the end of its chunk");
  // A parent whose last bytes cannot hold a child's header.
  EXPECT_EQ(ImportError(Chunk(0x4D4D, {1, 2, 3})), "3DS chunk header runs past the end of its parent chunk");
  // A name without its terminating zero.
  EXPECT_EQ(ImportError(File(Chunk(0x4000, Bytes("name")))), "3DS object name runs past the end of its chunk");
  // Vertex lists that are not whole.
  EXPECT_EQ(ImportError(File(Mesh("m", Chunk(0x4110, {1, 0, 0, 0, 0})))),
            "3DS vertex list does not hold a whole number of vertices");
  EXPECT_EQ(ImportError(File(Mesh("m", Chunk(0x4110, {})))), "3DS vertex list is missing its count");
  EXPECT_EQ(ImportError({0x4D, 0x4D, 6}), "3DS file is too short to hold a chunk");
}

TEST(ThreeDsImport, RefusesNonFiniteCoordinates) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(ImportError(File(Mesh("m", Points({{0, 0, 0}, {1, nan, 0}})))),
            "3DS vertex 1 has a coordinate that is not a number");
  EXPECT_EQ(ImportError(File(Mesh("m", Points({{std::numeric_limits<float>::infinity(), 0, 0}})))),
            "3DS vertex 0 has a coordinate that is not a number");
  EXPECT_EQ(ImportError(File(Mesh("m", Points({{0, 0, 0}, {0, 0, 9999999}, {0, -3e38f, 0}})))),
            "3DS vertex 2 has a coordinate that is too large: a model's positions lie between -9999999 and 9999999");
}

TEST(ThreeDsImport, DeepNestingIsRefusedNotFollowed) {
  std::vector<uint8_t> data = Chunk(0x4100, {});
  for (int i = 0; i < 5000; ++i) data = Chunk(0x4D4D, data);
  EXPECT_EQ(ImportError(data), "3DS chunks are nested too deeply");
}

TEST(ThreeDsImport, VertexAndTriangleLimits) {
  std::vector<std::array<float, 3>> pts(40000, {1, 2, 3});
  TTriangleStore store;
  Import(File(Mesh("m", Points(pts))), store);
  pts.push_back({0, 0, 0});
  EXPECT_EQ(ImportError(File(Mesh("m", Points(pts)))), "Import is limited to 40000 vertices");

  // Two meshes of 20000 faces fill the store; one face more is refused.
  const std::vector<std::array<uint16_t, 3>> faces(20000, {0, 1, 2});
  const std::vector<uint8_t> mesh = Mesh("m", Cat({Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), Faces(faces)}));
  Import(File(Cat({mesh, mesh})), store);
  EXPECT_EQ(store.Count(), 40000);
  const std::vector<uint8_t> one = Mesh("m", Cat({Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), Faces({{0, 1, 2}})}));
  EXPECT_EQ(ImportError(File(Cat({mesh, mesh, one}))), "Import is limited to 40000 triangles");
}

TEST(ThreeDsImport, TruncatedFileIsRefused) {
  const std::vector<uint8_t> good = File(Square("a", 0));
  for (size_t n = 6; n < good.size(); n += 7) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
    EXPECT_NE(ImportError(cut), "") << n;
  }
}

// Every sample 3DS file; the counts agree with an independent importer.
TEST(ThreeDsRealFiles, ImportEverySample) {
  const std::string dir = SampleDir("3ds");
  if (dir.empty()) GTEST_SKIP() << "no sample 3DS folder in " << TESSEL_DATA_DIR;
  const std::map<std::string, int> expected{
      {"CameraRollAnim.3ds", 12}, {"RotatingCube.3DS", 12}, {"cube_with_diffuse_texture.3DS", 12},
      {"cubes_with_alpha.3DS", 60}, {"fels.3ds", 768},      {"oq_hills.3ds", 106},
      {"oq_rivrlake.3ds", 174},
  };
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    TTriangleFiler filer;
    filer.RegisterFormat<T3DSFormat>();
    filer.ImportFromFile(entry.path().string());
    auto it = expected.find(name);
    ASSERT_NE(it, expected.end()) << "no expected count for " << name;
    EXPECT_EQ(filer.Count(), it->second) << name;
    ++seen;
  }
  EXPECT_EQ(seen, int(expected.size()));
}

// The hills exist as DXF and as 3DS, written by one modeller: the same
// triangles, up to the DXF's axis swap and corner order.
TEST(ThreeDsRealFiles, HillsAgreeWithTheirDxfTwin) {
  const std::string dir3 = SampleDir("3ds");
  const std::string dirD = SampleDir("dxf");
  if (dir3.empty() || dirD.empty()) GTEST_SKIP() << "no sample folders in " << TESSEL_DATA_DIR;
  TTriangleFiler filer;
  RegisterTriangleFormats(filer);
  filer.ImportFromFile(dir3 + "/oq_hills.3ds");
  std::vector<TStoreTriangle> studio(filer.Triangle(0), filer.Triangle(0) + filer.Count());
  filer.ImportFromFile(dirD + "/oq_hills.dxf");
  ASSERT_EQ(studio.size(), size_t(filer.Count()));
  // Compare as sets of corner positions (the writers may order them differently).
  auto key = [](const TStoreVertex& v, bool swap) {
    const float x = swap ? v[1] : v[0], y = swap ? v[0] : v[1];
    return std::array<long, 3>{std::lround(x * 100), std::lround(y * 100), std::lround(v[2] * 100)};
  };
  std::multiset<std::array<long, 3>> a, b;
  for (const auto& t : studio)
    for (int c = 0; c < 3; ++c) a.insert(key(t[c], false));
  for (int i = 0; i < filer.Count(); ++i)
    for (int c = 0; c < 3; ++c) b.insert(key((*filer.Triangle(i))[c], true));
  EXPECT_EQ(a, b);
}
