#include "FieldValues.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <set>
#include <string_view>

#include "DateTime.h"

namespace recmon {

namespace {

template <typename T>
T ParseInteger(std::string_view text) {
  const bool hex = text.starts_with("0x") || text.starts_with("0X");
  const std::string_view digits = hex ? text.substr(2) : text;
  std::int64_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, value, hex ? 16 : 10);
  if (digits.empty() || ec != std::errc() || ptr != end || (hex && value < 0)) {
    throw TUsageError("not a whole number");
  }
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
    throw TUsageError("out of range " + std::to_string(std::numeric_limits<T>::min()) + " to " +
                      std::to_string(std::numeric_limits<T>::max()));
  }
  return static_cast<T>(value);
}

double ParseReal(std::string_view text) {
  if (text.starts_with("+")) {
    text.remove_prefix(1);
  }
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) {
    throw TUsageError("not a number");
  }
  return value;
}

struct TUnit {
  std::string_view Suffix;
  double Seconds;
};
// "ms" before "s", so the longer suffix wins.
constexpr std::array<TUnit, 5> kUnits{
    {{"ms", 0.001}, {"s", 1}, {"m", 60}, {"h", 3600}, {"d", 86400}}};

// "+95s", "-1.5m", ...: a signed offset with a unit, in seconds; nothing when
// the text has no sign and unit.
std::optional<double> ParseOffset(std::string_view text) {
  if (!text.starts_with("+") && !text.starts_with("-")) {
    return std::nullopt;
  }
  for (const TUnit& unit : kUnits) {
    if (text.ends_with(unit.Suffix)) {
      const double amount = ParseReal(text.substr(0, text.size() - unit.Suffix.size()));
      if (!std::isfinite(amount)) {
        break;
      }
      return amount * unit.Seconds;
    }
  }
  throw TUsageError("an offset needs a finite number and a unit (ms, s, m, h or d)");
}

// "now", "now-95s" or "-95s" as seconds from now; nothing for other text.
std::optional<double> ParseRelative(std::string_view text) {
  if (text == "now") {
    return 0.0;
  }
  if (text.starts_with("now")) {
    const auto offset = ParseOffset(text.substr(3));
    if (!offset) {
      throw TUsageError("expected now, now+N<unit> or now-N<unit>");
    }
    return offset;
  }
  return ParseOffset(text);
}

double ParseTime(std::string_view text, const TSimClock& clock) {
  if (const auto offset = ParseRelative(text)) {
    return clock.Now + DaysFromSeconds(*offset);
  }
  return ParseReal(text);
}

std::uint32_t ParseTick(std::string_view text, const TSimClock& clock) {
  if (const auto offset = ParseRelative(text)) {
    const double ms = std::round(*offset * 1000);
    if (std::abs(ms) >= 2147483648.0) {
      throw TUsageError("an offset of the tick counter must stay within 24 days");
    }
    // The counter wraps, so the offset is applied modulo 2^32.
    return clock.Tick + static_cast<std::uint32_t>(static_cast<std::int64_t>(ms));
  }
  return ParseInteger<std::uint32_t>(text);
}

std::uint32_t ParseBytes(std::string_view text) {
  if (text.ends_with("s")) {
    const double bytes =
        std::round(ParseReal(text.substr(0, text.size() - 1)) * AudioBytesPerSecond);
    if (!(bytes >= 0 && bytes <= std::numeric_limits<std::uint32_t>::max())) {
      throw TUsageError("seconds of audio out of range");
    }
    return static_cast<std::uint32_t>(bytes);
  }
  return ParseInteger<std::uint32_t>(text);
}

bool ParseFlag(std::string_view text) {
  for (const std::string_view on : {"1", "true", "yes", "on"}) {
    if (text == on) {
      return true;
    }
  }
  for (const std::string_view off : {"0", "false", "no", "off"}) {
    if (text == off) {
      return false;
    }
  }
  return ParseInteger<std::uint8_t>(text) != 0;
}

std::string ParseFileName(std::string_view text) {
  if (text.size() > RecMonFileNameSize) {
    throw TUsageError(std::to_string(text.size()) + " bytes; at most 512 fit");
  }
  return std::string(text);
}

using TSetter = void (*)(TRecMonSnapshot&, std::string_view, const TSimClock&);

struct TField {
  std::string_view Name;
  TSetter Set;
};

// In record order.
const std::array<TField, 17> kFields{{
    {"FileName", [](TRecMonSnapshot& r, std::string_view v,
                    const TSimClock&) { r.FileName = ParseFileName(v); }},
    {"Recording",
     [](TRecMonSnapshot& r, std::string_view v, const TSimClock&) { r.Recording = ParseFlag(v); }},
    {"StartTime", [](TRecMonSnapshot& r, std::string_view v,
                     const TSimClock& c) { r.StartTime = ParseTime(v, c); }},
    {"BytesRecorded", [](TRecMonSnapshot& r, std::string_view v,
                         const TSimClock&) { r.BytesRecorded = ParseBytes(v); }},
    {"LastUpdateTime", [](TRecMonSnapshot& r, std::string_view v,
                          const TSimClock& c) { r.LastUpdateTime = ParseTime(v, c); }},
    {"BufferSize", [](TRecMonSnapshot& r, std::string_view v,
                      const TSimClock&) { r.BufferSize = ParseInteger<std::int32_t>(v); }},
    {"BufferFree", [](TRecMonSnapshot& r, std::string_view v,
                      const TSimClock&) { r.BufferFree = ParseInteger<std::int32_t>(v); }},
    {"BytesDropped", [](TRecMonSnapshot& r, std::string_view v,
                        const TSimClock&) { r.BytesDropped = ParseBytes(v); }},
    {"BytesDropped1", [](TRecMonSnapshot& r, std::string_view v,
                         const TSimClock&) { r.BytesDropped1 = ParseBytes(v); }},
    {"BytesDropped2", [](TRecMonSnapshot& r, std::string_view v,
                         const TSimClock&) { r.BytesDropped2 = ParseBytes(v); }},
    {"Magic", [](TRecMonSnapshot& r, std::string_view v,
                 const TSimClock&) { r.Magic = ParseInteger<std::uint32_t>(v); }},
    {"MyLevel",
     [](TRecMonSnapshot& r, std::string_view v, const TSimClock&) { r.MyLevel = ParseReal(v); }},
    {"MyLevelBias", [](TRecMonSnapshot& r, std::string_view v,
                       const TSimClock&) { r.MyLevelBias = ParseReal(v); }},
    {"TheirLevel",
     [](TRecMonSnapshot& r, std::string_view v, const TSimClock&) { r.TheirLevel = ParseReal(v); }},
    {"TheirLevelBias", [](TRecMonSnapshot& r, std::string_view v,
                          const TSimClock&) { r.TheirLevelBias = ParseReal(v); }},
    {"TheirLastSoundTick", [](TRecMonSnapshot& r, std::string_view v,
                              const TSimClock& c) { r.TheirLastSoundTick = ParseTick(v, c); }},
    {"TheirRecordMode",
     [](TRecMonSnapshot& r, std::string_view v, const TSimClock&) {
       r.TheirRecordMode = ParseInteger<std::int32_t>(v);
     }},
}};

const TField& FindField(const std::string& name) {
  std::string known;
  for (const TField& field : kFields) {
    if (field.Name == name) {
      return field;
    }
    known += known.empty() ? "" : ", ";
    known += field.Name;
  }
  throw TUsageError("unknown field '" + name + "'; the fields are " + known);
}

}  // namespace

TRecMonSnapshot BuildRecord(const std::vector<TAssignment>& assignments, bool noMagic,
                            const TSimClock& clock) {
  TRecMonSnapshot record;
  record.Magic = noMagic ? 0 : RecMonStatusMagic;
  std::set<std::string> seen;
  for (const TAssignment& a : assignments) {
    const TField& field = FindField(a.Field);
    if (!seen.insert(a.Field).second) {
      throw TUsageError(a.Field + " is given twice");
    }
    if (noMagic && a.Field == "Magic") {
      throw TUsageError("--no-magic and Magic=... contradict each other");
    }
    try {
      field.Set(record, a.Value, clock);
    } catch (const TUsageError& e) {
      throw TUsageError("bad value in " + a.Field + "=" + a.Value + ": " + e.what());
    }
  }
  return record;
}

}  // namespace recmon
