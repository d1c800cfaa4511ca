#include "TrustedFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace recmon {

namespace {

TUniqueFd KeepIfTrusted(TUniqueFd fd, TEntryKind kind) {
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0 || !IsTrustedEntry(st, kind, ::geteuid())) {
    return {};
  }
  return fd;
}

}  // namespace

bool IsTrustedEntry(const struct stat& st, TEntryKind kind, uid_t owner) {
  if (st.st_uid != owner || (st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    return false;
  }
  if (kind == TEntryKind::Directory) {
    return S_ISDIR(st.st_mode);
  }
  return S_ISREG(st.st_mode) && st.st_nlink == 1;
}

TUniqueFd OpenChannelDirectory(const std::string& path) {
  // Failure here (it exists, or the parent is missing) shows in the open.
  ::mkdir(path.c_str(), S_IRWXU);
  return KeepIfTrusted(
      TUniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
      TEntryKind::Directory);
}

TUniqueFd OpenChannelFile(int dirFd, const char* name) {
  // O_NONBLOCK keeps a FIFO planted under this name from hanging the open;
  // it is dropped again once the entry is known to be a regular file.
  TUniqueFd fd = KeepIfTrusted(
      TUniqueFd(::openat(dirFd, name,
                         O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                         S_IRUSR | S_IWUSR)),
      TEntryKind::RegularFile);
  if (fd) {
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
      return {};
    }
  }
  return fd;
}

TUniqueFd OpenExistingChannelFile(int dirFd, const char* name, bool forWriting) {
  // O_NONBLOCK only guards the open against a FIFO; on the regular file
  // that the trust check lets through it changes nothing.
  return KeepIfTrusted(TUniqueFd(::openat(dirFd, name,
                                          (forWriting ? O_RDWR : O_RDONLY) | O_NOFOLLOW |
                                              O_CLOEXEC | O_NOCTTY | O_NONBLOCK)),
                       TEntryKind::RegularFile);
}

bool NameRefersTo(int dirFd, const char* name, int fd) {
  struct stat named {};
  struct stat held {};
  return ::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &held) == 0 &&
         named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

bool FlockRetrying(int fd, int operation) {
  int result = 0;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

TFlockResult FlockWithin(int fd, int operation, std::chrono::microseconds bound) {
  using Clock = std::chrono::steady_clock;
  // flock has no timeout of its own, so a busy lock is polled: the first
  // retries come quickly, since a healthy peer holds it only for one write.
  constexpr std::chrono::microseconds FirstPause{50};
  constexpr std::chrono::microseconds LongestPause{1000};
  const auto deadline = Clock::now() + bound;
  std::chrono::microseconds pause = FirstPause;
  for (;;) {
    if (FlockRetrying(fd, operation | LOCK_NB)) {
      return TFlockResult::Taken;
    }
    if (errno != EWOULDBLOCK) {
      return TFlockResult::Failed;
    }
    const auto now = Clock::now();
    if (now >= deadline) {
      return TFlockResult::Busy;
    }
    std::this_thread::sleep_for(
        std::min(pause, std::chrono::duration_cast<std::chrono::microseconds>(deadline - now)));
    pause = std::min(pause * 2, LongestPause);
  }
}

}  // namespace recmon
