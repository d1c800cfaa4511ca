#include "LevelMeters.h"

#include <cmath>

#include "ExtendedArith.h"
#include "RecordingDefs.h"

namespace recmon {

std::int32_t MeterBarHeight(std::int32_t fullHeight, double level, double bias) {
  const double net = StoreAsDouble(Sub(level, std::fabs(bias)));
  // The doubling wraps before the clamp, as the 32-bit value it is.
  const std::int32_t bar = WrapDouble(Round32(Mul(fullHeight, net)));
  if (bar > fullHeight) {
    return fullHeight;
  }
  return bar < 0 ? 0 : bar;
}

std::string TheirMeterHint(std::int32_t recordMode, std::uint32_t tickNow,
                           std::uint32_t lastSoundTick) {
  std::string hint(TheirMeterHintBase);
  if (recordMode != TheirRecordModeRecorded) {
    hint += NotRecordedSuffix;
  } else if (static_cast<std::int32_t>(tickNow - lastSoundTick) > SilenceAfterMs) {
    hint += NoRecentSoundSuffix;
  }
  return hint;
}

}  // namespace recmon
