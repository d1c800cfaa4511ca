#include "SoundServerLink.h"

#include "CallPlaybackCapture.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "CaptureSink.h"

namespace recmon {

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// How long the server has to answer a connect and to start the streams.
constexpr auto kServerTimeout = 5s;
// Each stream delivers at this interval; small enough for smooth levels and a
// small buffer, large enough to cost little.
constexpr pa_usec_t kFragmentUsec = 20000;
// The first wait before trying to reach a server that went away.
constexpr std::chrono::milliseconds kFirstReconnectWait{100};

std::string ErrorText(pa_context* context) {
  return pa_strerror(pa_context_errno(context));
}

// libpulse leaves a text it does not know as a null pointer.
std::string OrEmpty(const char* text) {
  return text != nullptr ? text : "";
}

// Waits, with the mainloop lock held, until `done` holds or time is up.
bool WaitLocked(pa_threaded_mainloop* loop, const std::function<bool()>& done) {
  const auto deadline = TClock::now() + kServerTimeout;
  while (!done()) {
    if (TClock::now() >= deadline) {
      return false;
    }
    // Signals come with every state change and list entry; the timeout is
    // checked between them, and the link's timer wakes us regularly.
    pa_threaded_mainloop_wait(loop);
  }
  return true;
}

class TLoopLock final {
 public:
  explicit TLoopLock(pa_threaded_mainloop* loop) : Loop_(loop) { pa_threaded_mainloop_lock(Loop_); }
  ~TLoopLock() { pa_threaded_mainloop_unlock(Loop_); }
  TLoopLock(const TLoopLock&) = delete;
  TLoopLock& operator=(const TLoopLock&) = delete;

 private:
  pa_threaded_mainloop* Loop_;
};

TSpeaker SpeakerOf(pa_channel_position_t position) {
  switch (position) {
    case PA_CHANNEL_POSITION_MONO:
      return TSpeaker::Mono;
    case PA_CHANNEL_POSITION_FRONT_LEFT:
      return TSpeaker::FrontLeft;
    case PA_CHANNEL_POSITION_FRONT_RIGHT:
      return TSpeaker::FrontRight;
    case PA_CHANNEL_POSITION_FRONT_CENTER:
      return TSpeaker::FrontCenter;
    case PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER:
    case PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER:
      return TSpeaker::FrontSide;
    case PA_CHANNEL_POSITION_REAR_LEFT:
    case PA_CHANNEL_POSITION_REAR_RIGHT:
    case PA_CHANNEL_POSITION_SIDE_LEFT:
    case PA_CHANNEL_POSITION_SIDE_RIGHT:
      return TSpeaker::Surround;
    case PA_CHANNEL_POSITION_REAR_CENTER:
      return TSpeaker::RearCenter;
    case PA_CHANNEL_POSITION_LFE:
      return TSpeaker::Lfe;
    default:
      return TSpeaker::Other;
  }
}

pa_context* NewContext(pa_mainloop_api* api) {
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "recmon-record");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "com.kestrum.recmon-record");
  pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "phone");
  pa_context* context = pa_context_new_with_proplist(api, "recmon-record", props);
  pa_proplist_free(props);
  return context;
}

std::string Seconds(TClock::duration d) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(d).count());
  return text;
}

}  // namespace

const char* SideName(TSide side) {
  return side == TSide::Mic ? "the microphone" : "the other parties";
}

struct TSoundServerLink::TStream {
  TSoundServerLink* Link = nullptr;
  TSide Side = TSide::Mic;
  TSourceInfo Source;
  std::vector<float> Weights;
  std::vector<float> Samples;  // the last fragment, as floats
  // When the stream last came back from a pause (the process held up, say):
  // its timing is trusted again once the server has answered since.
  timeval ResumedAt{};
  TClock::time_point LastRead{};
  TClock::time_point LastAged{};  // when the age of a delivery was last asked for
  TClock::time_point Resumed{};   // ResumedAt on our clock
  pa_stream* Stream = nullptr;
  bool Ended = false;  // the server ended it; the link replaces it
};

struct TSoundServerLink::TQuery {
  pa_threaded_mainloop* Loop = nullptr;
  TSoundServerLink* Link = nullptr;  // an answer for the running link; nothing for Query()
  TServerInfo Info;
  std::map<std::string, std::shared_ptr<pa_channel_map>> Maps;
  int Pending = 0;
};

namespace {

void Finished(TSoundServerLink::TQuery* q);

// Asks for the server's defaults, outputs and sources; false when the
// server refused to be asked.
bool Ask(pa_context* context, TSoundServerLink::TQuery* query) {
  const auto run = [&](pa_operation* op) {
    if (op == nullptr) {
      return false;
    }
    ++query->Pending;
    pa_operation_unref(op);
    return true;
  };
  return run(pa_context_get_server_info(
             context,
             [](pa_context*, const pa_server_info* i, void* userdata) {
               auto* q = static_cast<TSoundServerLink::TQuery*>(userdata);
               if (i != nullptr) {
                 q->Info.ServerName = OrEmpty(i->server_name);
                 q->Info.ServerVersion = OrEmpty(i->server_version);
                 q->Info.DefaultSource = OrEmpty(i->default_source_name);
                 q->Info.DefaultSink = OrEmpty(i->default_sink_name);
               }
               Finished(q);
             },
             query)) &&
         run(pa_context_get_sink_info_list(
             context,
             [](pa_context*, const pa_sink_info* i, int eol, void* userdata) {
               auto* q = static_cast<TSoundServerLink::TQuery*>(userdata);
               if (eol != 0 || i == nullptr) {
                 Finished(q);
                 return;
               }
               q->Info.Sinks.push_back(
                   {i->name, OrEmpty(i->description), OrEmpty(i->monitor_source_name)});
             },
             query)) &&
         run(pa_context_get_source_info_list(
             context,
             [](pa_context*, const pa_source_info* i, int eol, void* userdata) {
               auto* q = static_cast<TSoundServerLink::TQuery*>(userdata);
               if (eol != 0 || i == nullptr) {
                 Finished(q);
                 return;
               }
               TSourceInfo source{i->name, OrEmpty(i->description), i->sample_spec.channels, "", {},
                                  {}};
               for (std::uint8_t c = 0; c < i->channel_map.channels; ++c) {
                 source.Layout.push_back(SpeakerOf(i->channel_map.map[c]));
               }
               if (i->monitor_of_sink != PA_INVALID_INDEX) {
                 // Named after the sink below, once every sink is known.
                 source.MonitorOf = "an output";
               }
               q->Maps[source.Name] = std::make_shared<pa_channel_map>(i->channel_map);
               q->Info.Sources.push_back(std::move(source));
             },
             query));
}

void NameMonitors(TServerInfo& info) {
  for (TSourceInfo& source : info.Sources) {
    if (source.MonitorOf.empty()) {
      continue;
    }
    for (const TSinkInfo& sink : info.Sinks) {
      if (sink.MonitorSource == source.Name) {
        source.MonitorOf = sink.Name;
      }
    }
  }
}

}  // namespace

TSoundServerLink::TSoundServerLink() {
  Loop_ = pa_threaded_mainloop_new();
  if (Loop_ == nullptr) {
    throw TSoundServerError("cannot set up the sound server connection");
  }
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(Loop_);
  timeval first{};
  pa_timeval_add(pa_gettimeofday(&first), std::chrono::microseconds(kLinkTick).count());
  Timer_ = api->time_new(
      api, &first,
      [](pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
        static_cast<TSoundServerLink*>(userdata)->OnTimer();
      },
      this);
  Chores_ = api->defer_new(
      api,
      [](pa_mainloop_api*, pa_defer_event*, void* userdata) {
        static_cast<TSoundServerLink*>(userdata)->OnChores();
      },
      this);
  api->defer_enable(Chores_, 0);
  if (pa_threaded_mainloop_start(Loop_) < 0) {
    api->time_free(Timer_);
    api->defer_free(Chores_);
    pa_threaded_mainloop_free(Loop_);
    throw TSoundServerError("cannot set up the sound server connection");
  }
  std::string failure;
  {
    const TLoopLock lock(Loop_);
    // A recorder run as root, or in a session without a server, must not
    // start one of its own: it would record nothing.
    if (!Connect()) {
      failure = "no sound server (" + LastError_ +
                "); is PulseAudio or PipeWire running in this session?";
    } else {
      const bool settled = WaitLocked(Loop_, [&] {
        const pa_context_state_t state = pa_context_get_state(Context_);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
      });
      if (!settled) {
        failure = "the sound server did not answer within 5 seconds";
      } else if (pa_context_get_state(Context_) != PA_CONTEXT_READY) {
        failure = "no sound server (" + ErrorText(Context_) +
                  "); is PulseAudio or PipeWire running in this session?";
      } else {
        Ready_ = true;
      }
    }
  }
  if (!failure.empty()) {
    Shutdown();
    throw TSoundServerError(failure);
  }
}

TSoundServerLink::~TSoundServerLink() {
  Shutdown();
}

void TSoundServerLink::Shutdown() {
  if (Loop_ == nullptr) {
    return;
  }
  {
    const TLoopLock lock(Loop_);
    Running_ = false;
    for (auto& st : Streams_) {
      DropStream(st);
    }
    DropPlayback();
    DropContext();
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(Loop_);
    api->time_free(Timer_);
    api->defer_free(Chores_);
  }
  pa_threaded_mainloop_stop(Loop_);
  for (pa_context* context : DeadContexts_) {
    pa_context_unref(context);
  }
  pa_threaded_mainloop_free(Loop_);
  Loop_ = nullptr;
}

bool TSoundServerLink::Connect() {
  Context_ = NewContext(pa_threaded_mainloop_get_api(Loop_));
  if (Context_ == nullptr) {
    LastError_ = "cannot set up the sound server connection";
    return false;
  }
  pa_context_set_state_callback(
      Context_,
      [](pa_context*, void* userdata) {
        auto* self = static_cast<TSoundServerLink*>(userdata);
        pa_threaded_mainloop_signal(self->Loop_, 0);
        self->Schedule();
      },
      this);
  if (pa_context_connect(Context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    LastError_ = ErrorText(Context_);
    DropContext();
    return false;
  }
  return true;
}

void TSoundServerLink::DropContext() {
  if (Context_ == nullptr) {
    return;
  }
  pa_context_set_state_callback(Context_, nullptr, nullptr);
  pa_context_set_subscribe_callback(Context_, nullptr, nullptr);
  pa_context_disconnect(Context_);
  // Freed outside libpulse's own calls (see OnChores).
  DeadContexts_.push_back(Context_);
  Context_ = nullptr;
  Ready_ = false;
  Query_.reset();
  QueryRunning_ = false;
}

void TSoundServerLink::DropStream(std::unique_ptr<TStream>& st) {
  if (!st) {
    return;
  }
  pa_stream_set_read_callback(st->Stream, nullptr, nullptr);
  pa_stream_set_state_callback(st->Stream, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(st->Stream))) {
    pa_stream_disconnect(st->Stream);
  }
  pa_stream_unref(st->Stream);
  st.reset();
}

void TSoundServerLink::Schedule() {
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(Loop_);
  api->defer_enable(Chores_, 1);
}

TServerInfo TSoundServerLink::Query() {
  TQuery query;
  query.Loop = Loop_;
  const TLoopLock lock(Loop_);
  if (!Ready_ || !Ask(Context_, &query)) {
    throw TSoundServerError("the sound server refused a question (" +
                            (Context_ != nullptr ? ErrorText(Context_) : std::string("gone")) +
                            ")");
  }
  if (!WaitLocked(Loop_, [&] { return query.Pending == 0 || !Ready_; })) {
    throw TSoundServerError("the sound server did not answer within 5 seconds");
  }
  if (!Ready_) {
    throw TSoundServerError("the sound server went away");
  }
  NameMonitors(query.Info);
  Maps_ = std::move(query.Maps);
  return query.Info;
}

namespace {

void Finished(TSoundServerLink::TQuery* q) {
  if (--q->Pending > 0) {
    return;
  }
  if (q->Link != nullptr) {
    q->Link->Answered();
  } else {
    pa_threaded_mainloop_signal(q->Loop, 0);
  }
}

}  // namespace

void TSoundServerLink::Answered() {
  // Applied outside libpulse's own calls, where streams may be opened and closed.
  Schedule();
}

void TSoundServerLink::Start(const ISourcePolicy& policy, const TSideSources& first,
                             TLinkEvents events) {
  const TLoopLock lock(Loop_);
  Policy_ = &policy;
  Events_ = std::move(events);
  const TSideSources& chosen = first;
  try {
    for (const TSide side : {TSide::Mic, TSide::Others}) {
      const auto& source = side == TSide::Mic ? chosen.Mic : chosen.Others;
      if (side == TSide::Others && !policy.WithOthers()) {
        continue;
      }
      if (!source) {
        throw TSoundServerError(std::string("nothing to record ") + SideName(side) + " from");
      }
      if (!source->PlaybackStreams.empty()) {
        OpenPlayback(*source);
        continue;
      }
      Open(side, *source);
    }
    const auto state = [&](const std::unique_ptr<TStream>& st) {
      return st ? pa_stream_get_state(st->Stream) : PA_STREAM_READY;
    };
    const bool settled = WaitLocked(Loop_, [&] {
      return std::all_of(std::begin(Streams_), std::end(Streams_), [&](const auto& st) {
        return state(st) == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state(st));
      });
    });
    for (const auto& st : Streams_) {
      if (st && (!settled || state(st) != PA_STREAM_READY)) {
        throw TSoundServerError(
            "cannot record " + st->Source.Name + " (" +
            (settled ? ErrorText(Context_) : std::string("no answer in 5 seconds")) + ")");
      }
    }
  } catch (...) {
    for (auto& st : Streams_) {
      DropStream(st);
    }
    throw;
  }
  Running_ = true;
  Follow();
}

void TSoundServerLink::Stop() {
  const TLoopLock lock(Loop_);
  Running_ = false;
  for (auto& st : Streams_) {
    DropStream(st);
  }
  DropPlayback();
}

void TSoundServerLink::Reconsider() {
  const TLoopLock lock(Loop_);
  RequestQuery();
}

void TSoundServerLink::OpenPlayback(const TSourceInfo& source) {
  if (Playback_ && PlaybackSource_ == source) {
    return;
  }
  if (!Playback_) {
    // Handed on at a fixed latency behind the clock, which the sink takes
    // as the samples' age, so the side keeps its place beside the other.
    Playback_ = std::make_unique<TCallPlaybackCapture>(
        Loop_, Context_, [this](std::span<const float> mono) {
          static constexpr float kMono[] = {1.0F};
          Events_.Samples(
              TSide::Others, mono, kMono,
              std::chrono::duration_cast<TClock::duration>(TCallPlaybackCapture::kLatency));
        });
  }
  TCallPlayback choice{TPlaybackMatch::Own, {}, {}};
  for (const auto& [index, monitor] : source.PlaybackStreams) {
    TPlaybackStream stream;
    stream.Index = index;
    stream.SinkMonitor = monitor;
    choice.Streams.push_back(std::move(stream));
  }
  Playback_->Follow(choice);
  PlaybackSource_ = source;
  LastSource_[static_cast<std::size_t>(TSide::Others)] = source.Name;
}

void TSoundServerLink::DropPlayback() {
  if (Playback_) {
    Playback_->Stop();
    Playback_.reset();
    PlaybackSource_ = {};
  }
}

void TSoundServerLink::Locked(const std::function<void()>& f) {
  const TLoopLock lock(Loop_);
  f();
}

std::optional<TClock::time_point> TSoundServerLink::GoneSince() const {
  const std::int64_t ticks = GoneSince_.load(std::memory_order_relaxed);
  if (ticks == 0) {
    return std::nullopt;
  }
  return TClock::time_point(TClock::duration(ticks));
}

void TSoundServerLink::Follow() {
  pa_context_set_subscribe_callback(
      Context_,
      [](pa_context*, pa_subscription_event_type_t, std::uint32_t, void* userdata) {
        static_cast<TSoundServerLink*>(userdata)->RequestQuery();
      },
      this);
  pa_operation* op = pa_context_subscribe(
      Context_,
      static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SINK |
                                          PA_SUBSCRIPTION_MASK_SOURCE),
      nullptr, nullptr);
  if (op != nullptr) {
    pa_operation_unref(op);
  }
}

void TSoundServerLink::RequestQuery() {
  if (!Running_ || !Ready_) {
    return;
  }
  if (QueryRunning_) {
    QueryAgain_ = true;  // changes come in bursts; one more look after this one
    return;
  }
  Query_ = std::make_unique<TQuery>();
  Query_->Loop = Loop_;
  Query_->Link = this;
  QueryRunning_ = true;
  QueryAgain_ = false;
  if (!Ask(Context_, Query_.get())) {
    // The context is failing; its state change follows.
    Query_.reset();
    QueryRunning_ = false;
  }
}

void TSoundServerLink::OnTimer() {
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(Loop_);
  timeval next{};
  pa_timeval_add(pa_gettimeofday(&next), std::chrono::microseconds(kLinkTick).count());
  api->time_restart(Timer_, &next);
  // Wakes any wait of the main thread, so that a silent server still lets it time out.
  pa_threaded_mainloop_signal(Loop_, 0);
  if (!Running_) {
    return;
  }
  if (Events_.Tick) {
    Events_.Tick();
  }
  if (Context_ == nullptr && TClock::now() >= NextAttempt_) {
    Reconnect();
  }
}

void TSoundServerLink::OnChores() {
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(Loop_);
  api->defer_enable(Chores_, 0);
  if (Context_ != nullptr) {
    const pa_context_state_t state = pa_context_get_state(Context_);
    if (state == PA_CONTEXT_READY && !Ready_) {
      Ready_ = true;
      if (Running_) {
        Reconnected();
      }
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
      const std::string why = ErrorText(Context_);
      const bool wasReady = Ready_;
      DropContext();
      if (Running_) {
        wasReady ? Lost(why) : Retry();
      }
    }
  }
  if (Query_ && Query_->Pending == 0) {
    const std::unique_ptr<TQuery> answer = std::move(Query_);
    QueryRunning_ = false;
    if (QueryAgain_) {
      RequestQuery();
    } else if (Running_) {
      NameMonitors(answer->Info);
      Maps_ = answer->Maps;
      Apply(answer->Info);
    }
  }
  for (auto& st : Streams_) {
    if (st && st->Ended && Running_) {
      const std::string name = st->Source.Name;
      const TSide side = st->Side;
      const bool serverThere = Ready_;
      DropStream(st);
      Events_.Absent(side, true);
      if (serverThere) {
        // The source went, or the server ended the stream: choose again.
        RequestQuery();
      }
    }
  }
  for (pa_context* context : DeadContexts_) {
    pa_context_unref(context);
  }
  DeadContexts_.clear();
}

void TSoundServerLink::Lost(const std::string& why) {
  if (GoneSince_.load(std::memory_order_relaxed) == 0) {
    GoneSince_.store(TClock::now().time_since_epoch().count(), std::memory_order_relaxed);
  }
  for (auto& st : Streams_) {
    if (st) {
      const TSide side = st->Side;
      DropStream(st);
      Events_.Absent(side, true);
    }
  }
  if (Playback_) {
    DropPlayback();
    Events_.Absent(TSide::Others, true);
  }
  Tell("the sound server went away (" + why + "); recording silence until it is back");
  ReconnectWait_ = kFirstReconnectWait;
  NextAttempt_ = TClock::now() + ReconnectWait_;
}

void TSoundServerLink::Retry() {
  ReconnectWait_ = std::min(ReconnectWait_ * 2, kLongestReconnectWait);
  NextAttempt_ = TClock::now() + ReconnectWait_;
}

void TSoundServerLink::Reconnect() {
  if (!Connect()) {
    Retry();
  }
}

void TSoundServerLink::Reconnected() {
  const auto since = GoneSince();
  GoneSince_.store(0, std::memory_order_relaxed);
  if (since) {
    Tell("the sound server is back after " + Seconds(TClock::now() - *since) +
         "; recording goes on in the same file");
  }
  Follow();
  RequestQuery();
}

void TSoundServerLink::Apply(const TServerInfo& server) {
  const TSideSources chosen = Policy_->Choose(server);
  for (const TSide side : {TSide::Mic, TSide::Others}) {
    if (side == TSide::Others && !Policy_->WithOthers()) {
      continue;
    }
    const std::optional<TSourceInfo>& want = side == TSide::Mic ? chosen.Mic : chosen.Others;
    std::unique_ptr<TStream>& st = Streams_[static_cast<std::size_t>(side)];
    std::string& last = LastSource_[static_cast<std::size_t>(side)];
    if (side == TSide::Others && want && !want->PlaybackStreams.empty()) {
      const bool absent = !st && !Playback_;
      if (st) {
        DropStream(st);
      }
      if (!Playback_) {
        Events_.Restart(side);
      }
      OpenPlayback(*want);
      if (absent) {
        Events_.Absent(side, false);
      }
      continue;
    }
    if (side == TSide::Others && Playback_) {
      DropPlayback();
      if (!want) {
        Events_.Absent(side, true);
      }
    }
    if (!want) {
      if (st) {
        DropStream(st);
        Events_.Absent(side, true);
      }
      if (!last.empty()) {
        Tell(std::string("no source left for ") + SideName(side) +
             "; recording silence until one appears");
        last.clear();
      }
      continue;
    }
    if (st && st->Source.Name == want->Name && st->Source.Channels == want->Channels) {
      continue;
    }
    const bool absent = !st;
    if (st) {
      DropStream(st);
    }
    if (last != want->Name) {
      std::string text = std::string("recording ") + SideName(side) + " from " + want->Name;
      if (!last.empty()) {
        text += " (was " + last + (server.FindSource(last) == nullptr ? ", which went away)" : ")");
      }
      Tell(text);
    }
    Events_.Restart(side);
    Open(side, *want);
    if (absent) {
      Events_.Absent(side, false);
    }
  }
}

namespace {

void OnStreamState(pa_stream* s, void* userdata) {
  auto* st = static_cast<TSoundServerLink::TStream*>(userdata);
  const pa_stream_state_t state = pa_stream_get_state(s);
  pa_threaded_mainloop_signal(st->Link->Loop(), 0);
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
    st->Ended = true;
    st->Link->Schedule();
  }
}

// A pause in deliveries longer than this may have left the stream's timing
// stale; it is asked for again.
constexpr auto kTimingPause = 100ms;
// How often a delivery's age is asked for while nothing happens, and for how
// long at every delivery after a pause.
constexpr auto kAgeInterval = 100ms;
constexpr auto kAgeAfterPause = 2s;

// How long ago the newest sample read was captured, as the server's timing
// tells (the audio it still holds included); nothing while that timing is
// older than the stream's last pause.
std::optional<TClock::duration> AgeOf(pa_stream* s, const timeval& resumedAt) {
  const pa_timing_info* timing = pa_stream_get_timing_info(s);
  pa_usec_t latency = 0;
  int negative = 0;
  if (timing == nullptr || pa_timeval_cmp(&timing->timestamp, &resumedAt) < 0 ||
      pa_stream_get_latency(s, &latency, &negative) < 0) {
    return std::nullopt;
  }
  const auto age = std::chrono::microseconds(static_cast<std::int64_t>(latency));
  return negative != 0 ? -age : std::chrono::duration_cast<TClock::duration>(age);
}

void OnStreamRead(pa_stream* s, std::size_t, void* userdata) {
  auto* st = static_cast<TSoundServerLink::TStream*>(userdata);
  const auto now = TClock::now();
  if (now - st->LastRead > kTimingPause) {
    pa_gettimeofday(&st->ResumedAt);
    st->Resumed = now;
    if (pa_operation* op = pa_stream_update_timing_info(s, nullptr, nullptr)) {
      pa_operation_unref(op);
    }
  }
  st->LastRead = now;
  const auto channels = static_cast<std::size_t>(st->Weights.size());
  const std::size_t frameBytes = sizeof(std::int16_t) * channels;
  // What is readable goes on in deliveries of a fragment or more: fewer,
  // larger steps, the age of the newest sample asked for once each, and
  // still small enough to tell where in a burst the audio jumped.
  const std::size_t fragment = kSampleRate * kFragmentUsec / 1000000 * channels;
  st->Samples.clear();
  // The age costs libpulse some work: asked for ten times a second, and at
  // every delivery for a while after a pause, when it tells late from lost.
  const bool ageEach = now - st->Resumed < kAgeAfterPause;
  const auto deliver = [&] {
    if (st->Samples.empty()) {
      return;
    }
    std::optional<TClock::duration> age;
    if (ageEach || now - st->LastAged >= kAgeInterval) {
      age = AgeOf(s, st->ResumedAt);
      st->LastAged = now;
    }
    st->Link->Events().Samples(st->Side, st->Samples, st->Weights, age);
    st->Samples.clear();
  };
  while (pa_stream_readable_size(s) > 0) {
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_peek(s, &data, &bytes) < 0) {
      st->Ended = true;
      st->Link->Schedule();
      return;
    }
    if (bytes == 0) {
      break;
    }
    if (data == nullptr) {
      deliver();
      pa_stream_drop(s);
      st->Link->Events().Hole(st->Side, bytes / frameBytes);
      continue;
    }
    const std::span samples(static_cast<const std::int16_t*>(data), bytes / frameBytes * channels);
    const std::size_t at = st->Samples.size();
    st->Samples.resize(at + samples.size());
    std::transform(samples.begin(), samples.end(),
                   st->Samples.begin() + static_cast<std::ptrdiff_t>(at),
                   [](std::int16_t v) { return static_cast<float>(v) * (1.0F / 32768); });
    pa_stream_drop(s);
    if (st->Samples.size() >= fragment) {
      deliver();
    }
  }
  deliver();
}

}  // namespace

void TSoundServerLink::Open(TSide side, const TSourceInfo& source) {
  auto st = std::make_unique<TStream>();
  st->Link = this;
  st->Side = side;
  st->Source = source;
  st->Weights = DownmixWeights(source.Layout, source.Channels);
  LastSource_[static_cast<std::size_t>(side)] = source.Name;
  // The source's own channels and layout: the server never mixes channels
  // for us (PipeWire would sum them), and the downmix stays ours. 16 bits,
  // as the files are written: a server keeps up to 4 MB for a reader that
  // is held up, twice as long a stretch as in 32-bit floats (PulseAudio:
  // 21 s of a stereo output instead of 11).
  const pa_sample_spec format{PA_SAMPLE_S16NE, kSampleRate, source.Channels};
  pa_channel_map map{};
  const auto known = Maps_.find(source.Name);
  if (known != Maps_.end() && known->second->channels == source.Channels) {
    map = *known->second;
  } else {
    pa_channel_map_init_extend(&map, source.Channels, PA_CHANNEL_MAP_DEFAULT);
  }
  const char* streamName = side == TSide::Mic ? "Microphone" : "Other parties";
  st->Stream = pa_stream_new(Context_, streamName, &format, &map);
  if (st->Stream == nullptr) {
    if (!Running_) {
      throw TSoundServerError("cannot record " + source.Name + " (" + ErrorText(Context_) + ")");
    }
    Events_.Absent(side, true);
    return;
  }
  pa_stream_set_state_callback(st->Stream, OnStreamState, st.get());
  pa_stream_set_read_callback(st->Stream, OnStreamRead, st.get());
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUsec, &format));
  // Never moved by the server: when the source goes, the stream ends and the
  // policy chooses what follows.
  const auto flags = static_cast<pa_stream_flags_t>(
      PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE | PA_STREAM_AUTO_TIMING_UPDATE |
      PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_NOT_MONOTONIC);
  const int connected = pa_stream_connect_record(st->Stream, source.Name.c_str(), &attr, flags);
  Streams_[static_cast<std::size_t>(side)] = std::move(st);
  if (connected < 0) {
    if (!Running_) {
      throw TSoundServerError("cannot record " + source.Name + " (" + ErrorText(Context_) + ")");
    }
    Streams_[static_cast<std::size_t>(side)]->Ended = true;
    Schedule();
  }
}

void TSoundServerLink::Tell(const std::string& text) {
  if (Events_.Told) {
    Events_.Told(text);
  }
}

}  // namespace recmon
