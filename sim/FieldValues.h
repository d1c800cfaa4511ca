#pragma once

// Turns FIELD=VALUE arguments into a record, with "now" and relative times
// taken from a given clock so the result can be checked exactly.

#include <cstdint>
#include <vector>

#include "RecordingDefs.h"
#include "SimArgs.h"

namespace recmon {

// The moment a record is made: local date-time and the tick counter.
struct TSimClock {
  double Now = 0;
  std::uint32_t Tick = 0;
};

// Fields not given are zero, and Magic is valid unless `noMagic`. An unknown
// field, a field given twice, a bad value, or Magic=... beside `noMagic`
// raise TUsageError naming the argument.
TRecMonSnapshot BuildRecord(const std::vector<TAssignment>& assignments, bool noMagic,
                            const TSimClock& clock);

}  // namespace recmon
