#pragma once

// The date-time value shared with recorders: a double counting days since
// 1899-12-30 00:00 local time, the time of day as the fraction.

#include <chrono>
#include <cstdint>

namespace recmon {

inline constexpr double SecondsPerDay = 86400;
inline constexpr double MillisecondsPerDay = 86400000;

// Days from 1899-12-30 to 1970-01-01.
inline constexpr std::int64_t UnixEpochDay = 25569;

// Local wall-clock time of the given instant, to the millisecond, using the
// machine's time zone (including daylight saving in force at that instant).
double DateTimeFromSystemTime(std::chrono::system_clock::time_point t);

// DateTimeFromSystemTime of the present moment.
double LocalNow();

// A span of whole seconds as a date-time difference (for recorders and tests).
constexpr double DaysFromSeconds(double seconds) {
  return seconds / SecondsPerDay;
}

}  // namespace recmon
