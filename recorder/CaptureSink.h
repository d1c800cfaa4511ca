#pragma once

// Everything the capture thread does with the audio it receives: mix each
// side down to one channel, measure it, place it by time and pair the sides
// into the bounded buffer. The publishing thread reads the results through
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
#include "SoundSources.h"

namespace recmon {

// The weight of each channel when a source is mixed down to one, as a
// listener in front of its speakers hears it: the front pair averaged (a
// sound on both keeps its level), the centre at its level (as loud as the
// same sound on both front speakers), side and rear channels 3 dB below the
// front ones, the low-frequency channel left out. A layout that is not known
// (or holds auxiliary channels) counts every channel alike.
std::vector<float> DownmixWeights(std::span<const TSpeaker> layout, unsigned channels);

// One weighted sum per frame of `interleaved` (weights.size() channels).
void DownmixToMono(std::span<const float> interleaved, std::span<const float> weights,
                   std::vector<float>& mono);

class TCaptureSink final {
 public:
  using TClock = std::chrono::steady_clock;

  // `end`: where the recording ends when its length is known from the start
  // (a duration), so that a late stop never makes the file longer.
  TCaptureSink(TFrameRing& ring, bool withOthers, std::optional<TFramePos> end = std::nullopt);

  // Capture thread: samples of a side, `weights.size()` channels
  // interleaved, received at `now`, with the tick counter reading `tick`;
  // `age`: how long ago the last of them was captured, when the server tells.
  void OnSamples(TSide side, std::span<const float> interleaved, std::span<const float> weights,
                 TClock::time_point now, std::uint32_t tick,
                 std::optional<TClock::duration> age = std::nullopt);
  void OnHole(TSide side, std::size_t frames, TClock::time_point now);
  // A new stream begins for a side (another source, or the server came back).
  void OnRestart(TSide side) { Pairer_.Restart(side); }
  // A side has no stream for now (the server went away, no source to take).
  void OnAbsent(TSide side, bool absent) { Pairer_.SetAbsent(side, absent); }
  // Regularly, whether audio comes or not: fills what is missing as time goes by.
  void OnTick(TClock::time_point now);
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

  // Frames lost at the sound server so far, as paired: silence put in where
  // either side was missing (see TSidePairer).
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
