#pragma once

// What the recorder captures and writes: 48 kHz, one stereo frame per sample
// instant, the microphone on the left and the other parties on the right.

#include <cstdint>

namespace recmon {

// 48 kHz is what both sound servers run at by default and one of the rates
// that Opus accepts, so no format needs resampling twice.
inline constexpr std::uint32_t kSampleRate = 48000;

struct TStereoFrame {
  float Mic = 0;     // left
  float Others = 0;  // right

  bool operator==(const TStereoFrame&) const = default;
};

// Frames as audio bytes of the status record (95232 per second, so the
// monitor's seconds equal the file's seconds whatever its format). Truncated,
// and cut to 32 bits as the record's counters are.
constexpr std::uint32_t AudioBytesFromFrames(std::uint64_t frames) {
  // 95232 / 48000 = 248 / 125 exactly.
  return static_cast<std::uint32_t>(frames * 248U / 125U);
}

}  // namespace recmon
