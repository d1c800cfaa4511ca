#pragma once

// Sole owner of a file descriptor; closes it when it goes.

#include <unistd.h>

#include <utility>

namespace recmon {

class TUniqueFd final {
 public:
  TUniqueFd() = default;
  explicit TUniqueFd(int fd) : Fd_(fd) {}
  ~TUniqueFd() { Reset(); }
  TUniqueFd(TUniqueFd&& other) noexcept : Fd_(other.Release()) {}
  TUniqueFd& operator=(TUniqueFd&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;

  int Get() const { return Fd_; }
  explicit operator bool() const { return Fd_ >= 0; }
  int Release() { return std::exchange(Fd_, -1); }
  void Reset(int fd = -1) {
    if (Fd_ >= 0) {
      ::close(Fd_);
    }
    Fd_ = fd;
  }

 private:
  int Fd_ = -1;
};

}  // namespace recmon
