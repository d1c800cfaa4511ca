#pragma once

// The status channel: the shared 608-byte record and the lock that every
// program takes around each access to it. On this platform both are plain
// files in a private directory (see docs/protocol.md):
//
//   - attaching and detaching happen under an exclusive flock on the directory;
//   - every attached program holds a shared flock on its record descriptor, so
//     the first to attach finds the record zero-filled and the last to leave
//     removes both files;
//   - the lock is an exclusive flock on the lock file, which the kernel drops
//     when its holder dies.
//
// The monitor uses Create, Lock, View, Unlock and Destroy; recorders also use
// Write (or TRecMonWriter, which wraps the whole round).

#include <cstdint>
#include <span>

#include "RecordingDefs.h"
#include "StatusSource.h"
#include "UniqueFd.h"

namespace recmon {

class TRecMonChannel final : public IStatusSource {
 public:
  // Not attached until Create().
  TRecMonChannel() = default;
  ~TRecMonChannel() override;
  TRecMonChannel(const TRecMonChannel&) = delete;
  TRecMonChannel& operator=(const TRecMonChannel&) = delete;

  // Attaches (detaching first if attached). Never fails visibly and never
  // throws: whatever cannot be obtained or is not trusted stays empty.
  void Create();
  // Detaches; the last program out removes both files. Idempotent.
  void Destroy();

  // Waits with no time limit for the lock; returns at once without it when
  // there is no lock file. A lock whose holder died passes to the next waiter.
  void Lock() override;
  // Releases the lock; harmless when it is not held.
  void Unlock() override;
  // Reads the record into the channel's own buffer and returns it, or returns
  // an empty span when there is no record. Raises std::runtime_error when the
  // file is not exactly 608 bytes or cannot be read.
  std::span<const std::uint8_t> View() override;

  // Writer side: replaces the whole record. Call between Lock() and Unlock().
  // Raises std::runtime_error when there is no record, or when the file is no
  // longer exactly 608 bytes (a peer shrank it; it is never regrown here).
  void Write(const TRecMonStatusBytes& bytes);

  TUniqueFd Mutex;    // the lock file, VardimexKestrumRecMonMutex
  TUniqueFd Mapping;  // the record file, VardimexKestrumRecMonMap, shared-flocked while attached

 private:
  bool JoinRecord(int fd);
  void CloseAll();

  TUniqueFd Gate_;  // the directory; kept open so that detaching locks the same one
  bool Locked_ = false;
  TRecMonStatusBytes Buffer_{};
};

}  // namespace recmon
