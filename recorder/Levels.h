#pragma once

// Sound levels as the monitor's bars show them. The monitor fills a bar at a
// net level (level minus bias) of 0.5 and leaves it empty at zero or below.
//
// Level: the RMS of a side over the window since the last publish, in dBFS
// referred to a full-scale sine (a sine of amplitude 0.5 reads -6 dBFS),
// mapped linearly from -54 dBFS (0) to -6 dBFS (0.6), clamped to 0..1. So
// digital silence and a quiet room read 0, speech at -35 to -15 dBFS reads
// about 0.24 to 0.49 (the bar a half to nearly full), and a -6 dBFS tone
// reads 0.6, a full bar even after the largest bias.
//
// Bias: the background noise of that side, estimated as the lowest level of
// the last ten seconds (speech has pauses; the noise floor shows in them),
// at most 0.08 (noise of about -48 dBFS) so that a steady loud sound is never
// taken for noise.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace recmon {

inline constexpr double kMeterFloorDbfs = -54;
inline constexpr double kMeterToneDbfs = -6;
inline constexpr double kMeterToneLevel = 0.6;
inline constexpr double kMaxBias = 0.08;
// Quieter than this is silence for TheirLastSoundTick.
inline constexpr double kSoundThresholdDbfs = -60;

// RMS of samples in -1..1 as dBFS referred to a full-scale sine; -inf for 0.
double SineDbfs(double rms);
// The level that the record carries for a window's RMS.
double MeterLevel(double rms);

// One side's sum of squares since the last reading: added to by the capture
// thread, taken by the publishing thread; neither ever waits.
class TLevelWindow final {
 public:
  // Adds the samples; returns their own RMS, for the silence test.
  double Add(std::span<const float> samples);
  // RMS since the last Take (0 when nothing came), and starts a new window.
  double Take();

 private:
  std::atomic<double> SumSquares_{0};
  std::atomic<std::uint64_t> Count_{0};
};

// The noise floor of one side, from the levels of successive windows.
class TNoiseFloor final {
 public:
  // `windowsPerSlot` windows make one slot; the floor is the lowest level
  // over the last kSlots slots (at five windows a second: ten seconds).
  explicit TNoiseFloor(std::size_t windowsPerSlot = 5) : WindowsPerSlot_(windowsPerSlot) {}

  // Takes one window's level; returns the bias to publish with it.
  double Add(double level);

  static constexpr std::size_t kSlots = 10;

 private:
  std::size_t WindowsPerSlot_;
  std::array<double, kSlots> SlotMin_{};
  std::size_t Slot_ = 0;
  std::size_t InSlot_ = 0;
  std::size_t SlotsFilled_ = 0;
};

}  // namespace recmon
