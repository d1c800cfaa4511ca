#pragma once

// The local clock as the record's date-time value (days since 1899-12-30
// 00:00 local time, see RecordingDefs.h).

#include <chrono>

#include "RecordingDefs.h"

namespace recmon {

// Local wall-clock time of the given instant, to the millisecond, using the
// machine's time zone (including daylight saving in force at that instant).
double DateTimeFromSystemTime(std::chrono::system_clock::time_point t);

// DateTimeFromSystemTime of the present moment.
double LocalNow();

}  // namespace recmon
