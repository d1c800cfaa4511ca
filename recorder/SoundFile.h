#pragma once

// The recording file, through libsndfile, and the interface the writer
// thread writes through (tests give it a slow or failing one).

#include <span>
#include <string>

#include "CaptureFormat.h"

struct sf_private_tag;

namespace recmon {

class IFrameSink {
 public:
  virtual ~IFrameSink() = default;
  // Appends frames; raises std::runtime_error when they cannot all be written.
  virtual void Write(std::span<const TStereoFrame> frames) = 0;
  // Makes what was written so far survive the program being killed: called
  // at least once a second while recording.
  virtual void Checkpoint() = 0;
};

class TSoundFile final : public IFrameSink {
 public:
  // Creates (or replaces) `path` as a 48 kHz stereo file of `format`
  // (SF_FORMAT_*). Raises std::runtime_error naming the file.
  TSoundFile(const std::string& path, int format);
  ~TSoundFile() override;
  TSoundFile(const TSoundFile&) = delete;
  TSoundFile& operator=(const TSoundFile&) = delete;

  void Write(std::span<const TStereoFrame> frames) override;
  // Brings the header up to date (a WAV header holds the data length) and
  // flushes the file to disk.
  void Checkpoint() override;
  // Finishes the file (final header, last Ogg page). Raises on failure;
  // idempotent. The destructor closes too, swallowing errors.
  void Close();

 private:
  std::string Path_;
  sf_private_tag* File_ = nullptr;
};

}  // namespace recmon
