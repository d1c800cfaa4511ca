#pragma once

// The "recording file" of a played call: a file in a fresh temporary folder
// that grows as audio is recorded, and is removed with its folder at the end.

#include <cstdint>
#include <string>

#include "UniqueFd.h"

namespace recmon {

class TTempRecording final {
 public:
  // In $TMPDIR, or /tmp. Raises std::runtime_error when it cannot be made.
  TTempRecording();
  ~TTempRecording();
  TTempRecording(const TTempRecording&) = delete;
  TTempRecording& operator=(const TTempRecording&) = delete;

  const std::string& Path() const { return Path_; }
  // Appends zeros until the file holds `size` bytes; never shrinks it.
  void GrowTo(std::uint64_t size);

 private:
  std::string Folder_;
  std::string Path_;
  TUniqueFd File_;
  std::uint64_t Size_ = 0;
};

}  // namespace recmon
