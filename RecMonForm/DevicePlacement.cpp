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

}  // namespace recmon
