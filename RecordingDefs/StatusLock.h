#pragma once

// Holds a status source's lock for one scope, so an error cannot leave it held.

#include "StatusSource.h"

namespace recmon {

class TStatusLock final {
 public:
  explicit TStatusLock(IStatusSource& source) : Source_(source) { Source_.Lock(); }
  ~TStatusLock() { Source_.Unlock(); }
  TStatusLock(const TStatusLock&) = delete;
  TStatusLock& operator=(const TStatusLock&) = delete;

 private:
  IStatusSource& Source_;
};

}  // namespace recmon
