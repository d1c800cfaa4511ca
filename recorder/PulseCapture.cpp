#include "PulseCapture.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace recmon {

namespace {

using namespace std::chrono_literals;

// How long the server has to answer a connect and to start the streams.
constexpr auto kServerTimeout = 5s;
// Each stream delivers at this interval; small enough for smooth levels and a
// small buffer, large enough to cost little.
constexpr pa_usec_t kFragmentUsec = 20000;

std::string ErrorText(pa_context* context) {
  return pa_strerror(pa_context_errno(context));
}

// Waits, with the mainloop lock held, until `done` holds or time is up.
bool WaitLocked(pa_threaded_mainloop* loop, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kServerTimeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    // Signals come with every state change and list entry; the timeout
    // is checked between them, and a timer below wakes us regularly.
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

// Wakes waiters every 100 ms so that a silent server still lets them time out.
void OnWakeTimer(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* userdata) {
  pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0);
  timeval next{};
  pa_timeval_add(pa_gettimeofday(&next), 100000);
  api->time_restart(event, &next);
}

}  // namespace

void TFailureNote::Set(const std::string& message) {
  const std::lock_guard lock(Mutex_);
  if (!Set_.load(std::memory_order_relaxed)) {
    Message_ = message;
    Set_.store(true, std::memory_order_release);
  }
}

std::optional<std::string> TFailureNote::Get() const {
  if (!Set_.load(std::memory_order_acquire)) {
    return std::nullopt;
  }
  const std::lock_guard lock(Mutex_);
  return Message_;
}

TPulseConnection::TPulseConnection() {
  Loop_ = pa_threaded_mainloop_new();
  if (Loop_ == nullptr) {
    throw TSoundServerError("cannot set up the sound server connection");
  }
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(Loop_);
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "recmon-record");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "com.kestrum.recmon-record");
  pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "phone");
  Context_ = pa_context_new_with_proplist(api, "recmon-record", props);
  pa_proplist_free(props);
  if (Context_ == nullptr) {
    pa_threaded_mainloop_free(Loop_);
    throw TSoundServerError("cannot set up the sound server connection");
  }
  pa_context_set_state_callback(
      Context_,
      [](pa_context* c, void* userdata) {
        auto* self = static_cast<TPulseConnection*>(userdata);
        const pa_context_state_t state = pa_context_get_state(c);
        if (state == PA_CONTEXT_FAILED) {
          self->Failure_.Set("the sound server went away (" + ErrorText(c) + ")");
        }
        pa_threaded_mainloop_signal(self->Loop_, 0);
      },
      this);
  timeval first{};
  pa_timeval_add(pa_gettimeofday(&first), 100000);
  api->time_new(api, &first, OnWakeTimer, Loop_);

  // A recorder run as root, or in a session without a server, must not
  // start one of its own: it would record nothing.
  if (pa_context_connect(Context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(Loop_) < 0) {
    const std::string why = ErrorText(Context_);
    pa_context_unref(Context_);
    pa_threaded_mainloop_free(Loop_);
    throw TSoundServerError("no sound server (" + why +
                            "); is PulseAudio or PipeWire running in this session?");
  }
  std::string failure;
  {
    const TLoopLock lock(Loop_);
    const bool settled = WaitLocked(Loop_, [&] {
      const pa_context_state_t state = pa_context_get_state(Context_);
      return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    if (!settled) {
      failure = "the sound server did not answer within 5 seconds";
    } else if (pa_context_get_state(Context_) != PA_CONTEXT_READY) {
      failure = "no sound server (" + ErrorText(Context_) +
                "); is PulseAudio or PipeWire running in this session?";
    }
  }
  if (!failure.empty()) {
    pa_threaded_mainloop_stop(Loop_);
    pa_context_disconnect(Context_);
    pa_context_unref(Context_);
    pa_threaded_mainloop_free(Loop_);
    throw TSoundServerError(failure);
  }
}

TPulseConnection::~TPulseConnection() {
  {
    const TLoopLock lock(Loop_);
    pa_context_set_state_callback(Context_, nullptr, nullptr);
    pa_context_disconnect(Context_);
  }
  pa_threaded_mainloop_stop(Loop_);
  pa_context_unref(Context_);
  pa_threaded_mainloop_free(Loop_);
}

void TPulseConnection::Locked(const std::function<void()>& f) {
  const TLoopLock lock(Loop_);
  f();
}

namespace {

// libpulse leaves a text it does not know as a null pointer.
std::string OrEmpty(const char* text) {
  return text != nullptr ? text : "";
}

struct TQuery {
  pa_threaded_mainloop* Loop = nullptr;
  TServerInfo Info;
  int Pending = 0;
};

void Finished(TQuery* q) {
  --q->Pending;
  pa_threaded_mainloop_signal(q->Loop, 0);
}

}  // namespace

TServerInfo TPulseConnection::Query() {
  TQuery query;
  query.Loop = Loop_;
  const TLoopLock lock(Loop_);
  const auto run = [&](pa_operation* op) {
    if (op == nullptr) {
      throw TSoundServerError("the sound server refused a question (" + ErrorText(Context_) + ")");
    }
    ++query.Pending;
    pa_operation_unref(op);
  };
  run(pa_context_get_server_info(
      Context_,
      [](pa_context*, const pa_server_info* i, void* userdata) {
        auto* q = static_cast<TQuery*>(userdata);
        if (i != nullptr) {
          q->Info.ServerName = OrEmpty(i->server_name);
          q->Info.ServerVersion = OrEmpty(i->server_version);
          q->Info.DefaultSource = OrEmpty(i->default_source_name);
          q->Info.DefaultSink = OrEmpty(i->default_sink_name);
        }
        Finished(q);
      },
      &query));
  run(pa_context_get_sink_info_list(
      Context_,
      [](pa_context*, const pa_sink_info* i, int eol, void* userdata) {
        auto* q = static_cast<TQuery*>(userdata);
        if (eol != 0 || i == nullptr) {
          Finished(q);
          return;
        }
        q->Info.Sinks.push_back(
            {i->name, OrEmpty(i->description), OrEmpty(i->monitor_source_name)});
      },
      &query));
  run(pa_context_get_source_info_list(
      Context_,
      [](pa_context*, const pa_source_info* i, int eol, void* userdata) {
        auto* q = static_cast<TQuery*>(userdata);
        if (eol != 0 || i == nullptr) {
          Finished(q);
          return;
        }
        q->Info.Sources.push_back({i->name, OrEmpty(i->description), i->sample_spec.channels, ""});
        if (i->monitor_of_sink != PA_INVALID_INDEX) {
          // Named after the sink below, once every sink is known.
          q->Info.Sources.back().MonitorOf = std::to_string(i->monitor_of_sink);
        }
      },
      &query));
  if (!WaitLocked(Loop_, [&] { return query.Pending == 0; })) {
    throw TSoundServerError("the sound server did not answer within 5 seconds");
  }
  if (const auto failure = Failure_.Get()) {
    throw TSoundServerError(*failure);
  }
  for (TSourceInfo& source : query.Info.Sources) {
    if (source.MonitorOf.empty()) {
      continue;
    }
    source.MonitorOf = "an output";
    for (const TSinkInfo& sink : query.Info.Sinks) {
      if (sink.MonitorSource == source.Name) {
        source.MonitorOf = sink.Name;
      }
    }
  }
  return query.Info;
}

struct TPulseCapture::TStream {
  TPulseConnection* Connection = nullptr;
  TSide Side = TSide::Mic;
  std::string SourceName;
  unsigned Channels = 1;
  pa_stream* Stream = nullptr;
  bool Stopping = false;
  TSamples SamplesFn;
  THole HoleFn;
};

namespace {

void OnStreamState(pa_stream* s, void* userdata) {
  auto* st = static_cast<TPulseCapture::TStream*>(userdata);
  const pa_stream_state_t state = pa_stream_get_state(s);
  if (!st->Stopping && (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)) {
    st->Connection->FailureNote().Set("the sound server stopped the recording of " +
                                      st->SourceName + " (" + ErrorText(pa_stream_get_context(s)) +
                                      ")");
  }
  pa_threaded_mainloop_signal(st->Connection->Loop(), 0);
}

void OnStreamRead(pa_stream* s, std::size_t, void* userdata) {
  auto* st = static_cast<TPulseCapture::TStream*>(userdata);
  const std::size_t frameBytes = sizeof(float) * st->Channels;
  while (pa_stream_readable_size(s) > 0) {
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_peek(s, &data, &bytes) < 0) {
      st->Connection->FailureNote().Set("reading " + st->SourceName + " failed (" +
                                        ErrorText(pa_stream_get_context(s)) + ")");
      return;
    }
    if (bytes == 0) {
      return;
    }
    if (data == nullptr) {
      st->HoleFn(st->Side, bytes / frameBytes);
    } else {
      st->SamplesFn(st->Side,
                    std::span(static_cast<const float*>(data), bytes / frameBytes * st->Channels),
                    st->Channels);
    }
    pa_stream_drop(s);
  }
}

}  // namespace

TPulseCapture::TPulseCapture(TPulseConnection& connection, const TChosenSources& sources,
                             TSamples samples, THole hole)
    : Connection_(connection) {
  const TLoopLock lock(connection.Loop());
  const auto open = [&](TSide side, const TSourceInfo& source, const char* streamName) {
    auto st = std::make_unique<TStream>();
    st->Connection = &connection;
    st->Side = side;
    st->SourceName = source.Name;
    st->Channels = source.Channels;
    st->SamplesFn = samples;
    st->HoleFn = hole;
    // The source's own channel count: the server never mixes channels for us
    // (PipeWire would sum them), and the downmix stays ours.
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kSampleRate, source.Channels};
    pa_channel_map map{};
    pa_channel_map_init_extend(&map, source.Channels, PA_CHANNEL_MAP_DEFAULT);
    st->Stream = pa_stream_new(connection.Context(), streamName, &format, &map);
    if (st->Stream == nullptr) {
      throw TSoundServerError("cannot record " + source.Name + " (" +
                              ErrorText(connection.Context()) + ")");
    }
    pa_stream_set_state_callback(st->Stream, OnStreamState, st.get());
    pa_stream_set_read_callback(st->Stream, OnStreamRead, st.get());
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUsec, &format));
    if (pa_stream_connect_record(st->Stream, source.Name.c_str(), &attr, PA_STREAM_ADJUST_LATENCY) <
        0) {
      throw TSoundServerError("cannot record " + source.Name + " (" +
                              ErrorText(connection.Context()) + ")");
    }
    Streams_[static_cast<std::size_t>(side)] = std::move(st);
  };
  try {
    open(TSide::Mic, sources.Mic, "Microphone");
    if (sources.Others) {
      open(TSide::Others, *sources.Others, "Other parties");
    }
    const auto state = [&](const std::unique_ptr<TStream>& st) {
      return st ? pa_stream_get_state(st->Stream) : PA_STREAM_READY;
    };
    const bool settled = WaitLocked(connection.Loop(), [&] {
      return std::all_of(std::begin(Streams_), std::end(Streams_), [&](const auto& st) {
        return state(st) == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state(st));
      });
    });
    for (const auto& st : Streams_) {
      if (st && (!settled || state(st) != PA_STREAM_READY)) {
        throw TSoundServerError(
            "cannot record " + st->SourceName + " (" +
            (settled ? ErrorText(connection.Context()) : std::string("no answer in 5 seconds")) +
            ")");
      }
    }
  } catch (...) {
    for (auto& st : Streams_) {
      if (st) {
        st->Stopping = true;
        pa_stream_disconnect(st->Stream);
        pa_stream_unref(st->Stream);
        st.reset();
      }
    }
    throw;
  }
}

TPulseCapture::~TPulseCapture() {
  Stop();
}

void TPulseCapture::Stop() {
  const TLoopLock lock(Connection_.Loop());
  for (auto& st : Streams_) {
    if (st) {
      st->Stopping = true;
      pa_stream_set_read_callback(st->Stream, nullptr, nullptr);
      pa_stream_set_state_callback(st->Stream, nullptr, nullptr);
      pa_stream_disconnect(st->Stream);
      pa_stream_unref(st->Stream);
      st.reset();
    }
  }
}

}  // namespace recmon
