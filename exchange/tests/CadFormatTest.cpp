#include "exchange/CadFormat.h"

#include <gtest/gtest.h>

#include <random>

#include "ExchangeTestUtil.h"
#include "core/Tokenizer.h"

using namespace exchange_test;

namespace {

void Import(const std::string& text, TTriangleStore& store) {
  TCADFormat format;
  ImportBytes(format, Bytes(text), store);
}

std::string ImportError(const std::string& text) {
  TTriangleStore store;
  return ErrorOf([&] { Import(text, store); });
}

const char* kPreamble =
    "version 1.3\r\n"
    "distance 20.3961\r\n"
    "_camera _camera0\r\n"
    "  size 0 0 0\r\n"
    "  extra -1.33 0 1\r\n"
    "  scale 0 0 0\r\n"
    "  rotate 0 1 0\r\n"
    "  move 0 4 20\r\n"
    "_light _light0\r\n"
    "  size 1 1 1\r\n"
    "  extra -20 35 34\r\n"
    "  scale 1 1 1\r\n"
    "  move -20 35 34\r\n"
    "_light _light1\r\n"
    "  size 1 1 1\r\n"
    "  extra 0 0 24\r\n"
    "  scale 1 1 1\r\n"
    "  move 0 0 24\r\n"
    "points frame\r\n"
    "3\r\n";

}  // namespace

TEST(CadExport, WritesTheSceneAndOneFaceLinePerTriangle) {
  TTriangleStore store;
  store.AddTriangle() = Tri(2, 4, 6, -0.5f, 1, 3.3333f, 0, 0, 0.014f);
  TCADFormat format;
  EXPECT_EQ(ExportText(format, store), std::string(kPreamble) +
                                           "F 1.00 3.00 2.00 -0.25 1.67 0.50 0.00 0.01 0.00\r\n"
                                           "end\r\nend\r\n");
  TTriangleStore empty;
  EXPECT_EQ(ExportText(format, empty), std::string(kPreamble) + "end\r\nend\r\n");
}

TEST(CadImport, ScalesAndSwapsAxes) {
  TTriangleStore store;
  Import("points a\n3\nF 1 3 2 4 5 6 7 8 9\nend\n", store);
  ASSERT_EQ(store.Count(), 1);
  // File (x, y, z) is store (2x, 2z, 2y).
  ExpectCorner((*store.Triangle(0))[0], 2, 4, 6);
  ExpectCorner((*store.Triangle(0))[1], 8, 12, 10);
  ExpectCorner((*store.Triangle(0))[2], 14, 18, 16);
}

TEST(CadImport, RoundTripWithinTwoHundredthsOfAUnit) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> coord(-200, 200);
  TTriangleStore store;
  for (int i = 0; i < 2000; ++i) {
    TStoreTriangle& t = store.AddTriangle();
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) t[c][k] = coord(rng);
  }
  TCADFormat format;
  TTriangleStore back;
  ImportBytes(format, ExportBytes(format, store), back);
  ASSERT_EQ(back.Count(), store.Count());
  for (int i = 0; i < store.Count(); ++i)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) ASSERT_NEAR((*back.Triangle(i))[c][k], (*store.Triangle(i))[c][k], 0.0101);
}

TEST(CadImport, ReadsEveryDecomposedBlockAndSkipsTheRest) {
  TTriangleStore store;
  store.SetCount(8);
  Import(
      "version 1.3 ; a comment\n"
      "_light _light0\n"
      "  move -20 35 34\n"
      "points first object\n"
      "3 vertices per face\n"
      "F 1 1 1 2 2 2 3 3 3\n"
      "  F  4 4 4  5 5 5  6 6 6   \n"
      "end\n"
      "# a comment line\n"
      "sphere s1\n"
      "  size 1 1 1\n"
      "end\n"
      "points second\r\n"
      "3\r\n"
      "F 7 7 7 8 8 8 9 9 9\r\n"
      "end\r\n",
      store);
  ASSERT_EQ(store.Count(), 3);
  EXPECT_EQ((*store.Triangle(2))[0][0], 14.0f);
}

TEST(CadImport, StopsQuietlyAtAnUnexpectedToken) {
  TTriangleStore store;
  Import("points a\n3\nF 1 1 1 2 2 2 3 3 3\nG 1 1 1\nF 4 4 4 5 5 5 6 6 6\nend\n", store);
  EXPECT_EQ(store.Count(), 1);
  // A block that runs to the end of the file without "end".
  Import("points a\n3\nF 1 1 1 2 2 2 3 3 3\n", store);
  EXPECT_EQ(store.Count(), 1);
  // Tokens compare with case.
  Import("POINTS a\n3\nF 1 1 1 2 2 2 3 3 3\nend\n", store);
  EXPECT_EQ(store.Count(), 0);
  Import("points a\n3\nf 1 1 1 2 2 2 3 3 3\nend\n", store);
  EXPECT_EQ(store.Count(), 0);
  Import("", store);
  EXPECT_EQ(store.Count(), 0);
  Import("points", store);
  EXPECT_EQ(store.Count(), 0);
}

TEST(CadImport, Errors) {
  EXPECT_EQ(ImportError("points a\n4\nF 1 1 1 2 2 2 3 3 3 4 4 4\nend\n"),
            "CAD file contains an object that was not decomposed");
  try {
    TTriangleStore store;
    Import("points a\n3\nF 1 1 1 2 2 2 3 3\nend\n", store);
    FAIL() << "short face line accepted";
  } catch (const EScriptError& e) {
    EXPECT_STREQ(e.what(), "Line 3 is incomplete");
  }
  EXPECT_EQ(ImportError("points a\n3\nF 1 1 1 2 x 2 3 3 3\nend\n"),
            "'x' is not a valid floating point value on line 3");
  EXPECT_EQ(ImportError("points a\n3\nF 1 1 1 2 nan 2 3 3 3\nend\n"),
            "'nan' is not a valid floating point value on line 3");
  // Triangles read before an error stay.
  TTriangleStore store;
  EXPECT_NE(ErrorOf([&] { Import("points a\n3\nF 1 1 1 2 2 2 3 3 3\nF 1 z\n", store); }), "");
  EXPECT_EQ(store.Count(), 1);
}

TEST(CadImport, LimitOf40000Triangles) {
  std::string text = "points a\n3\n";
  for (int i = 0; i < 40000; ++i) text += "F 1 1 1 2 2 2 3 3 3\n";
  TTriangleStore store;
  Import(text + "end\n", store);
  EXPECT_EQ(store.Count(), 40000);
  EXPECT_EQ(ImportError(text + "F 1 1 1 2 2 2 3 3 3\nend\n"), "Import is limited to 40000 triangles");
}

TEST(CadImport, LeavesTheProgramTokenizerAlone) {
  // A frame list may be reading with the program's tokenizer while it asks
  // for a frame's geometry.
  ResetTokenizer(*std::make_unique<TMemoryStream>(Bytes("first second third")));
  ASSERT_TRUE(NextToken(true));
  TTriangleStore store;
  Import("points a\n3\nF 1 1 1 2 2 2 3 3 3\nend\n", store);
  ASSERT_TRUE(NextToken(true));
  EXPECT_EQ(TokenizerToken(), "second");
}
