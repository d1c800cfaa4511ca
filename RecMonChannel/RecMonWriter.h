#pragma once

// The recorder's side of the channel in one object: attach, publish whole
// records under the lock, detach when destroyed.

#include <chrono>

#include "RecMonChannel.h"
#include "RecordingDefs.h"

namespace recmon {

// How long a recorder keeps trying to attach while another program holds the
// directory's gate (attaching or detaching takes it for a few system calls;
// only a stopped or hung program holds it longer).
inline constexpr std::chrono::seconds WriterAttachBound{2};

class TRecMonWriter final {
 public:
  // Attaches. Unlike the monitor, a recorder must not write unlocked or into
  // nothing, so a missing or untrusted lock file or record, or a gate that
  // stays busy for WriterAttachBound, raises std::runtime_error naming the
  // directory.
  TRecMonWriter();

  // Encodes the record and writes it under the lock. Waits at most
  // LockWaitBound for the lock: false when another program held it that
  // long and nothing was written, so a recorder never stalls on a stopped
  // monitor and simply publishes its next figures later. Raises
  // std::runtime_error when the record cannot be written at all.
  [[nodiscard]] bool Publish(const TRecMonSnapshot& status);
  // The same with these exact bytes.
  [[nodiscard]] bool PublishBytes(const TRecMonStatusBytes& bytes);

  TRecMonChannel& Channel() { return Channel_; }

 private:
  TRecMonChannel Channel_;
};

}  // namespace recmon
