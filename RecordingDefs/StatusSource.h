#pragma once

// What a reader needs from the status channel: the cross-process lock, the
// record's bytes and what is known of the program writing them. The named
// channel implements it over the shared files; tests and tools read a record
// held in memory instead.

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

// What a reader can tell about the program that publishes the record, from
// the writer presence that recorders of this package keep beside it
// (docs/protocol.md). Recorders of the older protocol keep none, so the
// absence of a presence says nothing about the writer.
struct TWriterPresence {
  enum class TState : std::uint8_t {
    Unknown,  // nothing to go by: no presence, or the record was written without one
    Held,     // a writer holds the presence: it is running (though it may be stopped)
    Gone,     // the writer that wrote this very record holds it no longer: it ended
  };
  TState State = TState::Unknown;
  // Moves with every publish of a writer that keeps the presence, also when
  // it has nothing new to say; a change shows that the writer is alive.
  std::uint32_t Beat = 0;

  bool operator==(const TWriterPresence&) const = default;
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
  // The writer's presence as it stands with the bytes View() returned: call
  // it between Lock() and Unlock(), after View(). Never raises. A source
  // with no presence to offer knows nothing of the writer.
  virtual TWriterPresence WriterPresence() { return {}; }
};

}  // namespace recmon
