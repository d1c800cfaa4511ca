#pragma once

// Everything the capture thread does with the audio it receives: downmix each
// side to one channel, measure it, place it by time and pair the sides into
// the bounded buffer. The publishing thread reads the results through
// atomics, so neither waits for the other.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "FrameRing.h"
#include "Levels.h"
#include "SidePairer.h"

namespace recmon {

// The mean of each frame's channels: a sound on both channels of a stereo
// source keeps its level, and nothing is summed into clipping.
void DownmixToMono(std::span<const float> interleaved, unsigned channels, std::vector<float>& mono);

class TCaptureSink final {
 public:
  using TClock = std::chrono::steady_clock;

  // `end`: where the recording ends when its length is known from the start
  // (a duration), so that a late stop never makes the file longer.
  TCaptureSink(TFrameRing& ring, bool withOthers, std::optional<TFramePos> end = std::nullopt);

  // Capture thread: samples of a side received at `now`, with the tick
  // counter reading `tick`.
  void OnSamples(TSide side, std::span<const float> interleaved, unsigned channels,
                 TClock::time_point now, std::uint32_t tick);
  void OnHole(TSide side, std::size_t frames);
  // Capture thread (or with it held off): pairs nothing beyond `end` any more.
  void Limit(TFramePos end) { Pairer_.Limit(end); }
  // Capture thread (or with it held off): ends the timeline at `end`.
  void Finish(TFramePos end);

  // The timeline position of `t`, 0 before the first audio.
  TFramePos PositionAt(TClock::time_point t) const;
  // When the first audio arrived, as the timeline's origin; nothing before it.
  std::optional<TClock::time_point> Origin() const;
  // Whether each side has delivered up to `position` (a side not recorded has).
  bool Reached(TFramePos position) const;
  // The furthest position a side has reached.
  TFramePos Furthest() const;

  // Frames lost at the sound server so far (see TSidePairer): the larger of
  // the two sides' counts, since a server that stalls stalls both at once.
  std::uint64_t LostAtServer() const { return Lost_.load(std::memory_order_relaxed); }
  std::uint32_t TheirLastSoundTick() const { return TheirTick_.load(std::memory_order_relaxed); }
  // Each side's RMS since the last call, for the meters.
  double TakeRms(TSide side) { return Windows_[static_cast<std::size_t>(side)].Take(); }

 private:
  void Publish();

  TFrameRing& Ring_;
  TSidePairer Pairer_;
  std::vector<float> Mono_;
  std::atomic<bool> Started_{false};
  TClock::time_point Origin_{};  // written once, before Started_ is released
  std::atomic<TFramePos> Placed_[2]{};
  std::atomic<std::uint64_t> Lost_{0};
  std::atomic<std::uint32_t> TheirTick_{0};
  TLevelWindow Windows_[2];
  bool WithOthers_;
};

}  // namespace recmon
