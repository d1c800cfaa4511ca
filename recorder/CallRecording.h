#pragma once

// The recording of one call for recmon-record --auto: the file, the
// monitor's record, the microphone the call program captures (followed when
// it moves to another) and only its playback, mixed (followed as streams
// come and go), through a sound server that may restart mid-call.

#include <iosfwd>
#include <memory>

#include "AutoRecorder.h"

namespace recmon {

// Creates the file and starts recording; raises with the reason when it
// cannot.
std::unique_ptr<ICallRecording> StartCallRecording(const TCallStart& start, std::ostream& err);

}  // namespace recmon
