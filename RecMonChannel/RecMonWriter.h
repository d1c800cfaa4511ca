#pragma once

// The recorder's side of the channel in one object: attach, publish whole
// records under the lock, detach when destroyed.

#include "RecMonChannel.h"
#include "RecordingDefs.h"

namespace recmon {

class TRecMonWriter final {
 public:
  // Attaches. Unlike the monitor, a recorder must not write unlocked or into
  // nothing, so a missing or untrusted lock file or record raises
  // std::runtime_error naming the directory.
  TRecMonWriter();

  // Encodes the record and writes it under the lock.
  void Publish(const TRecMonSnapshot& status);
  // Writes these exact bytes under the lock.
  void PublishBytes(const TRecMonStatusBytes& bytes);

  TRecMonChannel& Channel() { return Channel_; }

 private:
  TRecMonChannel Channel_;
};

}  // namespace recmon
