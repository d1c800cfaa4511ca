#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ReadableColor.h"

namespace recmon {
namespace {

double LeastContrast(TColor text) {
  double least = 21;
  for (const TColor bg : HealthColors) {
    least = std::min(least, ContrastRatio(text, bg));
  }
  return least;
}

TEST(ReadableColor, ContrastRatiosOfKnownPairs) {
  struct Row {
    const char* name;
    TColor a, b;
    double ratio;
  };
  const std::vector<Row> rows = {
      {"black on white is the most", 0x000000, 0xFFFFFF, 21.0},
      {"a colour on itself is the least", 0x308CC6, 0x308CC6, 1.0},
      {"order does not matter", 0xFFFFFF, 0x000000, 21.0},
      {"#767676 is the lightest grey passing on white", 0x767676, 0xFFFFFF, 4.54},
      {"#777777 just fails on white", 0x777777, 0xFFFFFF, 4.48},
      {"white on the pale red window", 0xFFFFFF, PoorColor, 2.10},
      {"the default link blue on the pale red window", 0x308CC6, PoorColor, 1.75},
      {"pure green weighs most in luminance", 0x00FF00, 0x000000, 15.3},
  };
  for (const auto& row : rows) {
    EXPECT_NEAR(ContrastRatio(row.a, row.b), row.ratio, 0.01) << row.name;
  }
}

TEST(ReadableColor, KeepsAColourThatPassesAndDarkensOneThatDoesNot) {
  struct Row {
    const char* name;
    TColor wanted;
    bool kept;
  };
  const std::vector<Row> rows = {
      {"black window text", 0x000000, true},
      {"a dark theme's near-white text", 0xF0F0F0, false},
      {"white", 0xFFFFFF, false},
      {"the default light palette's link blue", 0x308CC6, false},
      {"a dark blue link", 0x0000AA, true},
      {"a light grey that fails only on the red window", 0x5A5A5A, false},
      {"bits above the 24 colour bits are ignored", 0xFF000000, true},
  };
  for (const auto& row : rows) {
    const TColor readable = ReadableOn(row.wanted, HealthColors);
    EXPECT_EQ(readable == (row.wanted & 0xFFFFFF), row.kept) << row.name;
    EXPECT_GE(LeastContrast(readable), MinTextContrast) << row.name;
  }
}

TEST(ReadableColor, DarkensOnlyAsFarAsNeededAndKeepsTheHue) {
  for (const TColor wanted : {0xFFFFFFu, 0x308CC6u, 0xE0A0FFu, 0x5A5A5Au}) {
    const TColor readable = ReadableOn(wanted, HealthColors);
    const auto r = (readable >> 16) & 0xFF, g = (readable >> 8) & 0xFF, b = readable & 0xFF;
    const auto wr = (wanted >> 16) & 0xFF, wg = (wanted >> 8) & 0xFF, wb = wanted & 0xFF;
    // Every channel scaled by the same factor: the hue and saturation stay.
    const double scale = static_cast<double>(std::max({r, g, b})) / std::max({wr, wg, wb});
    EXPECT_NEAR(r, wr * scale, 1.5) << std::hex << wanted;
    EXPECT_NEAR(g, wg * scale, 1.5) << std::hex << wanted;
    EXPECT_NEAR(b, wb * scale, 1.5) << std::hex << wanted;
    // Not much darker than needed: a little lighter would fail.
    EXPECT_LT(LeastContrast(readable), MinTextContrast + 0.15) << std::hex << wanted;
  }
}

TEST(ReadableColor, WithoutBackgroundsEveryColourIsKept) {
  EXPECT_EQ(ReadableOn(0xFFFFFF, {}), 0xFFFFFFu);
}

}  // namespace
}  // namespace recmon
