#pragma once

// The bounded buffer between capture and the writer thread: one producer (the
// sound server's callback thread) and one consumer (the writer). Neither side
// ever waits for the other; frames that do not fit are refused and counted,
// so capture never waits for the disk.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "CaptureFormat.h"

namespace recmon {

class TFrameRing final {
 public:
  explicit TFrameRing(std::size_t capacityFrames);

  // Producer: stores as many leading frames as fit and refuses the rest.
  // Returns how many were stored.
  std::size_t Offer(std::span<const TStereoFrame> frames);
  // Consumer: moves up to out.size() of the oldest frames out; returns how many.
  std::size_t Take(std::span<TStereoFrame> out);

  std::size_t Capacity() const { return Slots_.size(); }
  // Frames waiting; exact on either side's thread, a recent value elsewhere.
  std::size_t Fill() const;
  // The largest fill seen right after an offer.
  std::size_t PeakFill() const { return PeakFill_.load(std::memory_order_relaxed); }
  // Every frame offered, and those refused because the buffer was full.
  // Offered = taken + refused + Fill().
  std::uint64_t Offered() const { return Offered_.load(std::memory_order_relaxed); }
  std::uint64_t Refused() const { return Refused_.load(std::memory_order_relaxed); }

 private:
  std::vector<TStereoFrame> Slots_;
  std::atomic<std::uint64_t> Head_{0};  // frames stored so far; written by the producer
  std::atomic<std::uint64_t> Tail_{0};  // frames taken so far; written by the consumer
  std::atomic<std::uint64_t> Offered_{0};
  std::atomic<std::uint64_t> Refused_{0};
  std::atomic<std::size_t> PeakFill_{0};
};

}  // namespace recmon
