#include "TickCount.h"

#include <time.h>

namespace recmon {

std::uint32_t RecMonTickCount() {
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000U +
                  static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
  return static_cast<std::uint32_t>(ms);
}

}  // namespace recmon
