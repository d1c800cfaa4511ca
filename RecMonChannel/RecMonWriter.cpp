#include "RecMonWriter.h"

#include <stdexcept>
#include <thread>

#include "ChannelDirectory.h"
#include "StatusLock.h"

namespace recmon {

TRecMonWriter::TRecMonWriter(TWriterClaim claim) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + WriterAttachBound;
  Channel_.Create();
  while (Channel_.AttachPending() && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Channel_.Create();
  }
  if (Channel_.AttachPending()) {
    throw std::runtime_error("the status channel in " + RecMonChannelDirectory() +
                             " is busy: another program has held its gate for " +
                             std::to_string(WriterAttachBound.count()) + " s (stopped or hung?)");
  }
  if (!Channel_.Mutex || !Channel_.Mapping) {
    throw std::runtime_error(
        "the status channel is not available in " + RecMonChannelDirectory() +
        " (missing parent folder, or an entry there not owned by you, open to others, "
        "or a link)");
  }
  // Claimed before anything is written, so that a record a monitor reads
  // while this writer runs always comes with its presence.
  if (claim != TWriterClaim::None && !Channel_.TakePresence() && claim == TWriterClaim::Sole) {
    throw TRecordOwnedElsewhere();
  }
}

bool TRecMonWriter::Publish(const TRecMonSnapshot& status) {
  return PublishBytes(EncodeStatus(status));
}

bool TRecMonWriter::PublishBytes(const TRecMonStatusBytes& bytes) {
  try {
    const TStatusLock lock(Channel_);
    Channel_.Write(bytes);
    Channel_.TellPresence(&bytes);
  } catch (const TStatusLockBusy&) {
    return false;
  }
  return true;
}

bool TRecMonWriter::KeepAlive() {
  if (!Channel_.HoldsPresence()) {
    return true;
  }
  try {
    const TStatusLock lock(Channel_);
    Channel_.TellPresence(nullptr);
  } catch (const TStatusLockBusy&) {
    return false;
  }
  return true;
}

}  // namespace recmon
