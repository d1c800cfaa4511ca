#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "BufferHealth.h"

namespace recmon {
namespace {

TEST(BufferPercent, RoundsUsedOverSizeTimesHundred) {
  struct Row {
    const char* name;
    std::int32_t size, free;
    std::int32_t percent;
  };
  const std::vector<Row> rows = {
      {"9 is the last good value", 100, 91, 9},
      {"10 is the first fair value", 100, 90, 10},
      {"59 is the last fair value", 100, 41, 59},
      {"60 is the first poor value", 100, 40, 60},
      {"12.5 rounds to even 12", 8, 7, 12},
      {"37.5 rounds to even 38", 8, 5, 38},
      {"a half only extended precision sees: 57.5", 40, 17, 58},
      {"a half only extended precision sees: 54.5", 200, 91, 54},
      {"free beyond size is negative", 100, 120, -20},
      {"nothing free", 100, 0, 100},
      {"used wraps as a 32-bit difference", std::numeric_limits<std::int32_t>::min(), 1, -100},
      {"negative size", -100, -50, 50},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(BufferPercentOf(row.size, row.free), row.percent) << row.name;
  }
}

TEST(BufferPercent, ZeroSizeHasNoPercentage) {
  EXPECT_EQ(BufferPercentOf(0, 0), std::nullopt);
  EXPECT_EQ(BufferPercentOf(0, -5), std::nullopt);
}

TEST(Health, GradesAtTheBandEdges) {
  struct Row {
    std::int32_t percent;
    const char* text;
    TColor color;
  };
  const std::vector<Row> rows = {
      {std::numeric_limits<std::int32_t>::min(), "Good", 0xCCFFCC},
      {-20, "Good", 0xCCFFCC},
      {0, "Good", 0xCCFFCC},
      {9, "Good", 0xCCFFCC},
      {10, "Fair", 0xFFDB91},
      {59, "Fair", 0xFFDB91},
      {60, "Poor", 0xFC969D},
      {100, "Poor", 0xFC969D},
      {std::numeric_limits<std::int32_t>::max(), "Poor", 0xFC969D},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(HealthText(row.percent), row.text) << row.percent;
    EXPECT_EQ(HealthColor(row.percent), row.color) << row.percent;
  }
}

TEST(Health, HintsSayHowFullTheBufferIs) {
  EXPECT_EQ(HealthHint(9), "");
  EXPECT_EQ(HealthHint(-20), "");
  EXPECT_EQ(HealthHint(10),
            "Recording buffer is 10% full. If the buffer fills, some audio data may be lost.");
  EXPECT_EQ(HealthHint(60),
            "Recording buffer is 60% full.  Close other apps to improve recording health.");
}

}  // namespace
}  // namespace recmon
