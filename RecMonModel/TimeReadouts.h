#pragma once

// Texts of the detail panel's time and loss figures, as pure functions.

#include <cstdint>
#include <string>
#include <string_view>

#include "ExtendedArith.h"

namespace recmon {

// Shown for a record that is not valid, whatever the locale.
inline constexpr std::string_view ZeroDurationText = "00:00:00";

// "hh:mm:ss" of a span in days: rounded to whole milliseconds (a 64-bit
// count), whole days dropped, a negative span shown by its magnitude, seconds
// truncated. Raises for a span that cannot be rounded.
std::string FormatDuration(Extended spanDays, std::string_view separator);

// The time of day of a signed millisecond count's magnitude, as "hh:mm:ss".
std::string FormatMilliseconds(std::int64_t ms, std::string_view separator);

// Span in days of a count of audio bytes, unrounded.
Extended AudioSpanDays(std::uint32_t audioBytes);

// Whole seconds of a count of audio bytes, rounded halves to even.
std::int32_t AudioSeconds(std::uint32_t audioBytes);

// "total (first/second)" in whole seconds of audio.
std::string SecondsDroppedText(std::uint32_t dropped, std::uint32_t dropped1,
                               std::uint32_t dropped2);

// How far the recording lags behind real time, from the record's times and
// the clock: "behind (P-D/S)", behind never below zero.
std::string SecondsBehindText(double now, double startTime, double lastUpdateTime,
                              std::uint32_t bytesRecorded);

}  // namespace recmon
