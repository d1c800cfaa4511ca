#pragma once

// What a reader needs from the status channel: the cross-process lock and the
// record's bytes. The named channel implements it over the shared files; tests
// and tools read a record held in memory instead.

#include <cstdint>
#include <span>
#include <stdexcept>

namespace recmon {

// Raised by Lock() when another program holds the lock for longer than the
// source is willing to wait: a reader skips that snapshot, a writer that
// publish, and both try again later.
class TStatusLockBusy : public std::runtime_error {
 public:
  TStatusLockBusy() : std::runtime_error("the status record's lock is held by another program") {}
};

class IStatusSource {
 public:
  virtual ~IStatusSource() = default;

  // Takes the cross-process lock, waiting only briefly for it; raises
  // TStatusLockBusy when that is not enough. Returns at once when there is
  // no lock to take.
  virtual void Lock() = 0;
  // Releases the lock; harmless when it is not held.
  virtual void Unlock() = 0;
  // The shared record's bytes, read between Lock() and Unlock() only. Empty
  // when the record is unavailable; may raise when reading it fails. The span
  // stays valid until the next call.
  virtual std::span<const std::uint8_t> View() = 0;
};

}  // namespace recmon
