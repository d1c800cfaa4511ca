#include "RecordingDefs.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace recmon {

static_assert(std::endian::native == std::endian::little,
              "the record is little-endian and is copied without byte swapping");

namespace {

template <typename T>
T ReadField(std::span<const std::uint8_t> bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

template <typename T>
void WriteField(TRecMonStatusBytes& bytes, std::size_t offset, T value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

}  // namespace

void SetDropped(TRecMonSnapshot& status, std::uint32_t bufferFull, std::uint32_t lostAtServer) {
  status.BytesDropped1 = bufferFull;
  status.BytesDropped2 = lostAtServer;
  status.BytesDropped = bufferFull + lostAtServer;
}

TRecMonStatusSizeError::TRecMonStatusSizeError(std::size_t size)
    : std::invalid_argument("status record must be exactly " + std::to_string(RecMonStatusSize) +
                            " bytes, got " + std::to_string(size)) {}

std::optional<TRecMonSnapshot> DecodeStatus(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != RecMonStatusSize) {
    throw TRecMonStatusSizeError(bytes.size());
  }
  if (ReadField<std::uint32_t>(bytes, offsetof(TRecMonStatus, Magic)) != RecMonStatusMagic) {
    return std::nullopt;
  }

  TRecMonSnapshot s;
  const auto* name = reinterpret_cast<const char*>(bytes.data());
  s.FileName.assign(name, std::find(name, name + RecMonFileNameSize, '\0'));
  s.Recording = ReadField<std::uint8_t>(bytes, offsetof(TRecMonStatus, Recording)) != 0;
  s.StartTime = ReadField<double>(bytes, offsetof(TRecMonStatus, StartTime));
  s.BytesRecorded = ReadField<std::uint32_t>(bytes, offsetof(TRecMonStatus, BytesRecorded));
  s.LastUpdateTime = ReadField<double>(bytes, offsetof(TRecMonStatus, LastUpdateTime));
  s.BufferSize = ReadField<std::int32_t>(bytes, offsetof(TRecMonStatus, BufferSize));
  s.BufferFree = ReadField<std::int32_t>(bytes, offsetof(TRecMonStatus, BufferFree));
  s.BytesDropped = ReadField<std::uint32_t>(bytes, offsetof(TRecMonStatus, BytesDropped));
  s.BytesDropped1 = ReadField<std::uint32_t>(bytes, offsetof(TRecMonStatus, BytesDropped1));
  s.BytesDropped2 = ReadField<std::uint32_t>(bytes, offsetof(TRecMonStatus, BytesDropped2));
  s.Magic = RecMonStatusMagic;
  s.MyLevel = ReadField<double>(bytes, offsetof(TRecMonStatus, MyLevel));
  s.MyLevelBias = ReadField<double>(bytes, offsetof(TRecMonStatus, MyLevelBias));
  s.TheirLevel = ReadField<double>(bytes, offsetof(TRecMonStatus, TheirLevel));
  s.TheirLevelBias = ReadField<double>(bytes, offsetof(TRecMonStatus, TheirLevelBias));
  s.TheirLastSoundTick =
      ReadField<std::uint32_t>(bytes, offsetof(TRecMonStatus, TheirLastSoundTick));
  s.TheirRecordMode = ReadField<std::int32_t>(bytes, offsetof(TRecMonStatus, TheirRecordMode));
  return s;
}

TRecMonStatusBytes EncodeStatus(const TRecMonSnapshot& s) {
  if (s.FileName.size() > RecMonFileNameSize) {
    throw std::invalid_argument("file name longer than " + std::to_string(RecMonFileNameSize) +
                                " bytes");
  }
  if (s.FileName.find('\0') != std::string::npos) {
    throw std::invalid_argument("file name holds a NUL byte");
  }
  TRecMonStatusBytes bytes{};
  std::memcpy(bytes.data(), s.FileName.data(), s.FileName.size());
  WriteField<std::uint8_t>(bytes, offsetof(TRecMonStatus, Recording), s.Recording ? 1 : 0);
  WriteField(bytes, offsetof(TRecMonStatus, StartTime), s.StartTime);
  WriteField(bytes, offsetof(TRecMonStatus, BytesRecorded), s.BytesRecorded);
  WriteField(bytes, offsetof(TRecMonStatus, LastUpdateTime), s.LastUpdateTime);
  WriteField(bytes, offsetof(TRecMonStatus, BufferSize), s.BufferSize);
  WriteField(bytes, offsetof(TRecMonStatus, BufferFree), s.BufferFree);
  WriteField(bytes, offsetof(TRecMonStatus, BytesDropped), s.BytesDropped);
  WriteField(bytes, offsetof(TRecMonStatus, BytesDropped1), s.BytesDropped1);
  WriteField(bytes, offsetof(TRecMonStatus, BytesDropped2), s.BytesDropped2);
  WriteField(bytes, offsetof(TRecMonStatus, Magic), s.Magic);
  WriteField(bytes, offsetof(TRecMonStatus, MyLevel), s.MyLevel);
  WriteField(bytes, offsetof(TRecMonStatus, MyLevelBias), s.MyLevelBias);
  WriteField(bytes, offsetof(TRecMonStatus, TheirLevel), s.TheirLevel);
  WriteField(bytes, offsetof(TRecMonStatus, TheirLevelBias), s.TheirLevelBias);
  WriteField(bytes, offsetof(TRecMonStatus, TheirLastSoundTick), s.TheirLastSoundTick);
  WriteField(bytes, offsetof(TRecMonStatus, TheirRecordMode), s.TheirRecordMode);
  return bytes;
}

}  // namespace recmon
