#pragma once

// How every recorder of the package publishes: one record at a time, a
// record that cannot be written now skipped and counted (audio comes first),
// and the last record of a recording, the one that clears Recording, tried
// again until it gets through or a deadline passes.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "RecordingDefs.h"

namespace recmon {

// How long the last record of a recording is tried again while another
// program holds the lock, and the pause between two tries. A monitor's
// self-close depends on seeing Recording cleared; a peer that holds the lock
// for two seconds is stopped, not busy.
inline constexpr std::chrono::milliseconds FinalPublishBound{2000};
inline constexpr std::chrono::milliseconds FinalPublishPause{50};

class TPublishing final {
 public:
  // Writes one record; false when it was not written now (TRecMonWriter's
  // Publish, or a stand-in). What it raises passes through.
  using TPublishOnce = std::function<bool(const TRecMonSnapshot&)>;
  // Hears of a run of skipped publishes twice: when it starts and when
  // publishing gets through again, so a stuck peer does not flood a log.
  using TSkipNotice = std::function<void(const std::string&)>;

  explicit TPublishing(TPublishOnce publishOnce, TSkipNotice notice = {});

  // Publishes once; false when skipped, which is counted and not retried:
  // the next record follows soon with newer figures.
  bool Publish(const TRecMonSnapshot& status);
  // Publishes the last record, trying again every FinalPublishPause until it
  // is written or `bound` has passed; false when it never got through.
  bool PublishFinal(const TRecMonSnapshot& status,
                    std::chrono::milliseconds bound = FinalPublishBound);

  std::uint64_t Published() const { return Published_; }
  std::uint64_t Skipped() const { return Skipped_; }

 private:
  TPublishOnce PublishOnce_;
  TSkipNotice Notice_;
  std::uint64_t Published_ = 0;
  std::uint64_t Skipped_ = 0;
  std::uint64_t SkipRun_ = 0;  // skipped since the last publish that got through
};

}  // namespace recmon
