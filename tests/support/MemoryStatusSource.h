#pragma once

// A status record held in memory, with a count of the lock's use and a
// writer presence to report, for tests, benchmarks and fuzzing.

#include "RecordingDefs.h"
#include "StatusSource.h"

namespace recmon {

class TMemoryStatusSource final : public IStatusSource {
 public:
  TRecMonStatusBytes Bytes{};
  bool HasView = true;
  int LockCount = 0;    // Lock() calls so far
  int UnlockCount = 0;  // Unlock() calls so far
  bool Locked = false;
  TWriterPresence Presence;  // what WriterPresence() reports

  void Lock() override {
    ++LockCount;
    Locked = true;
  }
  void Unlock() override {
    ++UnlockCount;
    Locked = false;
  }
  std::span<const std::uint8_t> View() override {
    if (!HasView) {
      return {};
    }
    return Bytes;
  }
  TWriterPresence WriterPresence() override { return Presence; }
};

}  // namespace recmon
