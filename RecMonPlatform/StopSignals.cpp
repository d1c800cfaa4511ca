#include "StopSignals.h"

#include <pthread.h>

#include <cerrno>
#include <cmath>

namespace recmon {

sigset_t BlockStopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    sigaddset(&signals, sig);
  }
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  return signals;
}

bool StopSignalledBefore(const sigset_t& signals, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const std::chrono::duration<double> left = deadline - std::chrono::steady_clock::now();
    if (left.count() <= 0) {
      return false;
    }
    const double whole = std::floor(left.count());
    const timespec timeout{static_cast<time_t>(whole),
                           static_cast<long>((left.count() - whole) * 1e9)};
    if (::sigtimedwait(&signals, nullptr, &timeout) >= 0) {
      return true;
    }
    // EAGAIN (time is up) and EINTR both loop back to the deadline check.
  }
}

bool WaitUnlessStopped(const sigset_t& signals,
                       std::optional<std::chrono::duration<double>> duration) {
  if (!duration) {
    while (::sigwaitinfo(&signals, nullptr) < 0) {
      // Only an unrelated interruption gets here; keep waiting.
    }
    return false;
  }
  return !StopSignalledBefore(
      signals, std::chrono::steady_clock::now() +
                   std::chrono::duration_cast<std::chrono::steady_clock::duration>(*duration));
}

}  // namespace recmon
