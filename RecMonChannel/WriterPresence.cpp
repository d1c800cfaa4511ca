#include "WriterPresence.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace recmon {

namespace {

// The lock covers the first byte only; what matters is who holds it.
struct flock PresenceRange(short type) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = 0;
  range.l_len = 1;
  return range;
}

int FcntlRetrying(int fd, int command, struct flock& range) {
  int result = 0;
  do {
    result = ::fcntl(fd, command, &range);
  } while (result != 0 && errno == EINTR);
  return result;
}

template <typename T>
T Field(const std::uint8_t* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

}  // namespace

TPresenceLock ProbePresenceLock(int fd) {
  struct flock range = PresenceRange(F_WRLCK);
  if (FcntlRetrying(fd, F_OFD_GETLK, range) != 0) {
    return TPresenceLock::Unknown;
  }
  return range.l_type == F_UNLCK ? TPresenceLock::Free : TPresenceLock::Held;
}

bool TakePresenceLock(int fd) {
  struct flock range = PresenceRange(F_WRLCK);
  if (FcntlRetrying(fd, F_OFD_SETLK, range) == 0) {
    return true;
  }
  if (errno == EAGAIN || errno == EACCES) {
    return false;
  }
  throw std::system_error(errno, std::generic_category(), "taking the writer presence");
}

std::optional<TPresenceContent> ReadPresence(int fd) {
  // One byte beyond tells a longer file from a whole one.
  std::uint8_t bytes[WriterPresenceSize + 1];
  ssize_t got = 0;
  do {
    got = ::pread(fd, bytes, sizeof bytes, 0);
  } while (got < 0 && errno == EINTR);
  if (got != static_cast<ssize_t>(WriterPresenceSize) ||
      Field<std::uint32_t>(bytes) != WriterPresenceVersion) {
    return std::nullopt;
  }
  TPresenceContent content;
  content.Beat = Field<std::uint32_t>(bytes + WriterPresenceBeatOffset);
  std::memcpy(content.Record.data(), bytes + WriterPresenceRecordOffset, RecMonStatusSize);
  return content;
}

void WritePresence(int fd, const TRecMonStatusBytes* record) {
  const std::optional<TPresenceContent> before = ReadPresence(fd);
  // A file that is not one of this version (new, or left longer by some
  // other program) starts over at the right size.
  if (!before && ::ftruncate(fd, WriterPresenceSize) != 0) {
    throw std::system_error(errno, std::generic_category(), "resetting the writer presence");
  }
  TPresenceContent after = before.value_or(TPresenceContent{});
  ++after.Beat;
  if (record != nullptr) {
    after.Record = *record;
  }
  std::uint8_t bytes[WriterPresenceSize];
  std::memcpy(bytes, &WriterPresenceVersion, 4);
  std::memcpy(bytes + WriterPresenceBeatOffset, &after.Beat, 4);
  std::memcpy(bytes + WriterPresenceRecordOffset, after.Record.data(), RecMonStatusSize);
  ssize_t put = 0;
  do {
    put = ::pwrite(fd, bytes, sizeof bytes, 0);
  } while (put < 0 && errno == EINTR);
  if (put != static_cast<ssize_t>(sizeof bytes)) {
    throw std::system_error(put < 0 ? errno : EIO, std::generic_category(),
                            "writing the writer presence");
  }
}

}  // namespace recmon
