#include "Publishing.h"

#include <thread>
#include <utility>

#include "StatusSource.h"

namespace recmon {

TPublishing::TPublishing(TPublishOnce publishOnce, TSkipNotice notice)
    : PublishOnce_(std::move(publishOnce)), Notice_(std::move(notice)) {}

bool TPublishing::Publish(const TRecMonSnapshot& status) {
  const bool written = PublishOnce_(status);
  if (written) {
    ++Published_;
    if (SkipRun_ > 0 && Notice_) {
      Notice_("publishing again after " + std::to_string(SkipRun_) + " skipped");
    }
    SkipRun_ = 0;
  } else {
    ++Skipped_;
    if (SkipRun_++ == 0 && Notice_) {
      Notice_(std::string("skipped a publish: ") + TStatusLockBusy().what() + "; going on");
    }
  }
  return written;
}

bool TPublishing::PublishFinal(const TRecMonSnapshot& status, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!Publish(status)) {
    if (std::chrono::steady_clock::now() + FinalPublishPause > deadline) {
      return false;
    }
    std::this_thread::sleep_for(FinalPublishPause);
  }
  return true;
}

}  // namespace recmon
