#pragma once

// What the refresh cycle needs from the status channel: the lock and the
// record's bytes. The named shared-memory channel implements it; tests and
// tools use the in-memory source below.

#include <cstdint>
#include <span>

#include "RecordingDefs.h"

namespace recmon {

class IStatusSource {
 public:
  virtual ~IStatusSource() = default;

  // Waits for the cross-process lock. Returns at once when there is none.
  virtual void Lock() = 0;
  // Releases the lock; harmless when it is not held.
  virtual void Unlock() = 0;
  // The shared record's bytes, read between Lock() and Unlock() only. Empty
  // when the record is unavailable; may raise when reading it fails. The span
  // stays valid until the next call.
  virtual std::span<const std::uint8_t> View() = 0;
};

// A record held in memory, for tests, benchmarks and fuzzing.
class TMemoryStatusSource final : public IStatusSource {
 public:
  TRecMonStatusBytes Bytes{};
  bool HasView = true;
  int LockCount = 0;    // Lock() calls so far
  int UnlockCount = 0;  // Unlock() calls so far
  bool Locked = false;

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
};

}  // namespace recmon
