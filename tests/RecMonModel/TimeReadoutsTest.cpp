#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "ErrorOf.h"
#include "RecordingDefs.h"
#include "TimeReadouts.h"

namespace recmon {
namespace {

constexpr Extended kHour = 1.0L / 24;
constexpr Extended kSecond = 1.0L / 86400;

TEST(FormatDuration, ShowsTheTimeOfDayOfTheSpansMagnitude) {
  struct Row {
    const char* name;
    Extended days;
    const char* text;
  };
  const std::vector<Row> rows = {
      {"zero", 0, "00:00:00"},
      {"one second", kSecond, "00:00:01"},
      {"just under a second truncates", 0.999L * kSecond, "00:00:00"},
      {"hours minutes seconds", 13 * kHour + 4 * kHour / 60 + 5 * kSecond, "13:04:05"},
      {"a day and a half wraps", 1.5L, "12:00:00"},
      {"a 25-hour call", 25 * kHour, "01:00:00"},
      {"minus six hours by magnitude", -6 * kHour, "06:00:00"},
      {"minus 59.5 seconds", -59.5L * kSecond, "00:00:59"},
      {"last second of a day", 86399.999L * kSecond, "23:59:59"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FormatDuration(row.days, ":"), row.text) << row.name;
  }
}

TEST(FormatDuration, UsesTheGivenSeparator) {
  const Extended span = 1 * kHour + 2 * kHour / 60 + 3 * kSecond;
  EXPECT_EQ(FormatDuration(span, "."), "01.02.03");
  EXPECT_EQ(FormatDuration(span, " h "), "01 h 02 h 03");
}

TEST(FormatDuration, RecordedBytesRoundToMillisecondsBeforeTruncating) {
  // 95231 bytes is 999.99 ms, which rounds to a whole second; 47616 bytes is
  // exactly 500 ms, which the truncation to seconds drops.
  EXPECT_EQ(FormatDuration(AudioSpanDays(95231), ":"), "00:00:01");
  EXPECT_EQ(FormatDuration(AudioSpanDays(47616), ":"), "00:00:00");
  EXPECT_EQ(FormatDuration(AudioSpanDays(95232u * 3661), ":"), "01:01:01");
  EXPECT_EQ(FormatDuration(AudioSpanDays(0xFFFFFFFFu), ":"), "12:31:40");  // 45100.04 s
}

TEST(FormatDuration, SpansThatCannotBeRoundedRaise) {
  for (const Extended days :
       {std::numeric_limits<Extended>::quiet_NaN(), std::numeric_limits<Extended>::infinity(),
        -std::numeric_limits<Extended>::infinity(), 1e12L, -1e12L}) {
    EXPECT_EQ(ErrorOf([days] { FormatDuration(days, ":"); }), InvalidOperationText)
        << static_cast<double>(days);
  }
}

TEST(FormatMilliseconds, TheMostNegativeCountHasAMagnitudeToo) {
  EXPECT_EQ(FormatMilliseconds(std::numeric_limits<std::int64_t>::min(), ":"), "07:12:55");
  EXPECT_EQ(FormatMilliseconds(std::numeric_limits<std::int64_t>::max(), ":"), "07:12:55");
  EXPECT_EQ(FormatMilliseconds(-1000, ":"), "00:00:01");
}

TEST(SecondsDropped, RoundsEachCounterHalvesToEven) {
  struct Row {
    std::uint32_t total, first, second;
    const char* text;
  };
  const std::vector<Row> rows = {
      {0, 0, 0, "0 (0/0)"},
      {190464, 95232, 0, "2 (1/0)"},
      {47616, 142848, 238080, "0 (2/2)"},  // 0.5, 1.5 and 2.5 seconds
      {0xFFFFFFFFu, 0xFFFFFFFFu, 1, "45100 (45100/0)"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SecondsDroppedText(row.total, row.first, row.second), row.text);
  }
}

TEST(SecondsBehind, ShowsLagWithItsTwoParts) {
  const double last = 46000.5;
  const auto at = [last](double seconds) { return last + seconds / 86400; };
  struct Row {
    const char* name;
    double now, start;
    std::uint32_t bytes;
    const char* text;
  };
  const std::vector<Row> rows = {
      {"started 100 s before, 95 s in file, updated 3 s ago", at(3), at(-100), 95 * 95232,
       "8 (5/3)"},
      {"clocks disagree: update 3 s in the future", at(-3), at(-100), 95 * 95232, "2 (5/-3)"},
      {"behind never below zero, bracket unclamped", at(-10), at(-100), 95 * 95232, "0 (5/-10)"},
      {"more audio than real time", at(0), at(-10), 20 * 95232, "0 (-10/0)"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SecondsBehindText(row.now, row.start, last, row.bytes), row.text) << row.name;
  }
}

TEST(SecondsBehind, AnUnsetUpdateTimeWrapsInsteadOfFailing) {
  // LastUpdateTime 0 against a 2026 clock: about 4e9 seconds, past 2^31.
  const double now = 46000.0;
  const auto sinceUpdate = Wrap32(static_cast<std::int64_t>(46000) * 86400);
  const auto covered = Wrap32(-static_cast<std::int64_t>(45999) * 86400);
  const auto behind = WrapAdd(covered, sinceUpdate);
  const std::string expected = std::to_string(behind < 0 ? 0 : behind) + " (" +
                               std::to_string(covered) + "/" + std::to_string(sinceUpdate) + ")";
  EXPECT_EQ(SecondsBehindText(now, 45999.0, 0.0, 0), expected);
  EXPECT_LT(sinceUpdate, 0);  // proves the wrap happened
}

TEST(SecondsBehind, GarbageTimesRaise) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(ErrorOf([&] { SecondsBehindText(46000, nan, 46000, 0); }), InvalidOperationText);
  EXPECT_EQ(ErrorOf([&] { SecondsBehindText(inf, 46000, inf, 0); }), InvalidOperationText);
  EXPECT_EQ(ErrorOf([&] { SecondsBehindText(46000, 46000, 1e300, 0); }), InvalidOperationText);
}

}  // namespace
}  // namespace recmon
