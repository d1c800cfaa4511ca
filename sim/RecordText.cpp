#include "RecordText.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "DateTime.h"

namespace recmon {

namespace {

// The shortest text that reads back as the same double.
std::string Real(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

std::string AudioNote(std::uint32_t bytes, std::string_view meaning = {}) {
  return "  (" + Fixed(static_cast<double>(bytes) / AudioBytesPerSecond, 3) + " s of audio" +
         (meaning.empty() ? "" : "; " + std::string(meaning)) + ")";
}

std::string TimeNote(double value, const TSimClock& clock) {
  const std::string date = DateTimeText(value);
  if (date.empty()) {
    return "";
  }
  const double ago = (clock.Now - value) * SecondsPerDay;
  return "  (" + date + " local, " +
         (ago >= 0 ? Fixed(ago, 1) + " s ago" : "in " + Fixed(-ago, 1) + " s") + ")";
}

}  // namespace

std::string DateTimeText(double value) {
  // Day numbers of 0001-01-01 and 9999-12-31.
  if (!std::isfinite(value) || value < -693593 || value >= 2958466) {
    return "";
  }
  using namespace std::chrono;
  auto day = static_cast<std::int64_t>(std::floor(value));
  auto ms = std::llround((value - static_cast<double>(day)) * MillisecondsPerDay);
  if (ms >= 86400000) {
    ++day;
    ms -= 86400000;
  }
  const year_month_day date{sys_days{days{day - UnixEpochDay}}};
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02lld:%02lld:%02lld.%03lld",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                ms % 1000);
  return text;
}

std::string RecordText(const TRecMonStatusBytes& bytes, const TSimClock& clock) {
  std::uint32_t magic = 0;
  std::memcpy(&magic, bytes.data() + offsetof(TRecMonStatus, Magic), sizeof magic);
  // Decoded with the marker forced, so the fields show whatever it says.
  TRecMonStatusBytes forced = bytes;
  std::memcpy(forced.data() + offsetof(TRecMonStatus, Magic), &RecMonStatusMagic, sizeof magic);
  const TRecMonSnapshot r = *DecodeStatus(forced);

  const std::int32_t used = r.BufferSize - r.BufferFree;
  const auto soundAgo =
      static_cast<std::int32_t>(clock.Tick - r.TheirLastSoundTick);  // wraps like the monitor's

  std::string out = magic == RecMonStatusMagic
                        ? "Status: valid\n"
                        : "Status: not valid (Magic is not " + Hex(RecMonStatusMagic) + ")\n";
  out += "FileName=" + r.FileName + "\n";
  out += "Recording=" + std::to_string(bytes[offsetof(TRecMonStatus, Recording)]) + "\n";
  out += "StartTime=" + Real(r.StartTime) + TimeNote(r.StartTime, clock) + "\n";
  out += "BytesRecorded=" + std::to_string(r.BytesRecorded) + AudioNote(r.BytesRecorded) + "\n";
  out += "LastUpdateTime=" + Real(r.LastUpdateTime) + TimeNote(r.LastUpdateTime, clock) + "\n";
  out += "BufferSize=" + std::to_string(r.BufferSize) + "\n";
  out += "BufferFree=" + std::to_string(r.BufferFree);
  if (r.BufferSize != 0) {
    out += "  (" + Fixed(100.0 * used / r.BufferSize, 1) + " % used)";
  }
  out += "\n";
  out += "BytesDropped=" + std::to_string(r.BytesDropped) + AudioNote(r.BytesDropped) + "\n";
  out += "BytesDropped1=" + std::to_string(r.BytesDropped1) +
         AudioNote(r.BytesDropped1, BytesDropped1Meaning) + "\n";
  out += "BytesDropped2=" + std::to_string(r.BytesDropped2) +
         AudioNote(r.BytesDropped2, BytesDropped2Meaning) + "\n";
  out += "Magic=" + Hex(magic) + "\n";
  out += "MyLevel=" + Real(r.MyLevel) + "\n";
  out += "MyLevelBias=" + Real(r.MyLevelBias) + "\n";
  out += "TheirLevel=" + Real(r.TheirLevel) + "\n";
  out += "TheirLevelBias=" + Real(r.TheirLevelBias) + "\n";
  out += "TheirLastSoundTick=" + std::to_string(r.TheirLastSoundTick) + "  (" +
         std::to_string(soundAgo) + " ms ago)\n";
  out += "TheirRecordMode=" + std::to_string(r.TheirRecordMode) +
         (r.TheirRecordMode == TheirRecordModeRecorded ? "  (recorded)\n" : "  (not recorded)\n");
  return out;
}

}  // namespace recmon
