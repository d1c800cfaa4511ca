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
//     when its holder dies;
//   - the writer that publishes also holds the writer presence beside them
//     (WriterPresence.h), which tells a monitor whether it still runs.
//
// The monitor uses Create, Lock, View, WriterPresence, Unlock and Destroy;
// recorders also use Write, TakePresence and TellPresence (or TRecMonWriter,
// which wraps the whole round).

#include <chrono>
#include <cstdint>
#include <span>

#include "RecordingDefs.h"
#include "StatusSource.h"
#include "UniqueFd.h"

namespace recmon {

// How long a program waits for the lock before it gives up on this access.
// A healthy peer holds it only while it copies 608 bytes, microseconds; a
// peer stopped in a debugger or by SIGSTOP holds it indefinitely, and the
// monitor waits on its user-interface thread, so the bound is a tenth of the
// monitor's 200 ms refresh: the window stays responsive and a busy moment
// only costs one snapshot or one publish.
inline constexpr std::chrono::milliseconds LockWaitBound{20};
// How long attaching and detaching wait for the directory's gate, which a
// healthy peer holds for a few system calls. A monitor that cannot attach in
// time tries again on its next access; one that cannot detach leaves the
// files for the next program to reset.
inline constexpr std::chrono::milliseconds GateWaitBound{20};

class TRecMonChannel final : public IStatusSource {
 public:
  // Not attached until Create().
  TRecMonChannel() = default;
  ~TRecMonChannel() override;
  TRecMonChannel(const TRecMonChannel&) = delete;
  TRecMonChannel& operator=(const TRecMonChannel&) = delete;

  // Attaches (detaching first if attached). Never fails visibly and never
  // throws: whatever cannot be obtained or is not trusted stays empty. When
  // the gate stays busy beyond GateWaitBound the channel stays detached and
  // AttachPending() says so; the next Lock() tries again.
  void Create();
  // Detaches; the last program out removes both files, unless the gate stays
  // busy beyond GateWaitBound. Idempotent.
  void Destroy();
  bool AttachPending() const { return AttachPending_; }
  // Detaches also when the program ends through exit() without unwinding
  // (a toolkit that exits when its display goes away), so that a last user
  // still removes the files. For single-threaded programs: it detaches from
  // within exit().
  void DetachAlsoOnExit();

  // Takes the lock, waiting at most LockWaitBound for it, and raises
  // TStatusLockBusy when that was not enough. Returns at once without it
  // when there is no lock file. A lock whose holder died passes on.
  void Lock() override;
  // Releases the lock; harmless when it is not held.
  void Unlock() override;
  // Reads the record into the channel's own buffer and returns it, or returns
  // an empty span when there is no record. Raises std::runtime_error when the
  // file is not exactly 608 bytes or cannot be read.
  std::span<const std::uint8_t> View() override;
  // What is known of the writer of the bytes View() just returned. Opens the
  // presence file once a writer has created it; never creates it, so a
  // recorder of the older protocol, which keeps none, reads as Unknown.
  TWriterPresence WriterPresence() override;

  // Writer side: replaces the whole record. Call between Lock() and Unlock().
  // Raises std::runtime_error when there is no record, or when the file is no
  // longer exactly 608 bytes (a peer shrank it; it is never regrown here).
  void Write(const TRecMonStatusBytes& bytes);

  // Writer side: opens the presence file (creating it if missing) and takes
  // the presence without waiting. True when this channel holds it now, false
  // when another program does. Raises std::runtime_error when not attached
  // or when the file is not available or not trusted.
  bool TakePresence();
  bool HoldsPresence() const { return HoldsPresence_; }
  // Writer side, after Write() and still under the lock: brings the
  // presence up to date with `bytes`, or only moves its beat when given
  // nothing. Done when this channel holds the presence, or when another
  // program does (a change made beside the publishing writer is then part
  // of its record); a record written where nobody holds it is left like one
  // of an older recorder. Never raises: the record is written already, and a
  // presence that cannot be told only leaves the monitor knowing less.
  void TellPresence(const TRecMonStatusBytes* bytes);

  TUniqueFd Mutex;    // the lock file, VardimexKestrumRecMonMutex
  TUniqueFd Mapping;  // the record file, VardimexKestrumRecMonMap, shared-flocked while attached

 private:
  bool JoinRecord(int fd);
  void CloseAll();

  TUniqueFd Gate_;      // the directory; kept open so that detaching locks the same one
  TUniqueFd Presence_;  // the presence file, once there is one
  bool HoldsPresence_ = false;
  bool Locked_ = false;
  bool Viewed_ = false;         // Buffer_ holds what View() read under the present lock
  bool AttachPending_ = false;  // the gate was busy when attaching
  TRecMonStatusBytes Buffer_{};
};

}  // namespace recmon
