#pragma once

// The 608-byte status record that a recorder publishes and the monitor reads.
// The layout binds both sides byte for byte; the monitor never writes it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace recmon {

inline constexpr std::size_t RecMonStatusSize = 608;
inline constexpr std::uint32_t RecMonStatusMagic = 0x004ED9FE;
inline constexpr std::uint32_t AudioBytesPerSecond = 95232;
inline constexpr std::int32_t TheirRecordModeRecorded = 2;
// What this package's recorders write when the other parties are not recorded
// (any value but TheirRecordModeRecorded means that to the monitor).
inline constexpr std::int32_t TheirRecordModeNotRecorded = 1;

inline constexpr std::size_t RecMonFileNameSize = 512;

// The record's date-time value: a double counting days since 1899-12-30 00:00
// local time, the time of day as the fraction.
inline constexpr double SecondsPerDay = 86400;
inline constexpr double MillisecondsPerDay = 86400000;
// Days from 1899-12-30 to 1970-01-01.
inline constexpr std::int64_t UnixEpochDay = 25569;

// A span of seconds as a date-time difference.
constexpr double DaysFromSeconds(double seconds) {
  return seconds / SecondsPerDay;
}

// The raw record as it lies in shared memory (little-endian). Never read it
// through a cast of shared bytes: copy with DecodeStatus, which uses memcpy.
struct TRecMonStatus {
  char FileName[RecMonFileNameSize];  // NUL-terminated unless all 512 bytes are text
  std::uint8_t Recording;             // 0 = off, anything else = on
  std::uint8_t Reserved1[7];
  double StartTime;  // date-time: days since 1899-12-30 local time
  std::uint32_t BytesRecorded;
  std::uint32_t Reserved2;
  double LastUpdateTime;  // date-time to which BytesRecorded refers
  std::int32_t BufferSize;
  std::int32_t BufferFree;
  std::uint32_t BytesDropped;
  std::uint32_t BytesDropped1;
  std::uint32_t BytesDropped2;
  std::uint32_t Magic;  // the record is meaningful only when this is RecMonStatusMagic
  double MyLevel;
  double MyLevelBias;
  double TheirLevel;
  double TheirLevelBias;
  std::uint32_t TheirLastSoundTick;  // tick counter (ms since boot, low 32 bits)
  std::int32_t TheirRecordMode;      // TheirRecordModeRecorded = the other parties are recorded
};

static_assert(sizeof(TRecMonStatus) == RecMonStatusSize);
static_assert(offsetof(TRecMonStatus, FileName) == 0);
static_assert(offsetof(TRecMonStatus, Recording) == 512);
static_assert(offsetof(TRecMonStatus, StartTime) == 520);
static_assert(offsetof(TRecMonStatus, BytesRecorded) == 528);
static_assert(offsetof(TRecMonStatus, LastUpdateTime) == 536);
static_assert(offsetof(TRecMonStatus, BufferSize) == 544);
static_assert(offsetof(TRecMonStatus, BufferFree) == 548);
static_assert(offsetof(TRecMonStatus, BytesDropped) == 552);
static_assert(offsetof(TRecMonStatus, BytesDropped1) == 556);
static_assert(offsetof(TRecMonStatus, BytesDropped2) == 560);
static_assert(offsetof(TRecMonStatus, Magic) == 564);
static_assert(offsetof(TRecMonStatus, MyLevel) == 568);
static_assert(offsetof(TRecMonStatus, MyLevelBias) == 576);
static_assert(offsetof(TRecMonStatus, TheirLevel) == 584);
static_assert(offsetof(TRecMonStatus, TheirLevelBias) == 592);
static_assert(offsetof(TRecMonStatus, TheirLastSoundTick) == 600);
static_assert(offsetof(TRecMonStatus, TheirRecordMode) == 604);

using TRecMonStatusBytes = std::array<std::uint8_t, RecMonStatusSize>;

// The fields of a record in usable form: FileName already cut at its first NUL.
struct TRecMonSnapshot {
  std::string FileName;
  bool Recording = false;
  double StartTime = 0;
  std::uint32_t BytesRecorded = 0;
  double LastUpdateTime = 0;
  std::int32_t BufferSize = 0;
  std::int32_t BufferFree = 0;
  std::uint32_t BytesDropped = 0;
  std::uint32_t BytesDropped1 = 0;
  std::uint32_t BytesDropped2 = 0;
  std::uint32_t Magic = RecMonStatusMagic;
  double MyLevel = 0;
  double MyLevelBias = 0;
  double TheirLevel = 0;
  double TheirLevelBias = 0;
  std::uint32_t TheirLastSoundTick = 0;
  std::int32_t TheirRecordMode = 0;

  bool operator==(const TRecMonSnapshot&) const = default;
};

// The two parts of BytesDropped. The monitor only shows them beside the total,
// "total (1/2)"; every recorder of this package gives them these meanings,
// and docs/protocol.md asks other recorders to do the same:
//   BytesDropped1: audio captured but refused because the recorder's buffer
//                  was full, i.e. writing fell behind (a slow or stalled disk);
//   BytesDropped2: audio lost at the sound server: never delivered, or
//                  delivered out of time and discarded.
inline constexpr std::string_view BytesDropped1Meaning = "buffer full: writing fell behind";
inline constexpr std::string_view BytesDropped2Meaning = "lost at the sound server";

// Sets the two parts from their causes and BytesDropped to their sum (which
// wraps at 32 bits like the record's other counters).
void SetDropped(TRecMonSnapshot& status, std::uint32_t bufferFull, std::uint32_t lostAtServer);

// Raised for input that is not a whole record.
class TRecMonStatusSizeError : public std::invalid_argument {
 public:
  explicit TRecMonStatusSizeError(std::size_t size);
};

// Decodes a copy of the shared record. The marker is checked first; a record
// whose marker does not match yields nothing, so callers keep what they had.
// Input of any length other than 608 bytes raises TRecMonStatusSizeError.
std::optional<TRecMonSnapshot> DecodeStatus(std::span<const std::uint8_t> bytes);

// Writer side, for recorders and tests: lays the fields out as the record.
// Reserved bytes are zero. A FileName of 512 bytes fills the field with no NUL;
// a longer one, or one holding a NUL, raises std::invalid_argument.
TRecMonStatusBytes EncodeStatus(const TRecMonSnapshot& status);

}  // namespace recmon
