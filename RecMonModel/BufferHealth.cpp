#include "BufferHealth.h"

#include "ExtendedArith.h"

namespace recmon {

std::optional<std::int32_t> BufferPercentOf(std::int32_t bufferSize, std::int32_t bufferFree) {
  if (bufferSize == 0) {
    return std::nullopt;
  }
  const std::int32_t used = WrapSub(bufferSize, bufferFree);
  // Division first, then the scaling: the order decides results at halves.
  return Round32(Mul(Div(used, bufferSize), 100));
}

std::string_view HealthText(std::int32_t bufferPercent) {
  if (bufferPercent < FairFromPercent) {
    return "Good";
  }
  return bufferPercent < PoorFromPercent ? "Fair" : "Poor";
}

TColor HealthColor(std::int32_t bufferPercent) {
  if (bufferPercent < FairFromPercent) {
    return GoodColor;
  }
  return bufferPercent < PoorFromPercent ? FairColor : PoorColor;
}

std::string HealthHint(std::int32_t bufferPercent) {
  if (bufferPercent < FairFromPercent) {
    return {};
  }
  const std::string lead = "Recording buffer is " + std::to_string(bufferPercent) + "% full.";
  if (bufferPercent < PoorFromPercent) {
    return lead + " If the buffer fills, some audio data may be lost.";
  }
  return lead + "  Close other apps to improve recording health.";
}

std::string NoUpdateHint(std::int64_t seconds) {
  return "Recording may have stopped: no update from the recorder for " + std::to_string(seconds) +
         " s.";
}

}  // namespace recmon
