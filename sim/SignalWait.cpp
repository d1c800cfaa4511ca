#include "SignalWait.h"

#include <cerrno>
#include <cmath>

namespace recmon {

sigset_t BlockStopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    sigaddset(&signals, sig);
  }
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  return signals;
}

bool WaitUnlessStopped(const sigset_t& signals,
                       std::optional<std::chrono::duration<double>> duration) {
  using Clock = std::chrono::steady_clock;
  if (!duration) {
    while (sigwaitinfo(&signals, nullptr) < 0) {
      // Only an unrelated interruption gets here; keep waiting.
    }
    return false;
  }
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(*duration);
  for (;;) {
    const std::chrono::duration<double> left = deadline - Clock::now();
    if (left.count() <= 0) {
      return true;
    }
    const double whole = std::floor(left.count());
    const timespec timeout{static_cast<time_t>(whole),
                           static_cast<long>((left.count() - whole) * 1e9)};
    if (sigtimedwait(&signals, nullptr, &timeout) >= 0) {
      return false;
    }
    // EAGAIN (time is up) and EINTR both loop back to the deadline check.
  }
}

}  // namespace recmon
