#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "ExtendedArith.h"
#include "LevelMeters.h"

namespace recmon {
namespace {

TEST(MeterBarHeight, DoublesTheRoundedLevelAndClampsToTheBar) {
  struct Row {
    const char* name;
    std::int32_t h;
    double level, bias;
    std::int32_t height;
  };
  const std::vector<Row> rows = {
      {"0.25 of 15 is 3.75, rounds to 4, doubled 8", 15, 0.25, 0, 8},
      {"half fills the bar", 15, 0.5, 0, 15},
      {"above half is clamped", 15, 0.9, 0, 15},
      {"0.02 of 15 rounds to 0", 15, 0.02, 0, 0},
      {"a negative bias counts by its magnitude", 15, 0.3, -0.1, 6},
      {"a positive bias is subtracted", 15, 0.3, 0.1, 6},
      {"a net level below zero is an empty bar", 15, 0.1, 0.5, 0},
      {"1/30 of 15 is a half, rounds to even 0", 15, 1.0 / 30, 0, 0},
      {"before the meters are set up every bar is 0", 0, 0.9, 0, 0},
      // 16 * 2^26 = 2^30; doubled it wraps to -2^31 before the clamp.
      {"the doubling wraps before the clamp", 16, 67108864.0, 0, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(MeterBarHeight(row.h, row.level, row.bias), row.height) << row.name;
  }
}

TEST(MeterBarHeight, ImpossibleLevelsRaise) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_THROW(MeterBarHeight(15, nan, 0), TFloatError);
  EXPECT_THROW(MeterBarHeight(15, inf, 0), TFloatError);
  EXPECT_THROW(MeterBarHeight(0, inf, 0), TFloatError);  // zero times infinity
  EXPECT_THROW(MeterBarHeight(15, 1e300, 0), TFloatError);
  EXPECT_THROW(MeterBarHeight(15, inf, inf), TFloatError);  // infinity minus infinity
}

TEST(TheirMeterHint, TellsWhetherTheOtherPartiesAreRecordedAndHeard) {
  constexpr std::uint32_t kLast = 1000000;
  struct Row {
    const char* name;
    std::int32_t mode;
    std::uint32_t now, last;
    const char* hint;
  };
  const std::vector<Row> rows = {
      {"not recorded whatever the ticks", 1, kLast, kLast,
       "Sound level for other party(s).  (Configured not to record this)"},
      {"mode 0 is not recorded either", 0, kLast + 60000, kLast,
       "Sound level for other party(s).  (Configured not to record this)"},
      {"5000 ms of silence is still fine", 2, kLast + 5000, kLast,
       "Sound level for other party(s)."},
      {"5001 ms of silence is reported", 2, kLast + 5001, kLast,
       "Sound level for other party(s).  (No recent sound data received)"},
      {"sound stamped in the future", 2, kLast - 10, kLast, "Sound level for other party(s)."},
      {"across the counter's wrap: 5001 ms", 2, 4000, 0xFFFFFFFFu - 1000,
       "Sound level for other party(s).  (No recent sound data received)"},
      {"across the counter's wrap: 4000 ms", 2, 2999, 0xFFFFFFFFu - 1000,
       "Sound level for other party(s)."},
      {"2^31 ms reads as negative", 2, 0x80000000u, 0, "Sound level for other party(s)."},
      {"2^31 - 1 ms is long silence", 2, 0x7FFFFFFFu, 0,
       "Sound level for other party(s).  (No recent sound data received)"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(TheirMeterHint(row.mode, row.now, row.last), row.hint) << row.name;
  }
}

}  // namespace
}  // namespace recmon
