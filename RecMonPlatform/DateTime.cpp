#include "DateTime.h"

#include <ctime>

namespace recmon {

double DateTimeFromSystemTime(std::chrono::system_clock::time_point t) {
  using namespace std::chrono;
  const auto utcMs = duration_cast<milliseconds>(t.time_since_epoch()).count();
  // Floor division keeps instants before 1970 on the right second.
  std::time_t utcSeconds = static_cast<std::time_t>(utcMs / 1000 - (utcMs % 1000 < 0 ? 1 : 0));
  const std::int64_t msOfSecond = utcMs - static_cast<std::int64_t>(utcSeconds) * 1000;

  std::tm local{};
  localtime_r(&utcSeconds, &local);
  const std::int64_t localMs =
      (static_cast<std::int64_t>(utcSeconds) + local.tm_gmtoff) * 1000 + msOfSecond;

  std::int64_t days = localMs / 86400000;
  std::int64_t msOfDay = localMs % 86400000;
  if (msOfDay < 0) {
    msOfDay += 86400000;
    days -= 1;
  }
  // Whole days plus the fraction, as a date and a time of day are combined.
  return static_cast<double>(days + UnixEpochDay) +
         static_cast<double>(msOfDay) / MillisecondsPerDay;
}

double LocalNow() {
  return DateTimeFromSystemTime(std::chrono::system_clock::now());
}

}  // namespace recmon
