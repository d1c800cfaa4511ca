#include "DevicePlacement.h"

#include <cmath>
#include <cstdint>

namespace recmon {

int DeviceEdge(int logical, const TAxisSpan& span) {
  if (span.LogicalLength <= 0) {
    return span.DeviceStart;
  }
  const double scaled =
      static_cast<double>(logical - span.LogicalStart) * span.DeviceLength / span.LogicalLength;
  return span.DeviceStart + static_cast<int>(std::lround(scaled));
}

int DeviceClientStart(int outerEnd, const TAxisSpan& span, int frameAfter, int clientLength) {
  return DeviceEdge(outerEnd, span) - frameAfter - clientLength;
}

int LogicalEdge(int device, int origin, double ratio) {
  if (ratio <= 0) {
    return device;
  }
  return origin + static_cast<int>(std::lround(static_cast<double>(device - origin) / ratio));
}

}  // namespace recmon
