#pragma once

// Buffer fill and the health grade it gives: word, window colour, tooltip.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "DisplaySurface.h"

namespace recmon {

inline constexpr TColor GoodColor = 0xCCFFCC;  // pale green, also the window's initial colour
inline constexpr TColor FairColor = 0xFFDB91;  // pale orange
inline constexpr TColor PoorColor = 0xFC969D;  // pale red

inline constexpr std::int32_t FairFromPercent = 10;
inline constexpr std::int32_t PoorFromPercent = 60;

// Percent of the buffer in use, rounded halves to even; nothing when the
// buffer size is 0. Used is a wrapping 32-bit difference.
std::optional<std::int32_t> BufferPercentOf(std::int32_t bufferSize, std::int32_t bufferFree);

std::string_view HealthText(std::int32_t bufferPercent);
TColor HealthColor(std::int32_t bufferPercent);
// The tooltip of the health grade; empty while the grade is good.
std::string HealthHint(std::int32_t bufferPercent);

// The grade's tooltip, with "Poor", when the recorder ended without clearing
// Recording in its record.
inline constexpr std::string_view WriterGoneHint =
    "The recorder stopped unexpectedly; the file holds what was recorded until then.";
// The grade's tooltip, with "Poor", when nothing has come from a recording
// recorder for this many seconds.
std::string NoUpdateHint(std::int64_t seconds);

}  // namespace recmon
