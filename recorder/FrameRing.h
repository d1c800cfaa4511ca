#pragma once

// The bounded buffer between capture and the writer thread: one producer (the
// sound server's callback thread) and one consumer (the writer). Neither side
// ever waits for the other; frames that do not fit are refused and counted,
// so capture never waits for the disk.
//
// It is sized for a long hold-up (see kBufferFrames) yet costs memory only
// for what it holds: its storage is mapped on demand, and the consumer hands
// back to the system every page it has emptied.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "CaptureFormat.h"

namespace recmon {

class TFrameRing final {
 public:
  // Room for at least `capacityFrames` (a large ring is rounded up to whole pages).
  explicit TFrameRing(std::size_t capacityFrames);
  ~TFrameRing();
  TFrameRing(const TFrameRing&) = delete;
  TFrameRing& operator=(const TFrameRing&) = delete;

  // Producer: stores as many leading frames as fit and refuses the rest.
  // Returns how many were stored.
  std::size_t Offer(std::span<const TStereoFrame> frames);
  // Consumer: moves up to out.size() of the oldest frames out; returns how many.
  std::size_t Take(std::span<TStereoFrame> out);

  std::size_t Capacity() const { return Capacity_; }
  // Frames waiting; exact on either side's thread, a recent value elsewhere.
  std::size_t Fill() const;
  // The largest fill seen right after an offer.
  std::size_t PeakFill() const { return PeakFill_.load(std::memory_order_relaxed); }
  // Every frame offered, and those refused because the buffer was full.
  // Offered = taken + refused + Fill().
  std::uint64_t Offered() const { return Offered_.load(std::memory_order_relaxed); }
  std::uint64_t Refused() const { return Refused_.load(std::memory_order_relaxed); }
  // Bytes of the buffer held in memory now.
  std::size_t ResidentBytes() const;

 private:
  void Release(std::uint64_t fromFrame, std::uint64_t toFrame);

  std::size_t Capacity_;
  std::size_t MappedBytes_;
  std::size_t FramesPerPage_;  // 0 when the ring is too small to hand pages back
  TStereoFrame* Slots_;
  std::atomic<std::uint64_t> Head_{0};   // frames stored so far; written by the producer
  std::atomic<std::uint64_t> Taken_{0};  // frames taken so far; written by the consumer
  // Frames whose slots the producer may reuse; written by the consumer. It
  // trails Taken_ by less than a run of pages, and only pages below it have
  // been handed back, so the producer never writes to a page being dropped.
  std::atomic<std::uint64_t> Tail_{0};
  std::atomic<std::uint64_t> Offered_{0};
  std::atomic<std::uint64_t> Refused_{0};
  std::atomic<std::size_t> PeakFill_{0};
};

}  // namespace recmon
