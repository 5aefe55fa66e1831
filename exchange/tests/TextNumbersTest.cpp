#include "exchange/TextNumbers.h"

#include <gtest/gtest.h>

#include <random>

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
