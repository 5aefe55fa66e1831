#include "exchange/TextNumbers.h"

#include <gtest/gtest.h>

#include <random>

#include "ExchangeTestUtil.h"
#include "exchange/CadFormat.h"
#include "exchange/DxfFormat.h"

using namespace exchange_test;

TEST(TextNumbers, IntegersWithBlanksAndSigns) {
  int32_t v = -1;
  EXPECT_TRUE(ParseTextInt("0", v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(ParseTextInt("  10", v));
  EXPECT_EQ(v, 10);
  EXPECT_TRUE(ParseTextInt("\t-5 ", v));
  EXPECT_EQ(v, -5);
  EXPECT_TRUE(ParseTextInt("+999", v));
  EXPECT_EQ(v, 999);
  EXPECT_TRUE(ParseTextInt("2147483647", v));
  EXPECT_EQ(v, 2147483647);
  for (const char* bad : {"", " ", "1 2", "x", "1x", "2147483648", "--1", "+", "1.0", "0x10"})
    EXPECT_FALSE(ParseTextInt(bad, v)) << bad;
}

TEST(TextNumbers, FloatsAgreeWithTheGeneralParser) {
  // The quick path for plain decimals must round exactly as from_chars does.
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> d(-5000, 5000);
  char buf[64];
  for (int i = 0; i < 20000; ++i) {
    const int decimals = i % 9;
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d(rng), std::chars_format::fixed, decimals);
    ASSERT_EQ(ec, std::errc());
    const std::string_view text(buf, size_t(end - buf));
    double reference = 0;
    std::from_chars(buf, end, reference);
    float got = 0;
    ASSERT_TRUE(ParseTextFloat(text, got)) << text;
    ASSERT_EQ(got, static_cast<float>(reference)) << text;
  }
}

TEST(TextNumbers, FloatNotations) {
  float v = 0;
  const std::pair<const char*, float> good[] = {
      {"1", 1},          {"-0.5", -0.5f},  {" 2.25 ", 2.25f},          {"+3", 3},
      {"4.", 4},         {".5", 0.5f},     {"-.5", -0.5f},             {"1e3", 1000},
      {"1.5E-2", 0.015f}, {"00.100", 0.1f}, {"1234567890123456", 1234567890123456.0f},
      {"1e-60", 0},       {"-0", -0.0f},
  };
  for (const auto& [text, want] : good) {
    ASSERT_TRUE(ParseTextFloat(text, v)) << text;
    EXPECT_EQ(v, want) << text;
  }
  for (const char* bad : {"", "-", ".", "+-1", "1..2", "1,5", "nan", "inf", "-inf", "1e39", "1e999", "0x1p3", "1 2"})
    EXPECT_FALSE(ParseTextFloat(bad, v)) << bad;
}

TEST(TextNumbers, FixedNotationAsPrintf) {
  std::string s;
  AppendFixed(s, 1.5, 2);
  s += '|';
  AppendFixed(s, -0.004, 2);
  s += '|';
  AppendFixed(s, 1234.5677490234375, 6);
  s += '|';
  AppendFixed(s, 1e20, 2);
  EXPECT_EQ(s, "1.50|-0.00|1234.567749|100000000000000000000.00");
}

// Every text importer refuses a coordinate that is no float, or that would
// put a position outside what a model holds, naming the line; "" is a number
// the importer takes. The CAD value is doubled (file units are half the
// model's); the DXF reader names the line after a value that is no number.
TEST(TextNumbers, ImportersRefuseCoordinatesNoModelHolds) {
  const std::string forty = "1234567890123456789012345678901234567890";
  const std::string cadBad = "'%s' is not a valid floating point value on line 3";
  const std::string cadBig = "'%s' on line 3 is too large for a coordinate: " + std::string(kImportCoordinateRange);
  const std::string dxfBad = "Error in DXF file, invalid group token at line 11";
  const std::string dxfBig = "Error in DXF file, coordinate %s at line 10 is too large: " + std::string(kImportCoordinateRange);
  struct TRow {
    std::string Text, Cad, Dxf;
  };
  const TRow rows[] = {
      {forty, cadBad, dxfBad},         {"-" + forty, cadBad, dxfBad},   {"nan", cadBad, dxfBad},
      {"-NaN", cadBad, dxfBad},        {"inf", cadBad, dxfBad},         {"-infinity", cadBad, dxfBad},
      {"1e39", cadBad, dxfBad},        {"-1e39", cadBad, dxfBad},       {"3e38", cadBig, dxfBig},
      {"-3.4e38", cadBig, dxfBig},     {"100000000", cadBig, dxfBig},   {"5e6", cadBig, ""},
      {"-9999999", cadBig, ""},        {"4999999.5", "", ""},           {"-4999999.5", "", ""},
  };
  auto fill = [](std::string pattern, const std::string& text) {
    const size_t at = pattern.find("%s");
    if (at != std::string::npos) pattern.replace(at, 2, text);
    return pattern;
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Text);
    TCADFormat cad;
    TTriangleStore store;
    const std::string cadFile = "points a\n3\nF 1 1 1 2 2 2 3 3 " + row.Text + "\nend\n";
    EXPECT_EQ(ErrorOf([&] { ImportBytes(cad, Bytes(cadFile), store); }), fill(row.Cad, row.Text));
    if (row.Cad.empty()) {
      EXPECT_EQ((*store.Triangle(0))[2][1], 2 * std::stof(row.Text));
    }

    TDXFFormat dxf;
    const std::string dxfFile = "0\nSECTION\n2\nENTITIES\n0\n3DFACE\n10\n1\n20\n" + row.Text +
                                "\n30\n1\n11\n2\n21\n2\n31\n2\n12\n3\n22\n3\n32\n3\n0\nENDSEC\n0\nEOF\n";
    EXPECT_EQ(ErrorOf([&] { ImportBytes(dxf, Bytes(dxfFile), store); }), fill(row.Dxf, row.Text));
    if (row.Dxf.empty()) {
      EXPECT_EQ((*store.Triangle(0))[0][0], std::stof(row.Text));
    }
  }
}
