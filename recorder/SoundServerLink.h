#pragma once

// The sound server through libpulse's asynchronous API, which PulseAudio and
// PipeWire's PulseAudio service both speak, for the whole of a recording:
// what the server offers, and one record stream per side on the source a
// policy chooses. libpulse runs its own thread, the capture thread; every
// event below comes on it.
//
// The link follows the server for as long as the recording runs: when its
// sources or defaults change, it asks the policy again and moves a side to
// its new source; when a stream ends, it opens another; when the server goes
// away, it keeps trying to reach it again, a little less often each time,
// and carries on when it is back.

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "SidePairer.h"
#include "SoundSources.h"

namespace recmon {
class TCallPlaybackCapture;
}

struct pa_threaded_mainloop;
struct pa_context;
struct pa_time_event;
struct pa_defer_event;
struct pa_channel_map;

namespace recmon {

// How often the capture thread ticks (fills silent sides, tries to reconnect).
inline constexpr std::chrono::milliseconds kLinkTick{100};
// The longest wait between two attempts to reach a server that went away.
inline constexpr std::chrono::milliseconds kLongestReconnectWait{1000};

struct TLinkEvents {
  // Interleaved samples of a side, with the weight of each channel in its
  // mix and, when the server's timing is known since the stream last paused,
  // how long ago the last of them was captured.
  std::function<void(TSide, std::span<const float> interleaved, std::span<const float> weights,
                     std::optional<std::chrono::steady_clock::duration> age)>
      Samples;
  // Frames of a side that the server reports as missing.
  std::function<void(TSide, std::size_t frames)> Hole;
  // A side's new stream is about to deliver (another source, the server back).
  std::function<void(TSide)> Restart;
  // A side has no stream for now, or has one again.
  std::function<void(TSide, bool absent)> Absent;
  // Every kLinkTick.
  std::function<void()> Tick;
  // Something the user should know: a side moved, the server went or came back.
  std::function<void(const std::string&)> Told;
};

class TSoundServerLink final {
 public:
  // Connects without ever starting a server. Raises TSoundServerError with a
  // clear text when no server answers within a few seconds.
  TSoundServerLink();
  ~TSoundServerLink();
  TSoundServerLink(const TSoundServerLink&) = delete;
  TSoundServerLink& operator=(const TSoundServerLink&) = delete;

  // What the server offers now (before Start).
  TServerInfo Query();

  // Records `first` (from the answer of Query), in 16-bit samples at 48 kHz and
  // each source's own channel layout, delivering every 20 ms; waits until
  // every stream runs. From then on `policy` (which must outlive the link)
  // chooses. Raises TSoundServerError naming a source that cannot be recorded.
  void Start(const ISourcePolicy& policy, const TSideSources& first, TLinkEvents events);
  // Ends every stream and every event; nothing comes after it returns. Idempotent.
  void Stop();

  // Runs `f` with the capture thread held off, so it may touch capture state.
  void Locked(const std::function<void()>& f);
  // Asks the policy again soon, for a policy that learns of changes the
  // link does not watch (a program's streams).
  void Reconsider();

  // Since when the server has been gone; nothing while it is there.
  std::optional<std::chrono::steady_clock::time_point> GoneSince() const;

  struct TStream;
  struct TQuery;
  // For libpulse's callbacks, on the capture thread.
  pa_threaded_mainloop* Loop() const { return Loop_; }
  const TLinkEvents& Events() const { return Events_; }
  void Schedule();
  void Answered();

 private:
  void Shutdown();
  bool Connect();
  void DropContext();
  void DropStream(std::unique_ptr<TStream>& st);
  void Follow();
  void OnTimer();
  void OnChores();
  void Lost(const std::string& why);
  void Retry();
  void Reconnect();
  void Reconnected();
  void RequestQuery();
  void Apply(const TServerInfo& server);
  void Open(TSide side, const TSourceInfo& source);
  void OpenPlayback(const TSourceInfo& source);
  void DropPlayback();
  void Tell(const std::string& text);

  pa_threaded_mainloop* Loop_ = nullptr;
  pa_context* Context_ = nullptr;  // nothing while the server is gone
  // Contexts that failed, freed outside libpulse's own calls.
  std::vector<pa_context*> DeadContexts_;
  pa_time_event* Timer_ = nullptr;
  // Work done outside libpulse's own calls: whatever opens or closes
  // streams and contexts after a state change or an answer.
  pa_defer_event* Chores_ = nullptr;
  std::string LastError_;
  bool Running_ = false;  // between Start and Stop
  bool Ready_ = false;    // Context_ is connected
  const ISourcePolicy* Policy_ = nullptr;
  TLinkEvents Events_;
  std::unique_ptr<TStream> Streams_[2];
  // The other side when it is one program's playback streams, mixed.
  std::unique_ptr<TCallPlaybackCapture> Playback_;
  TSourceInfo PlaybackSource_;
  std::string LastSource_[2];  // what each side last recorded, for the messages
  // The channel layouts of the server's sources, from the last answer.
  std::map<std::string, std::shared_ptr<pa_channel_map>> Maps_;
  std::unique_ptr<TQuery> Query_;
  bool QueryRunning_ = false;
  bool QueryAgain_ = false;
  std::atomic<std::int64_t> GoneSince_{0};  // steady clock ticks; 0 while there
  std::chrono::steady_clock::time_point NextAttempt_{};
  std::chrono::milliseconds ReconnectWait_{0};
};

// "the microphone", "the other parties": how messages name a side.
const char* SideName(TSide side);

}  // namespace recmon
