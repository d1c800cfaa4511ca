#pragma once

// The sound server through libpulse's asynchronous API, which PulseAudio and
// PipeWire's PulseAudio service both speak: a connection that can list what
// the server offers, and the two record streams of a call. libpulse runs its
// own thread (the capture thread); every callback below runs on it.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "SidePairer.h"
#include "SoundSources.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace recmon {

// A first failure, set on the capture thread and read on others.
class TFailureNote final {
 public:
  void Set(const std::string& message);
  std::optional<std::string> Get() const;

 private:
  std::atomic<bool> Set_{false};
  mutable std::mutex Mutex_;
  std::string Message_;
};

class TPulseConnection final {
 public:
  // Connects without ever starting a server. Raises TSoundServerError with a
  // clear text when no server answers within a few seconds.
  TPulseConnection();
  ~TPulseConnection();
  TPulseConnection(const TPulseConnection&) = delete;
  TPulseConnection& operator=(const TPulseConnection&) = delete;

  TServerInfo Query();
  // Set once the server goes away after connecting.
  std::optional<std::string> Failure() const { return Failure_.Get(); }

  // Runs `f` with the capture thread held off, so it may touch capture state.
  void Locked(const std::function<void()>& f);

  pa_threaded_mainloop* Loop() const { return Loop_; }
  pa_context* Context() const { return Context_; }
  TFailureNote& FailureNote() { return Failure_; }

 private:
  pa_threaded_mainloop* Loop_ = nullptr;
  pa_context* Context_ = nullptr;
  TFailureNote Failure_;
};

class TPulseCapture final {
 public:
  // Interleaved samples of a side at the source's own channel count.
  using TSamples = std::function<void(TSide, std::span<const float>, unsigned channels)>;
  // Frames of a side that the server reports as lost.
  using THole = std::function<void(TSide, std::size_t frames)>;

  // Opens a record stream on each chosen source, in 32-bit float at 48 kHz
  // and the source's own channel layout, delivering every 20 ms, and waits
  // until both run. Raises TSoundServerError naming the source that failed.
  TPulseCapture(TPulseConnection& connection, const TChosenSources& sources, TSamples samples,
                THole hole);
  // Stops both streams.
  ~TPulseCapture();
  TPulseCapture(const TPulseCapture&) = delete;
  TPulseCapture& operator=(const TPulseCapture&) = delete;

  // Disconnects both streams; no callback runs after it returns. Idempotent.
  void Stop();

  struct TStream;

 private:
  TPulseConnection& Connection_;
  std::unique_ptr<TStream> Streams_[2];
};

}  // namespace recmon
