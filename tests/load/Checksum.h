#pragma once

// Records for the load tests carry a checksum of all their other fields in
// BytesDropped2, so that a read that mixed two writes is caught.

#include <cstdint>
#include <cstring>
#include <string>

#include "RecordingDefs.h"

namespace recmon::load {

class TFnv1a {
 public:
  template <typename T>
  void Add(const T& value) {
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    AddBytes(raw, sizeof(T));
  }
  void AddBytes(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
      hash_ = (hash_ ^ bytes[i]) * 16777619u;
    }
  }
  std::uint32_t Value() const { return hash_; }

 private:
  std::uint32_t hash_ = 2166136261u;
};

// Over the fields a monitor keeps, so a monitor's own state can be checked.
template <typename Fields>
std::uint32_t ChecksumOf(const Fields& f) {
  TFnv1a h;
  h.AddBytes(f.FileName.data(), f.FileName.size());
  h.Add(f.Recording);
  h.Add(f.StartTime);
  h.Add(f.BytesRecorded);
  h.Add(f.LastUpdateTime);
  h.Add(f.BufferSize);
  h.Add(f.BufferFree);
  h.Add(f.BytesDropped);
  h.Add(f.BytesDropped1);
  h.Add(f.MyLevel);
  h.Add(f.MyLevelBias);
  h.Add(f.TheirLevel);
  h.Add(f.TheirLevelBias);
  h.Add(f.TheirLastSoundTick);
  h.Add(f.TheirRecordMode);
  return h.Value();
}

// The n-th record of the fast writer: every field differs from the last.
inline TRecMonSnapshot LoadRecord(std::uint32_t n) {
  TRecMonSnapshot s;
  s.FileName = "/tmp/load/call-" + std::to_string(n) + std::string(n % 300, 'x') + ".wav";
  s.Recording = n % 2 == 0;
  s.StartTime = 46000 + n / 1e6;
  s.BytesRecorded = n * 95232u;
  s.LastUpdateTime = 46001 + n / 1e6;
  s.BufferSize = static_cast<std::int32_t>(n);
  s.BufferFree = -static_cast<std::int32_t>(n);
  s.BytesDropped = n * 3;
  s.BytesDropped1 = n * 5;
  s.MyLevel = n * 0.001;
  s.MyLevelBias = -(n * 0.002);
  s.TheirLevel = n * 0.003;
  s.TheirLevelBias = n * 0.004;
  s.TheirLastSoundTick = n * 7;
  s.TheirRecordMode = static_cast<std::int32_t>(n % 3);
  s.BytesDropped2 = ChecksumOf(s);
  return s;
}

}  // namespace recmon::load
