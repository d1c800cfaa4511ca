#pragma once

// The recorder's side of the channel in one object: attach, take the writer
// presence, publish whole records under the lock, detach when destroyed.

#include <chrono>
#include <stdexcept>

#include "RecMonChannel.h"
#include "RecordingDefs.h"

namespace recmon {

// How long a recorder keeps trying to attach while another program holds the
// directory's gate (attaching or detaching takes it for a few system calls;
// only a stopped or hung program holds it longer).
inline constexpr std::chrono::seconds WriterAttachBound{2};

// How often a writer that holds the presence but has nothing new to publish
// moves its beat (TRecMonWriter::KeepAlive), so that a monitor can tell it
// from a stopped one. Well inside the monitor's 5 s without an update.
inline constexpr std::chrono::seconds PresenceBeatInterval{1};

// What a writer claims of the record.
enum class TWriterClaim : std::uint8_t {
  // A recorder: the record is its alone while it runs. When another writer
  // holds it already, the constructor raises TRecordOwnedElsewhere.
  Sole,
  // Holds the record when nobody does; otherwise writes beside the writer
  // that does, as an edit of that writer's record.
  IfFree,
  // Writes an edit into whatever record there is and holds nothing.
  None,
};

// Another recorder publishes the monitor's record; this one must not.
class TRecordOwnedElsewhere final : public std::runtime_error {
 public:
  TRecordOwnedElsewhere() : std::runtime_error("another recorder owns the monitor's record") {}
};

class TRecMonWriter final {
 public:
  // Attaches and claims the record. Unlike the monitor, a recorder must not
  // write unlocked or into nothing, so a missing or untrusted lock file,
  // record or presence file, or a gate that stays busy for
  // WriterAttachBound, raises std::runtime_error naming the directory.
  explicit TRecMonWriter(TWriterClaim claim = TWriterClaim::Sole);

  // Encodes the record and writes it, and the presence, under the lock.
  // Waits at most LockWaitBound for the lock: false when another program
  // held it that long and nothing was written, so a recorder never stalls
  // on a stopped monitor and simply publishes its next figures later.
  // Raises std::runtime_error when the record cannot be written at all.
  [[nodiscard]] bool Publish(const TRecMonSnapshot& status);
  // The same with these exact bytes.
  [[nodiscard]] bool PublishBytes(const TRecMonStatusBytes& bytes);
  // Moves the presence's beat without changing the record: what a writer
  // that holds the record but has nothing new does every
  // PresenceBeatInterval. False when the lock stayed busy.
  [[nodiscard]] bool KeepAlive();

  // Whether this writer holds the record (the presence).
  bool OwnsRecord() const { return Channel_.HoldsPresence(); }
  TRecMonChannel& Channel() { return Channel_; }

 private:
  TRecMonChannel Channel_;
};

}  // namespace recmon
