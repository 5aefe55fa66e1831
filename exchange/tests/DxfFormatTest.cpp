#include "exchange/DxfFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <random>

#include "ExchangeTestUtil.h"

using namespace exchange_test;

namespace {

using TGroups = std::vector<std::pair<std::string, std::string>>;

// Groups as text, each line ended by `eol`.
std::string DxfText(const TGroups& groups, const std::string& eol = "\r\n") {
  std::string s;
  for (const auto& [code, value] : groups) s += code + eol + value + eol;
  return s;
}

TGroups Face(const std::vector<std::array<double, 3>>& corners) {
  TGroups g{{"0", "3DFACE"}, {"8", "0"}};
  for (size_t c = 0; c < corners.size(); ++c)
    for (int axis = 0; axis < 3; ++axis)
      g.emplace_back(std::to_string(10 * (axis + 1) + int(c)), std::to_string(corners[c][size_t(axis)]));
  return g;
}

TGroups Join(std::initializer_list<TGroups> parts) {
  TGroups all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const TGroups kHead{{"0", "SECTION"}, {"2", "ENTITIES"}};
const TGroups kTail{{"0", "ENDSEC"}, {"0", "EOF"}};

void Import(const std::string& text, TTriangleStore& store) {
  TDXFFormat format;
  ImportBytes(format, Bytes(text), store);
}

std::string ImportError(const std::string& text) {
  TTriangleStore store;
  return ErrorOf([&] { Import(text, store); });
}

}  // namespace

TEST(DxfImport, TriangularFaceGivesOneTriangleWithSwappedXY) {
  TTriangleStore store;
  Import(DxfText(Join({kHead, Face({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {7, 8, 9}}), kTail})), store);
  ASSERT_EQ(store.Count(), 1);
  // DXF X goes to component 1, Y to component 0.
  ExpectCorner((*store.Triangle(0))[0], 2, 1, 3);
  ExpectCorner((*store.Triangle(0))[1], 5, 4, 6);
  ExpectCorner((*store.Triangle(0))[2], 8, 7, 9);
}

TEST(DxfImport, QuadrilateralGivesTwoTrianglesSharingCorners0And2) {
  TTriangleStore store;
  Import(DxfText(Join({kHead, Face({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 5}}), kTail})), store);
  ASSERT_EQ(store.Count(), 2);
  const TStoreTriangle& second = *store.Triangle(1);
  ExpectCorner(second[0], 1, 1, 0);  // corner 2 of the first
  ExpectCorner(second[1], 1, 0, 5);  // the fourth corner
  ExpectCorner(second[2], 0, 0, 0);  // corner 0 of the first
}

TEST(DxfImport, FourthCornerWithinToleranceOfTheThirdIsATriangle) {
  TTriangleStore store;
  Import(DxfText(Join({kHead, Face({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1.0005, 1, 0.0009}}), kTail})), store);
  EXPECT_EQ(store.Count(), 1);
  Import(DxfText(Join({kHead, Face({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 1.002, 0}}), kTail})), store);
  EXPECT_EQ(store.Count(), 2);
}

TEST(DxfImport, LineEndsBlanksAndLayoutVariants) {
  const TGroups groups = Join({kHead, Face({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {1, 1, 1}}), kTail});
  TTriangleStore reference;
  Import(DxfText(groups), reference);
  ASSERT_EQ(reference.Count(), 2);

  auto same = [&](const std::string& text, const char* what) {
    TTriangleStore store;
    Import(text, store);
    ASSERT_EQ(store.Count(), 2) << what;
    for (int i = 0; i < 2; ++i)
      for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 3; ++k) EXPECT_EQ((*store.Triangle(i))[c][k], (*reference.Triangle(i))[c][k]) << what;
  };
  same(DxfText(groups, "\n"), "LF");
  same(DxfText(groups, "\r"), "CR");
  // Group codes right-justified in three columns, values padded.
  TGroups padded;
  for (const auto& [code, value] : groups) padded.emplace_back(std::string(3 - code.size(), ' ') + code, value);
  same(DxfText(padded), "padded codes");
  same(DxfText(padded, "\n"), "padded codes, LF");
  // Blank lines between groups and before numeric values are skipped.
  std::string blanks;
  for (const auto& [code, value] : groups)
    blanks += "\r\n" + code + "\r\n" + (std::stoi(code) >= 10 ? "\r\n" : "") + value + "\r\n";
  same(blanks, "blank lines");
  // Numbers in other notations; trailing text after EOF is never read.
  same(DxfText(Join({kHead,
                     {{"0", "3DFACE"}, {"10", "1e0"}, {"20", "+2.0"}, {"30", " 3 "}, {"11", "4."}, {"21", "50e-1"},
                      {"31", "6.000000"}, {"12", "0.7E1"}, {"22", "8"}, {"32", "9"}, {"13", "1"}, {"23", "1"},
                      {"33", "1"}},
                     kTail})) +
           "garbage that is not a group",
       "number notations");
}

TEST(DxfImport, LinesSplitAcrossReadBlocks) {
  // Shifting the whole file by a comment of growing length moves every line
  // end, CR LF pairs included, across the reader's block boundaries.
  TGroups faces;
  for (int i = 0; i < 150; ++i) {
    const TGroups f = Face({{i + 0.125, -i * 0.5, 3.75}, {4, 5.5, i * 0.25}, {7, i + 0.5, 9}, {1, 2, 3}});
    faces.insert(faces.end(), f.begin(), f.end());
  }
  for (const std::string eol : {"\r\n", "\n", "\r"}) {
    TTriangleStore reference;
    Import(DxfText(Join({kHead, faces, kTail}), eol), reference);
    ASSERT_EQ(reference.Count(), 300);
    for (int shift = 0; shift < 40; ++shift) {
      TTriangleStore store;
      Import(DxfText(Join({{{"999", std::string(size_t(shift), 'c')}}, kHead, faces, kTail}), eol), store);
      ASSERT_EQ(store.Count(), 300) << shift;
      for (int i = 0; i < 300; ++i)
        for (int c = 0; c < 3; ++c)
          for (int k = 0; k < 3; ++k)
            ASSERT_EQ((*store.Triangle(i))[c][k], (*reference.Triangle(i))[c][k]) << shift << " " << i;
    }
  }
}

TEST(DxfImport, TextGroupsMayHaveEmptyValuesWhateverTheLineEnds) {
  // An empty text value must not swallow the next line, with any line end.
  for (const std::string eol : {"\r\n", "\n", "\r"}) {
    const TGroups groups = Join({{{"0", "SECTION"}, {"2", "HEADER"}, {"9", "$DIMPOST"}, {"1", ""}, {"9", "$X"},
                                  {"1", ""}, {"0", "ENDSEC"}},
                                 kHead, Face({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {7, 8, 9}}), kTail});
    TTriangleStore store;
    Import(DxfText(groups, eol), store);
    EXPECT_EQ(store.Count(), 1) << int(eol.back());
  }
}

TEST(DxfImport, EntityNamesIgnoreCaseAndOtherEntitiesAreSkipped) {
  TTriangleStore store;
  Import(DxfText(Join({kHead,
                       // Coordinates outside any face are not used.
                       {{"0", "LINE"}, {"10", "100"}, {"20", "100"}, {"30", "100"}, {"11", "5"}},
                       {{"0", "3dface"}, {"10", "1"}, {"20", "1"}, {"30", "1"}, {"11", "2"}, {"21", "2"},
                        {"31", "2"}, {"12", "3"}, {"22", "3"}, {"32", "3"}, {"13", "3"}, {"23", "3"}, {"33", "3"},
                        // after the face's last group: ignored
                        {"10", "77"}, {"62", "5"}},
                       {{"0", "ENDSEC"}, {"0", "eof"}}})),
         store);
  ASSERT_EQ(store.Count(), 1);
  ExpectCorner((*store.Triangle(0))[0], 1, 1, 1);
}

TEST(DxfImport, FaceWithoutFourthCornerEndsAtTheNextEntity) {
  // Three corners only, then the next face: one triangle each, and the
  // second face's corners do not leak into the first.
  const TGroups first{{"0", "3DFACE"}, {"10", "0"}, {"20", "0"}, {"30", "0"}, {"11", "1"}, {"21", "0"},
                      {"31", "0"}, {"12", "1"}, {"22", "1"}, {"32", "0"}};
  TTriangleStore store;
  Import(DxfText(Join({kHead, first, Face({{5, 5, 5}, {6, 5, 5}, {6, 6, 5}, {6, 6, 5}}), kTail})), store);
  ASSERT_EQ(store.Count(), 2);
  ExpectCorner((*store.Triangle(0))[2], 1, 1, 0);
  ExpectCorner((*store.Triangle(1))[0], 5, 5, 5);
  // The same face as the last entity.
  Import(DxfText(Join({kHead, first, kTail})), store);
  EXPECT_EQ(store.Count(), 1);
}

TEST(DxfImport, FourthCornerComponentsCarryOverFromThePreviousFace) {
  TTriangleStore store;
  // The second face gives only Z of its fourth corner; X and Y come from the
  // first face's fourth corner (9, 9), which makes it a quadrilateral.
  Import(DxfText(Join({kHead, Face({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {9, 9, 0}}),
                       {{"0", "3DFACE"}, {"10", "0"}, {"20", "0"}, {"30", "0"}, {"11", "1"}, {"21", "0"},
                        {"31", "0"}, {"12", "1"}, {"22", "1"}, {"32", "0"}, {"33", "0"}},
                       kTail})),
         store);
  ASSERT_EQ(store.Count(), 4);
  ExpectCorner((*store.Triangle(3))[1], 9, 9, 0);
}

TEST(DxfImport, ReimportReplacesTheStore) {
  TTriangleStore store;
  store.SetCount(17);
  Import(DxfText(Join({kHead, kTail})), store);
  EXPECT_EQ(store.Count(), 0);
}

TEST(DxfImport, ErrorsNameTheLine) {
  // Lines: 1 "0", 2 SECTION, 3 "2", 4 ENTITIES; the file then ends.
  EXPECT_EQ(ImportError(DxfText(kHead)), "Error in DXF file, group code expected at line 5");
  // Nothing was read at all.
  EXPECT_EQ(ImportError(""), "Error in DXF file, group code expected at line 0");
  EXPECT_EQ(ImportError("0\r\nSECTION\r\nX2\r\nENTITIES\r\n"), "Error in DXF file, group code expected at line 3");
  EXPECT_EQ(ImportError("0\nSECTION\n2 2\nENTITIES\n"), "Error in DXF file, group code expected at line 3");
  EXPECT_EQ(ImportError("99999999999\nX\n"), "Error in DXF file, group code expected at line 1");
  // The bad value is on line 6; the reader has already read line 7.
  for (const char* bad : {"1.0.0", "abc", "nan", "inf", "1e999", "0x10", "--1", "+-1"}) {
    const std::string text = "0\r\n3DFACE\r\n10\r\n0\r\n20\r\n" + std::string(bad) + "\r\n30\r\n0\r\n";
    EXPECT_EQ(ImportError(text), "Error in DXF file, invalid group token at line 7") << bad;
  }
  // Binary DXF is not read.
  EXPECT_EQ(ImportError(std::string("AutoCAD Binary DXF\r\n\x1a\0", 22)),
            "Error in DXF file, group code expected at line 1");
}

TEST(DxfImport, ErrorsKeepTheTrianglesReadBefore) {
  TTriangleStore store;
  const std::string text = DxfText(Join({kHead, Face({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {7, 8, 9}})}));
  EXPECT_NE(ErrorOf([&] { Import(text, store); }), "");
  EXPECT_EQ(store.Count(), 1);
}

TEST(DxfImport, LimitOf40000Triangles) {
  const TGroups tri = Face({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {7, 8, 9}});
  const TGroups quad = Face({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {0, 0, 0}});
  const std::string head = DxfText(kHead);
  const std::string tail = DxfText(kTail);
  std::string triangles;
  const std::string one = DxfText(tri);
  triangles.reserve(one.size() * 40000);
  for (int i = 0; i < 39999; ++i) triangles += one;

  TTriangleStore store;
  Import(head + triangles + one + tail, store);
  EXPECT_EQ(store.Count(), 40000);
  EXPECT_EQ(ImportError(head + triangles + one + one + tail), "Import is limited to 40000 triangles");
  // A quadrilateral that would take the store past the limit is refused too.
  EXPECT_EQ(ImportError(head + triangles + DxfText(quad) + tail), "Import is limited to 40000 triangles");
  Import(head + triangles.substr(0, one.size() * 39998) + DxfText(quad) + tail, store);
  EXPECT_EQ(store.Count(), 40000);
}

TEST(DxfExport, WritesOneTriangularFacePerTriangle) {
  TTriangleStore store;
  store.AddTriangle() = Tri(2, 1, 3, -0.5f, 0.25f, 1e-7f, 1234.5678f, -0.0000004f, 0);
  TDXFFormat format;
  const std::string text = ExportText(format, store);
  const std::string expected =
      "0\r\nSECTION\r\n2\r\nHEADER\r\n0\r\nENDSEC\r\n0\r\nSECTION\r\n2\r\nENTITIES\r\n"
      "0\r\n3DFACE\r\n"
      "10\r\n1.000000\r\n20\r\n2.000000\r\n30\r\n3.000000\r\n"
      "11\r\n0.250000\r\n21\r\n-0.500000\r\n31\r\n0.000000\r\n"
      "12\r\n-0.000000\r\n22\r\n1234.567749\r\n32\r\n0.000000\r\n"
      "13\r\n-0.000000\r\n23\r\n1234.567749\r\n33\r\n0.000000\r\n"
      "0\r\nENDSEC\r\n0\r\nEOF\r\n";
  EXPECT_EQ(text, expected);
}

TEST(DxfExport, EmptyStoreStillWritesAReadableFile) {
  TTriangleStore store;
  TDXFFormat format;
  TTriangleStore back;
  back.SetCount(4);
  ImportBytes(format, ExportBytes(format, store), back);
  EXPECT_EQ(back.Count(), 0);
}

TEST(DxfExport, RoundTripKeepsSixDecimals) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> coord(-300, 300);
  TTriangleStore store;
  for (int i = 0; i < 3000; ++i) {
    TStoreTriangle& t = store.AddTriangle();
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) t[c][k] = coord(rng);
  }
  TDXFFormat format;
  TTriangleStore back;
  ImportBytes(format, ExportBytes(format, store), back);
  ASSERT_EQ(back.Count(), store.Count());
  for (int i = 0; i < store.Count(); ++i)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) ASSERT_NEAR((*back.Triangle(i))[c][k], (*store.Triangle(i))[c][k], 1e-5);
}

// Every sample DXF file. The counts agree with an independent importer
// wherever the file's geometry is made of 3DFACE entities.
TEST(DxfRealFiles, ImportEverySample) {
  const std::string dir = SampleDir("dxf");
  if (dir.empty()) GTEST_SKIP() << "no sample DXF folder in " << TESSEL_DATA_DIR;
  const std::map<std::string, int> expected{
      {"PinkEggFromLW.dxf", 576},  // 288 faces with four distinct corners
      {"lineTest.dxf", 3},         // a quadrilateral and a triangle; the LINE is skipped
      {"oq_hills.dxf", 106},
      {"points.dxf", 0},           // POINT entities only
      {"wuson.dxf", 0},            // a polyface POLYLINE, no 3DFACE
  };
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".dxf") continue;
    TTriangleFiler filer;
    filer.RegisterFormat<TDXFFormat>();
    filer.ImportFromFile(entry.path().string());
    auto it = expected.find(name);
    ASSERT_NE(it, expected.end()) << "no expected count for " << name;
    EXPECT_EQ(filer.Count(), it->second) << name;
    for (int i = 0; i < filer.Count(); ++i)
      for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 3; ++k) ASSERT_TRUE(std::isfinite((*filer.Triangle(i))[c][k])) << name;
    ++seen;
  }
  EXPECT_EQ(seen, int(expected.size()));
}

TEST(DxfRealFiles, HillsMatchTheirOwnExportRoundTrip) {
  const std::string dir = SampleDir("dxf");
  if (dir.empty()) GTEST_SKIP() << "no sample DXF folder in " << TESSEL_DATA_DIR;
  TTriangleFiler filer;
  filer.RegisterFormat<TDXFFormat>();
  filer.ImportFromFile(dir + "/oq_hills.dxf");
  ASSERT_EQ(filer.Count(), 106);
  TTempDir tmp;
  TTriangleFiler again;
  again.RegisterFormat<TDXFFormat>();
  filer.ExportToFile(tmp.File("hills.DXF"));
  again.ImportFromFile(tmp.File("hills.DXF"));
  ASSERT_EQ(again.Count(), 106);
  for (int i = 0; i < 106; ++i)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) EXPECT_NEAR((*again.Triangle(i))[c][k], (*filer.Triangle(i))[c][k], 1e-5);
}
