#pragma once

// How the fuzzer's bytes are read: one status record, then the clock, the
// tick counter, a file size and the window's flags for a few refreshes. Short
// input is padded with zeros, so every input is usable.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "RecordingDefs.h"

namespace recmon::fuzz {

struct TRefreshInput {
  double Clock = 0;
  std::uint32_t Ticks = 0;
  std::int64_t FileSize = -1;  // negative: the file is not there
  std::uint8_t Flags = 0;      // bit 0 expand, bit 1 pin, bit 2 move the window, bit 3 click File;
                               // bit 4 of the first: the window opened 20 s earlier;
                               // bits 5-6 the writer presence (below), bit 7 its beat moves
};

// Bits 5 and 6 of the flags: what the source says of the record's writer.
inline constexpr std::uint8_t PresenceHeldBit = 32;
inline constexpr std::uint8_t PresenceGoneBit = 64;  // both bits: held
inline constexpr std::uint8_t BeatMovesBit = 128;

inline constexpr int RefreshesPerInput = 3;
inline constexpr std::size_t RefreshInputSize = 8 + 4 + 8 + 1;
inline constexpr std::size_t FuzzInputSize =
    RecMonStatusSize + RefreshesPerInput * RefreshInputSize;

class TFuzzReader {
 public:
  explicit TFuzzReader(std::span<const std::uint8_t> data) : data_(data) {}

  template <typename T>
  T Take() {
    T value{};
    std::uint8_t raw[sizeof(T)] = {};
    for (std::size_t i = 0; i < sizeof(T) && pos_ < data_.size(); ++i) {
      raw[i] = data_[pos_++];
    }
    std::memcpy(&value, raw, sizeof(T));
    return value;
  }

  TRecMonStatusBytes TakeRecord() {
    TRecMonStatusBytes record{};
    for (auto& b : record) {
      b = Take<std::uint8_t>();
    }
    return record;
  }

  TRefreshInput TakeRefresh() {
    TRefreshInput r;
    r.Clock = Take<double>();
    r.Ticks = Take<std::uint32_t>();
    r.FileSize = Take<std::int64_t>();
    r.Flags = Take<std::uint8_t>();
    return r;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

}  // namespace recmon::fuzz
