// TRecMonChannel over POSIX files and flock(2).

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <string>
#include <system_error>
#include <utility>

#include "ChannelDirectory.h"
#include "RecMonChannel.h"
#include "TrustedFiles.h"
#include "WriterPresence.h"

namespace recmon {

namespace {

std::runtime_error WrongSize(const std::string& size, const char* consequence) {
  return std::runtime_error("status record is " + size + " bytes long, not " +
                            std::to_string(RecMonStatusSize) + consequence);
}

// Channels to detach if the program ends through exit(). Only touched on the
// thread that runs the program and, within exit(), on the same thread.
std::set<TRecMonChannel*>& DetachOnExit() {
  static std::set<TRecMonChannel*> channels;
  return channels;
}

void DetachAllOnExit() {
  // Copied: Destroy() unregisters as it goes.
  const std::set<TRecMonChannel*> channels = DetachOnExit();
  for (TRecMonChannel* channel : channels) {
    channel->Destroy();
  }
}

}  // namespace

TRecMonChannel::~TRecMonChannel() {
  Destroy();
  DetachOnExit().erase(this);
}

void TRecMonChannel::DetachAlsoOnExit() {
  // The set first: handlers run in reverse order of registration, so it is
  // still alive when the handler needs it.
  std::set<TRecMonChannel*>& channels = DetachOnExit();
  static const bool registered = std::atexit(DetachAllOnExit) == 0;
  if (registered) {
    channels.insert(this);
  }
}

void TRecMonChannel::Create() {
  Destroy();
  try {
    TUniqueFd gate = OpenChannelDirectory(RecMonChannelDirectory());
    if (!gate) {
      return;
    }
    const TFlockResult gated = FlockWithin(gate.Get(), LOCK_EX, GateWaitBound);
    AttachPending_ = gated == TFlockResult::Busy;
    if (gated != TFlockResult::Taken) {
      return;
    }
    TUniqueFd mutex = OpenChannelFile(gate.Get(), RecMonMutexName);
    TUniqueFd mapping = OpenChannelFile(gate.Get(), RecMonMapName);
    if (mapping && !JoinRecord(mapping.Get())) {
      mapping.Reset();
    }
    ::flock(gate.Get(), LOCK_UN);
    Mutex = std::move(mutex);
    Mapping = std::move(mapping);
    Gate_ = std::move(gate);
  } catch (...) {
    // Only an allocation can throw here; the channel is then simply empty.
    CloseAll();
  }
}

// Called under the gate, so nobody attaches or detaches meanwhile.
bool TRecMonChannel::JoinRecord(int fd) {
  if (FlockRetrying(fd, LOCK_EX | LOCK_NB)) {
    // Nobody else holds the record: whatever is in it was left by a program
    // that died, so the newcomer starts from zeros (and the right size).
    if (::ftruncate(fd, 0) != 0 || ::ftruncate(fd, RecMonStatusSize) != 0) {
      return false;
    }
  } else if (errno != EWOULDBLOCK) {
    return false;
  }
  // Attached peers hold only shared locks, so this never waits.
  return FlockRetrying(fd, LOCK_SH | LOCK_NB);
}

void TRecMonChannel::Destroy() {
  AttachPending_ = false;
  if (!Gate_ && !Mutex && !Mapping) {
    return;
  }
  if (Gate_ && Mapping && FlockWithin(Gate_.Get(), LOCK_EX, GateWaitBound) == TFlockResult::Taken &&
      FlockRetrying(Mapping.Get(), LOCK_EX | LOCK_NB)) {
    // Last one out. Only files still under their names are removed, and the
    // lock file only when it is the one held, so nothing foreign goes.
    if (NameRefersTo(Gate_.Get(), RecMonMapName, Mapping.Get())) {
      ::unlinkat(Gate_.Get(), RecMonMapName, 0);
    }
    if (Mutex && NameRefersTo(Gate_.Get(), RecMonMutexName, Mutex.Get())) {
      ::unlinkat(Gate_.Get(), RecMonMutexName, 0);
    }
    // Nobody is attached, so no writer holds the presence either.
    const TUniqueFd presence = OpenExistingChannelFile(Gate_.Get(), RecMonWriterName);
    if (presence && NameRefersTo(Gate_.Get(), RecMonWriterName, presence.Get())) {
      ::unlinkat(Gate_.Get(), RecMonWriterName, 0);
    }
  }
  CloseAll();  // closing the directory last releases the gate
}

void TRecMonChannel::CloseAll() {
  Locked_ = false;
  Viewed_ = false;
  HoldsPresence_ = false;
  Presence_.Reset();  // closing it gives up a presence held
  Mapping.Reset();
  Mutex.Reset();
  Gate_.Reset();
}

void TRecMonChannel::Lock() {
  if (AttachPending_) {
    Create();
  }
  Viewed_ = false;
  if (Mutex) {
    const TFlockResult result = FlockWithin(Mutex.Get(), LOCK_EX, LockWaitBound);
    if (result == TFlockResult::Busy) {
      throw TStatusLockBusy();
    }
    // A lock that cannot be had at all (not merely busy) lets the caller go
    // on without it, as with no lock file.
    Locked_ = result == TFlockResult::Taken;
  }
}

void TRecMonChannel::Unlock() {
  Viewed_ = false;
  if (Mutex && Locked_) {
    ::flock(Mutex.Get(), LOCK_UN);
    Locked_ = false;
  }
}

std::span<const std::uint8_t> TRecMonChannel::View() {
  if (!Mapping) {
    return {};
  }
  // Copied with a read, never through a mapping: a file that a peer shrank
  // gives a short count here where a mapping would give SIGBUS. The extra
  // byte tells a file that grew past 608 bytes from a whole one.
  std::uint8_t beyond = 0;
  iovec parts[] = {{Buffer_.data(), Buffer_.size()}, {&beyond, 1}};
  ssize_t got = 0;
  do {
    got = ::preadv(Mapping.Get(), parts, 2, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    throw std::system_error(errno, std::generic_category(), "reading the status record");
  }
  if (static_cast<std::size_t>(got) != RecMonStatusSize) {
    throw WrongSize(
        static_cast<std::size_t>(got) > RecMonStatusSize ? "more than 608" : std::to_string(got),
        "; not reading it");
  }
  Viewed_ = true;
  return Buffer_;
}

TWriterPresence TRecMonChannel::WriterPresence() {
  if (!Presence_ && Gate_) {
    // Not under the gate: while this channel is attached nobody removes
    // the file, since only the last one out does.
    Presence_ = OpenExistingChannelFile(Gate_.Get(), RecMonWriterName);
  }
  if (!Presence_) {
    return {};
  }
  // The lock first, then the content: a writer ends only after its last
  // record, so a presence found ended and a copy found equal to the record
  // mean that this record's writer ended without clearing it.
  const TPresenceLock lock = ProbePresenceLock(Presence_.Get());
  const std::optional<TPresenceContent> content = ReadPresence(Presence_.Get());
  TWriterPresence presence;
  presence.Beat = content ? content->Beat : 0;
  if (lock == TPresenceLock::Held) {
    presence.State = TWriterPresence::TState::Held;
  } else if (lock == TPresenceLock::Free && content && Viewed_ && content->Record == Buffer_) {
    presence.State = TWriterPresence::TState::Gone;
  }
  return presence;
}

void TRecMonChannel::Write(const TRecMonStatusBytes& bytes) {
  if (!Mapping) {
    throw std::runtime_error("status record is not available in " + RecMonChannelDirectory());
  }
  struct stat st {};
  if (::fstat(Mapping.Get(), &st) != 0) {
    throw std::system_error(errno, std::generic_category(), "checking the status record");
  }
  if (static_cast<std::size_t>(st.st_size) != RecMonStatusSize) {
    throw WrongSize(std::to_string(st.st_size), "; not writing to it");
  }
  ssize_t put = 0;
  do {
    put = ::pwrite(Mapping.Get(), bytes.data(), bytes.size(), 0);
  } while (put < 0 && errno == EINTR);
  if (put < 0) {
    throw std::system_error(errno, std::generic_category(), "writing the status record");
  }
  if (static_cast<std::size_t>(put) != RecMonStatusSize) {
    throw std::runtime_error("status record written only in part (" + std::to_string(put) +
                             " bytes)");
  }
}

bool TRecMonChannel::TakePresence() {
  if (HoldsPresence_) {
    return true;
  }
  if (Gate_) {
    // Created after attaching, not under the gate: once attached, this
    // channel keeps the last one out from removing it.
    Presence_ = OpenChannelFile(Gate_.Get(), RecMonWriterName);
  }
  if (!Presence_) {
    throw std::runtime_error("the writer presence is not available in " + RecMonChannelDirectory());
  }
  HoldsPresence_ = TakePresenceLock(Presence_.Get());
  return HoldsPresence_;
}

void TRecMonChannel::TellPresence(const TRecMonStatusBytes* bytes) {
  try {
    if (!HoldsPresence_) {
      if (!Presence_ && Gate_) {
        Presence_ = OpenExistingChannelFile(Gate_.Get(), RecMonWriterName, true);
      }
      if (!Presence_ || ProbePresenceLock(Presence_.Get()) != TPresenceLock::Held) {
        return;
      }
    }
    WritePresence(Presence_.Get(), bytes);
  } catch (...) {
  }
}

}  // namespace recmon
