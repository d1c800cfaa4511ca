#include "FrameRing.h"

#include <algorithm>
#include <stdexcept>

namespace recmon {

TFrameRing::TFrameRing(std::size_t capacityFrames) : Slots_(capacityFrames) {
  if (capacityFrames == 0) {
    throw std::invalid_argument("a frame buffer needs room for at least one frame");
  }
}

std::size_t TFrameRing::Offer(std::span<const TStereoFrame> frames) {
  const std::uint64_t head = Head_.load(std::memory_order_relaxed);
  // Acquire: the consumer's reads of the slots it freed happen before we reuse them.
  const std::uint64_t tail = Tail_.load(std::memory_order_acquire);
  const std::size_t fill = static_cast<std::size_t>(head - tail);
  const std::size_t stored = std::min(frames.size(), Slots_.size() - fill);
  for (std::size_t i = 0; i < stored; ++i) {
    Slots_[static_cast<std::size_t>((head + i) % Slots_.size())] = frames[i];
  }
  // Release: the frames are in their slots before the consumer can see them.
  Head_.store(head + stored, std::memory_order_release);
  Offered_.fetch_add(frames.size(), std::memory_order_relaxed);
  Refused_.fetch_add(frames.size() - stored, std::memory_order_relaxed);
  if (fill + stored > PeakFill_.load(std::memory_order_relaxed)) {
    PeakFill_.store(fill + stored, std::memory_order_relaxed);
  }
  return stored;
}

std::size_t TFrameRing::Take(std::span<TStereoFrame> out) {
  const std::uint64_t tail = Tail_.load(std::memory_order_relaxed);
  const std::uint64_t head = Head_.load(std::memory_order_acquire);
  const std::size_t taken = std::min(out.size(), static_cast<std::size_t>(head - tail));
  for (std::size_t i = 0; i < taken; ++i) {
    out[i] = Slots_[static_cast<std::size_t>((tail + i) % Slots_.size())];
  }
  Tail_.store(tail + taken, std::memory_order_release);
  return taken;
}

std::size_t TFrameRing::Fill() const {
  const std::uint64_t tail = Tail_.load(std::memory_order_acquire);
  const std::uint64_t head = Head_.load(std::memory_order_acquire);
  // Read from a third thread, the two may be from slightly different moments.
  return std::min(static_cast<std::size_t>(head - tail), Slots_.size());
}

}  // namespace recmon
