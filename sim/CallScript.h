#pragma once

// The typical call that `recmon-sim play` acts out, as a pure function of the
// call's own clock (seconds since recording started).

#include <cstdint>
#include <span>

#include "RecordingDefs.h"

namespace recmon {

inline constexpr double CallStopsAt = 58;  // the recording flag is cleared
inline constexpr double CallEndsAt = 60;   // the program leaves
// The recorder's buffer, in bytes: eight seconds of audio.
inline constexpr std::int32_t CallBufferSize = 8 * static_cast<std::int32_t>(AudioBytesPerSecond);
inline constexpr double CallMyLevelBias = 0.01;
inline constexpr double CallTheirLevelBias = 0.02;

struct TCallFrame {
  bool Recording = false;
  double CountAt = 0;               // call time to which the byte counts refer
  std::uint32_t BytesRecorded = 0;  // what has reached the file
  std::int32_t BufferFree = CallBufferSize;
  // The two parts of what was dropped, as the record carries them
  // (BytesDropped1Meaning, BytesDropped2Meaning).
  std::uint32_t DroppedBufferFull = 0;  // refused while the buffer was full
  std::uint32_t DroppedAtServer = 0;    // lost at the sound server
  double MyLevel = 0;
  double TheirLevel = 0;
  double TheirLastSoundAt = 0;  // call time of the other parties' latest sound data
};

// The state of the call at `t` seconds; times past CallEndsAt give the end state.
TCallFrame CallAt(double t);

// What happens when, for the running commentary of `play`.
struct TCallEvent {
  double At = 0;
  const char* Text = "";
};
std::span<const TCallEvent> CallEvents();

}  // namespace recmon
