#pragma once

// What `recmon-sim show` prints: one FIELD=VALUE line per field, in record
// order, with a readable note where the raw value needs one.

#include <string>

#include "FieldValues.h"
#include "RecordingDefs.h"

namespace recmon {

// The first line tells whether the record is valid; the fields follow either
// way, so a record with a wrong marker can still be inspected.
std::string RecordText(const TRecMonStatusBytes& bytes, const TSimClock& clock);

// "2024-05-01 12:00:00.000" for a date-time value, or "" when it is not a
// finite date between years 1 and 9999.
std::string DateTimeText(double value);

}  // namespace recmon
