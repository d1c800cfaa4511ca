#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "DateTime.h"

namespace recmon {
namespace {

// Runs the conversions under a fixed time zone and restores the old one.
class DateTimeZone : public ::testing::Test {
 protected:
  void SetZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) {
      saved_ = tz;
      hadZone_ = true;
    }
  }
  void TearDown() override {
    if (hadZone_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::string saved_;
  bool hadZone_ = false;
};

std::chrono::system_clock::time_point UnixMs(std::int64_t ms) {
  return std::chrono::system_clock::time_point(std::chrono::milliseconds(ms));
}

TEST_F(DateTimeZone, CountsDaysSince1899AtMillisecondResolution) {
  SetZone("UTC0");
  struct Row {
    std::int64_t unixMs;
    double expected;
  };
  const std::vector<Row> rows = {
      {0, 25569.0},
      {1500, 25569.0 + 1500 / 86400000.0},
      {86400000LL * 365, 25569.0 + 365},
      {-1, 25568.0 + 86399999 / 86400000.0},
      {-25569LL * 86400000, 0.0},
  };
  for (const auto& row : rows) {
    EXPECT_DOUBLE_EQ(DateTimeFromSystemTime(UnixMs(row.unixMs)), row.expected) << row.unixMs;
  }
  // Sub-millisecond parts are dropped, not rounded.
  EXPECT_EQ(DateTimeFromSystemTime(UnixMs(0) + std::chrono::microseconds(999)), 25569.0);
}

TEST_F(DateTimeZone, UsesTheLocalZoneAndItsDaylightSaving) {
  SetZone("XST-2");  // two hours east of UTC, no daylight saving
  EXPECT_DOUBLE_EQ(DateTimeFromSystemTime(UnixMs(0)), 25569.0 + 2.0 / 24);

  SetZone("CET-1CEST,M3.5.0,M10.5.0/3");
  // 2026-01-15 12:00 UTC is 13:00 in winter; 2026-07-15 12:00 UTC is 14:00.
  const std::int64_t jan15 = 20468LL * 86400000 + 12 * 3600000LL;
  const std::int64_t jul15 = 20649LL * 86400000 + 12 * 3600000LL;
  EXPECT_DOUBLE_EQ(DateTimeFromSystemTime(UnixMs(jan15)), 25569.0 + 20468 + 13.0 / 24);
  EXPECT_DOUBLE_EQ(DateTimeFromSystemTime(UnixMs(jul15)), 25569.0 + 20649 + 14.0 / 24);
}

}  // namespace
}  // namespace recmon
