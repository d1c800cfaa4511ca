#pragma once

// One recording from start to end: the sound server, the file, the three
// threads (capture, writer, and the caller's, which publishes) and the exit
// status.

#include <signal.h>

#include <cstdint>
#include <iosfwd>
#include <string>

#include "CaptureFormat.h"
#include "RecorderArgs.h"
#include "StopSignals.h"

namespace recmon {

// How much audio the bounded buffer between capture and writer holds.
inline constexpr std::size_t kBufferFrames = 2 * kSampleRate;

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct TRecordingResult {
  int ExitStatus = kExitFailed;
  std::string Path;
  std::uint64_t Captured = 0;         // frames offered to the buffer
  std::uint64_t Written = 0;          // frames in the file
  std::uint64_t DroppedByWriter = 0;  // frames the full buffer refused
  std::uint64_t LostAtServer = 0;     // frames missing or mistimed at the sound server
  std::size_t PeakBufferFill = 0;     // frames
  std::uint64_t Published = 0;
  std::uint64_t PublishesSkipped = 0;
};

// Records as `options` say until one of `stopSignals` (blocked by the caller
// in every thread), the duration, or a failure. Writes the path to `out`,
// the live line too when `liveLine`, and problems to `err`.
TRecordingResult RunRecorder(const TRecorderOptions& options, const sigset_t& stopSignals,
                             std::ostream& out, std::ostream& err, bool liveLine);

}  // namespace recmon
