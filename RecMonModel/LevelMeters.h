#pragma once

// Sizes and tooltips of the two sound-level bars.

#include <cstdint>
#include <string>
#include <string_view>

namespace recmon {

// A net level of 0.5 fills a bar.
inline constexpr std::int32_t MeterScale = 2;
// Without sound data of the other parties for longer than this, they are
// reported as silent.
inline constexpr std::int32_t SilenceAfterMs = 5000;

inline constexpr std::string_view MyMeterHint = "Sound level for you.";
inline constexpr std::string_view TheirMeterHintBase = "Sound level for other party(s).";
inline constexpr std::string_view NotRecordedSuffix = "  (Configured not to record this)";
inline constexpr std::string_view NoRecentSoundSuffix = "  (No recent sound data received)";

// Bar height in pixels for a bar of full height H: the level less the bias's
// magnitude (stored as a double), times H, rounded, doubled (wrapping), then
// clamped to 0..H. Raises for a level that cannot be rounded.
std::int32_t MeterBarHeight(std::int32_t fullHeight, double level, double bias);

// Tooltip of the other parties' bar. Ticks are compared as a signed 32-bit
// difference, so the check survives the counter's wrap.
std::string TheirMeterHint(std::int32_t recordMode, std::uint32_t tickNow,
                           std::uint32_t lastSoundTick);

}  // namespace recmon
