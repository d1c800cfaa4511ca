#include "Levels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace recmon {

double SineDbfs(double rms) {
  if (rms <= 0) {
    return -std::numeric_limits<double>::infinity();
  }
  // A full-scale sine has an RMS of 1/sqrt(2); it is 0 dBFS.
  return 20 * std::log10(rms * std::sqrt(2.0));
}

double MeterLevel(double rms) {
  const double db = SineDbfs(rms);
  if (!(db > kMeterFloorDbfs)) {
    return 0;
  }
  const double level =
      kMeterToneLevel * (db - kMeterFloorDbfs) / (kMeterToneDbfs - kMeterFloorDbfs);
  return std::min(level, 1.0);
}

double TLevelWindow::Add(std::span<const float> samples) {
  double sum = 0;
  for (const float s : samples) {
    sum += static_cast<double>(s) * static_cast<double>(s);
  }
  SumSquares_.fetch_add(sum, std::memory_order_relaxed);
  Count_.fetch_add(samples.size(), std::memory_order_relaxed);
  return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

double TLevelWindow::Take() {
  // A fragment added between the two exchanges lands half in this window and
  // half in the next; for a meter that is harmless.
  const std::uint64_t count = Count_.exchange(0, std::memory_order_relaxed);
  const double sum = SumSquares_.exchange(0, std::memory_order_relaxed);
  return count == 0 ? 0 : std::sqrt(std::max(sum, 0.0) / static_cast<double>(count));
}

double TNoiseFloor::Add(double level) {
  if (InSlot_ == 0) {
    SlotMin_[Slot_] = level;
    SlotsFilled_ = std::min(SlotsFilled_ + 1, kSlots);
  } else {
    SlotMin_[Slot_] = std::min(SlotMin_[Slot_], level);
  }
  const double floor = *std::min_element(SlotMin_.begin(), SlotMin_.begin() + SlotsFilled_);
  if (++InSlot_ == WindowsPerSlot_) {
    InSlot_ = 0;
    Slot_ = (Slot_ + 1) % kSlots;
  }
  return std::min(floor, kMaxBias);
}

}  // namespace recmon
