#include "TimeReadouts.h"

#include "RecordingDefs.h"

namespace recmon {

namespace {

constexpr std::uint64_t kMsPerSecond = 1000;
constexpr std::uint64_t kMsPerMinute = 60 * kMsPerSecond;
constexpr std::uint64_t kMsPerHour = 60 * kMsPerMinute;
constexpr std::uint64_t kMsPerDay = 24 * kMsPerHour;

void AppendTwoDigits(std::string& out, std::uint64_t value) {
  out.push_back(static_cast<char>('0' + value / 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

}  // namespace

std::string FormatDuration(Extended spanDays, std::string_view separator) {
  return FormatMilliseconds(Round64(Mul(spanDays, MillisecondsPerDay)), separator);
}

std::string FormatMilliseconds(std::int64_t ms, std::string_view separator) {
  // Unsigned negation, so that the most negative count has a magnitude too.
  const std::uint64_t magnitude =
      ms < 0 ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
  const std::uint64_t ofDay = magnitude % kMsPerDay;

  std::string text;
  text.reserve(6 + 2 * separator.size());
  AppendTwoDigits(text, ofDay / kMsPerHour);
  text += separator;
  AppendTwoDigits(text, ofDay % kMsPerHour / kMsPerMinute);
  text += separator;
  AppendTwoDigits(text, ofDay % kMsPerMinute / kMsPerSecond);
  return text;
}

Extended AudioSpanDays(std::uint32_t audioBytes) {
  return Div(Div(audioBytes, AudioBytesPerSecond), SecondsPerDay);
}

std::int32_t AudioSeconds(std::uint32_t audioBytes) {
  return Round32(Div(audioBytes, AudioBytesPerSecond));
}

std::string SecondsDroppedText(std::uint32_t dropped, std::uint32_t dropped1,
                               std::uint32_t dropped2) {
  return std::to_string(AudioSeconds(dropped)) + " (" + std::to_string(AudioSeconds(dropped1)) +
         "/" + std::to_string(AudioSeconds(dropped2)) + ")";
}

std::string SecondsBehindText(double now, double startTime, double lastUpdateTime,
                              std::uint32_t bytesRecorded) {
  const std::int32_t inFile = AudioSeconds(bytesRecorded);
  const std::int32_t sinceUpdate = Round32(Mul(Sub(now, lastUpdateTime), SecondsPerDay));
  const std::int32_t covered = Round32(Mul(Sub(lastUpdateTime, startTime), SecondsPerDay));
  std::int32_t behind = WrapSub(WrapAdd(covered, sinceUpdate), inFile);
  if (behind < 0) {
    behind = 0;
  }
  return std::to_string(behind) + " (" + std::to_string(WrapSub(covered, inFile)) + "/" +
         std::to_string(sinceUpdate) + ")";
}

}  // namespace recmon
