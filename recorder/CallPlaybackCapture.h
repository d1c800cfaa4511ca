#pragma once

// Records a call program's playback streams as the other side: each stream
// on its own (the server can monitor a single playback stream), mixed into
// one mono side by TStreamMixer and handed on every 20 ms, silence included,
// so the side runs on whether the program plays or not. The set of streams
// follows the program: new streams are added, gone ones dropped, and a
// stream that moved to another output (its monitor recording ends then) is
// recorded again on the new one. Everything runs on libpulse's thread: call
// every method with the mainloop lock held.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "CallSources.h"
#include "ServerStreams.h"
#include "StreamMixer.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_time_event;
struct pa_mainloop_api;
struct timeval;

namespace recmon {

class TCallPlaybackCapture final {
 public:
  // Mixed mono samples at 48 kHz, as they are handed on.
  using TEmit = std::function<void(std::span<const float> samples)>;

  // How far behind the clock the mix is handed on: a few fragments, so that
  // every stream's are in.
  static constexpr std::chrono::milliseconds kLatency{100};

  TCallPlaybackCapture(pa_threaded_mainloop* loop, pa_context* context, TEmit emit);
  ~TCallPlaybackCapture();
  TCallPlaybackCapture(const TCallPlaybackCapture&) = delete;
  TCallPlaybackCapture& operator=(const TCallPlaybackCapture&) = delete;

  // What to record now: the program's streams, or the whole default output.
  void Follow(const TCallPlayback& choice);
  // The connection was made anew (the server restarted): the old streams
  // are gone with it, and `context` records from now on.
  void Reconnect(pa_context* context);
  // Stops every stream and the hand-on; nothing is emitted after it.
  void Stop();

  // Samples that came too late for the mix (see TStreamMixer::Late).
  std::uint64_t Late() const { return Mixer_.Late(); }

  struct TStream;
  // From a stream's read callback: its samples, downmixed.
  void Deliver(std::uint32_t index, std::span<const float> mono);

 private:
  void Open(const TPlaybackStream& stream);
  void Close(std::uint32_t index);
  TMixPos Now() const;
  static void OnTimer(pa_mainloop_api*, pa_time_event*, const timeval*, void*);

  pa_threaded_mainloop* Loop_;
  pa_context* Context_;
  TEmit Emit_;
  TStreamMixer Mixer_;
  std::chrono::steady_clock::time_point Origin_;
  std::map<std::uint32_t, std::unique_ptr<TStream>> Streams_;  // by playback stream index
  std::vector<TPlaybackStream> Wanted_;
  pa_time_event* Timer_ = nullptr;
  std::vector<float> Out_;
};

}  // namespace recmon
