#pragma once

// The millisecond tick counter shared by the monitor and the recorders, which
// stamp TheirLastSoundTick with it.

#include <cstdint>

namespace recmon {

// CLOCK_BOOTTIME in milliseconds, low 32 bits: counts on through suspend and
// wraps about every 49.7 days; differences are taken as signed 32-bit numbers.
std::uint32_t RecMonTickCount();

}  // namespace recmon
