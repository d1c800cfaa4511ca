#pragma once

// The thread that moves frames from the bounded buffer into the file. It is
// the only thread that touches the disk, so a slow or failing disk can fill
// the buffer but never hold up capture.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "FrameRing.h"
#include "SoundFile.h"

namespace recmon {

// How often the file's own length is brought up to date, so that a killed
// recorder leaves a file that plays up to that moment: the header of a WAV
// file, the STREAMINFO of a FLAC file.
inline constexpr std::chrono::milliseconds kCheckpointInterval{200};
// How often the file is flushed to the disk, against a power cut.
inline constexpr std::chrono::milliseconds kSyncInterval{1000};
// How long the writer sleeps when the buffer is empty. Capture never wakes
// it, so it never waits on the writer in any way.
inline constexpr std::chrono::milliseconds kWriterIdle{10};

class TWriterThread final {
 public:
  // Starts writing from `ring` into `sink`; both must outlive this object.
  TWriterThread(TFrameRing& ring, IFrameSink& sink);
  // Stops (see Finish) if still running.
  ~TWriterThread();
  TWriterThread(const TWriterThread&) = delete;
  TWriterThread& operator=(const TWriterThread&) = delete;

  // Writes what is still in the buffer, checkpoints once more and ends the
  // thread. Offer nothing more after calling it.
  void Finish();

  // Frames handed to the file; read from any thread.
  std::uint64_t Written() const { return Written_.load(std::memory_order_acquire); }
  // Frames a reader of the file would find were the program killed now
  // (see IFrameSink::Durable); read from any thread.
  std::uint64_t Durable() const { return Durable_.load(std::memory_order_acquire); }
  // The first write error, once the writer has stopped on it.
  std::optional<std::string> Failure() const;

 private:
  void Run();
  void Fail(const std::string& message);

  TFrameRing& Ring_;
  IFrameSink& Sink_;
  std::atomic<std::uint64_t> Written_{0};
  std::atomic<std::uint64_t> Durable_{0};
  std::atomic<bool> Stopping_{false};
  std::atomic<bool> Failed_{false};
  mutable std::mutex FailureMutex_;
  std::string FailureText_;
  std::thread Thread_;  // last: starts once everything above exists
};

}  // namespace recmon
