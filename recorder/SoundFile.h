#pragma once

// The recording file, through libsndfile, and the interface the writer
// thread writes through (tests give it a slow or failing one).
//
// libsndfile writes through our own file functions, so that the recorder
// knows at every moment how much of the call a reader of the file would find
// were the program killed now: a WAV file as much as its header says, a FLAC
// file as much as its STREAMINFO says (brought up to date at each
// checkpoint; libsndfile itself fills it in only on closing), an Ogg Opus
// file as much as its last complete page says. After a failed write (a full
// disk), the file is cut back to its last whole frame or page and closed
// with a header that says so.

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "CaptureFormat.h"

struct sf_private_tag;

namespace recmon {

class IFrameSink {
 public:
  virtual ~IFrameSink() = default;
  // Appends frames; raises std::runtime_error when they cannot all be written.
  virtual void Write(std::span<const TStereoFrame> frames) = 0;
  // Brings the file's own length up to date with what was written: what a
  // killed program leaves is then playable to here.
  virtual void Checkpoint() = 0;
  // Makes what was written survive a power cut.
  virtual void Sync() = 0;
  // Frames that a reader of the file finds, were the program killed now.
  virtual std::uint64_t Durable() const = 0;
};

// FILE exists already; nothing was touched.
class TFileExistsError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How often Ogg Opus pages are completed: a killed recorder loses at most this
// much more than with the other formats.
inline constexpr double kOggPageMilliseconds = 200;

class TSoundFile final : public IFrameSink {
 public:
  // Creates `path` as a new 48 kHz stereo file of `format` (SF_FORMAT_*;
  // RF64 means a WAV file that becomes RF64 only if it grows beyond 4 GB).
  // The file is private to the user (mode 0600), created only if nothing
  // exists at `path` (a symbolic link included) and never through one.
  // Raises TFileExistsError when something is there, std::runtime_error
  // naming the file for any other failure.
  TSoundFile(const std::string& path, int format);
  ~TSoundFile() override;
  TSoundFile(const TSoundFile&) = delete;
  TSoundFile& operator=(const TSoundFile&) = delete;

  void Write(std::span<const TStereoFrame> frames) override;
  void Checkpoint() override;
  void Sync() override;
  std::uint64_t Durable() const override;
  // Finishes the file (final header, last Ogg page), or after a failed write
  // cuts it back to what is whole. Raises on failure; idempotent. The
  // destructor closes too, swallowing errors.
  void Close();

  struct TIo;

 private:
  std::string Path_;
  std::unique_ptr<TIo> Io_;
  sf_private_tag* File_ = nullptr;
};

}  // namespace recmon
