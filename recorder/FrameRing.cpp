#include "FrameRing.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <stdexcept>
#include <vector>

namespace recmon {

namespace {

// Pages are handed back in runs of at least this many bytes, so that the
// writer makes a system call a few times a second, not at every take.
constexpr std::size_t kReleaseBytes = 64 * 1024;
// Rings smaller than this keep their pages: there is little to give back.
constexpr std::size_t kSmallestPagedRing = 4 * kReleaseBytes;

std::size_t PageSize() {
  static const auto size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

}  // namespace

TFrameRing::TFrameRing(std::size_t capacityFrames) : Capacity_(capacityFrames) {
  if (capacityFrames == 0) {
    throw std::invalid_argument("a frame buffer needs room for at least one frame");
  }
  const std::size_t page = PageSize();
  const std::size_t perPage = page / sizeof(TStereoFrame);
  // Pages can be handed back only when every page holds whole frames and
  // starts at the same slot on every lap: a large ring is made a whole
  // number of pages long.
  const bool paged = page % sizeof(TStereoFrame) == 0 &&
                     capacityFrames * sizeof(TStereoFrame) >= kSmallestPagedRing;
  if (paged) {
    Capacity_ = (capacityFrames + perPage - 1) / perPage * perPage;
  }
  FramesPerPage_ = paged ? perPage : 0;
  MappedBytes_ = (Capacity_ * sizeof(TStereoFrame) + page - 1) / page * page;
  // Anonymous pages read as zero and take memory only once written to.
  void* memory = ::mmap(nullptr, MappedBytes_, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (memory == MAP_FAILED) {
    throw std::bad_alloc();
  }
  // Frames are an implicit-lifetime aggregate: the mapping holds them as it is.
  Slots_ = static_cast<TStereoFrame*>(memory);
}

TFrameRing::~TFrameRing() {
  ::munmap(Slots_, MappedBytes_);
}

std::size_t TFrameRing::Offer(std::span<const TStereoFrame> frames) {
  const std::uint64_t head = Head_.load(std::memory_order_relaxed);
  // Acquire: the consumer's reads of the slots it freed happen before we reuse them.
  const std::uint64_t tail = Tail_.load(std::memory_order_acquire);
  const std::size_t fill = static_cast<std::size_t>(head - tail);
  const std::size_t stored = std::min(frames.size(), Capacity_ - fill);
  const std::size_t at = static_cast<std::size_t>(head % Capacity_);
  const std::size_t first = std::min(stored, Capacity_ - at);
  std::copy_n(frames.begin(), first, Slots_ + at);
  std::copy_n(frames.begin() + static_cast<std::ptrdiff_t>(first), stored - first, Slots_);
  // Release: the frames are in their slots before the consumer can see them.
  Head_.store(head + stored, std::memory_order_release);
  Offered_.fetch_add(frames.size(), std::memory_order_relaxed);
  Refused_.fetch_add(frames.size() - stored, std::memory_order_relaxed);
  // The fill as the consumer sees it, without the slots it has not handed back yet.
  const std::size_t waiting =
      static_cast<std::size_t>(head + stored - Taken_.load(std::memory_order_relaxed));
  if (waiting > PeakFill_.load(std::memory_order_relaxed)) {
    PeakFill_.store(waiting, std::memory_order_relaxed);
  }
  return stored;
}

std::size_t TFrameRing::Take(std::span<TStereoFrame> out) {
  const std::uint64_t taken0 = Taken_.load(std::memory_order_relaxed);
  const std::uint64_t head = Head_.load(std::memory_order_acquire);
  const std::size_t taken = std::min(out.size(), static_cast<std::size_t>(head - taken0));
  const std::size_t at = static_cast<std::size_t>(taken0 % Capacity_);
  const std::size_t first = std::min(taken, Capacity_ - at);
  std::copy_n(Slots_ + at, first, out.begin());
  std::copy_n(Slots_, taken - first, out.begin() + static_cast<std::ptrdiff_t>(first));
  const std::uint64_t now = taken0 + taken;
  Taken_.store(now, std::memory_order_release);
  if (FramesPerPage_ == 0) {
    Tail_.store(now, std::memory_order_release);
    return taken;
  }
  const std::uint64_t tail = Tail_.load(std::memory_order_relaxed);
  const std::uint64_t boundary = now / FramesPerPage_ * FramesPerPage_;
  if ((boundary - tail) * sizeof(TStereoFrame) >= kReleaseBytes) {
    // Before the slots are given to the producer: until then it cannot write
    // to them, so no frame of its can be dropped with the pages.
    Release(tail, boundary);
    Tail_.store(boundary, std::memory_order_release);
  }
  return taken;
}

void TFrameRing::Release(std::uint64_t fromFrame, std::uint64_t toFrame) {
  // Both ends lie on page boundaries; a stretch may wrap round the end.
  const std::size_t from = static_cast<std::size_t>(fromFrame % Capacity_);
  const std::size_t count = static_cast<std::size_t>(toFrame - fromFrame);
  const std::size_t firstPart = std::min(count, Capacity_ - from);
  ::madvise(Slots_ + from, firstPart * sizeof(TStereoFrame), MADV_DONTNEED);
  if (count > firstPart) {
    ::madvise(Slots_, (count - firstPart) * sizeof(TStereoFrame), MADV_DONTNEED);
  }
}

std::size_t TFrameRing::ResidentBytes() const {
  const std::size_t page = PageSize();
  std::vector<unsigned char> resident(MappedBytes_ / page);
  if (::mincore(Slots_, MappedBytes_, resident.data()) != 0) {
    return MappedBytes_;
  }
  std::size_t pages = 0;
  for (const unsigned char r : resident) {
    pages += r & 1U;
  }
  return pages * page;
}

std::size_t TFrameRing::Fill() const {
  const std::uint64_t taken = Taken_.load(std::memory_order_acquire);
  const std::uint64_t head = Head_.load(std::memory_order_acquire);
  // Read from a third thread, the two may be from slightly different moments.
  return std::min(static_cast<std::size_t>(head - taken), Capacity_);
}

}  // namespace recmon
