#include "PulseWatcher.h"

#include <pulse/pulseaudio.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <system_error>

namespace recmon {

namespace {

// Reconnect attempts after the server went away: soon, then less often.
constexpr pa_usec_t kFirstRetryUsec = 100 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kLongestRetryUsec = PA_USEC_PER_SEC;

std::string OrEmpty(const char* text) {
  return text != nullptr ? text : "";
}

TStreamOwner OwnerOf(const pa_proplist* props) {
  TStreamOwner owner;
  if (props == nullptr) {
    return owner;
  }
  owner.AppName = OrEmpty(pa_proplist_gets(props, PA_PROP_APPLICATION_NAME));
  owner.Binary = OrEmpty(pa_proplist_gets(props, PA_PROP_APPLICATION_PROCESS_BINARY));
  const std::string pid = OrEmpty(pa_proplist_gets(props, PA_PROP_APPLICATION_PROCESS_ID));
  char* end = nullptr;
  const unsigned long value = std::strtoul(pid.c_str(), &end, 10);
  if (!pid.empty() && *end == '\0' && value <= 0xFFFFFFFFul) {
    owner.Pid = static_cast<std::uint32_t>(value);
  }
  return owner;
}

// What a stream's own properties leave out, its client's may tell.
void Complete(TStreamOwner& owner, const TStreamOwner& client) {
  if (owner.AppName.empty()) {
    owner.AppName = client.AppName;
  }
  if (owner.Binary.empty()) {
    owner.Binary = client.Binary;
  }
  if (owner.Pid == 0) {
    owner.Pid = client.Pid;
  }
}

}  // namespace

struct TPulseWatcher::TState {
  pa_threaded_mainloop* Loop = nullptr;
  pa_mainloop_api* Api = nullptr;
  pa_context* Context = nullptr;
  pa_time_event* Retry = nullptr;
  pa_usec_t RetryUsec = kFirstRetryUsec;
  int EventFd = -1;

  // One round of questions at a time; a change during a round asks again.
  int Pending = 0;
  bool Again = false;
  bool Stopping = false;

  // The round being answered.
  std::string ServerName;
  std::string DefaultSink;
  std::map<std::uint32_t, TStreamOwner> Clients;
  struct TSource {
    std::string Name;
    bool Monitor = false;
    std::uint8_t Channels = 1;
  };
  std::map<std::uint32_t, TSource> Sources;
  std::map<std::uint32_t, std::pair<std::string, std::string>> Sinks;  // name, monitor
  struct TRawCapture {
    TCaptureStream Stream;
    std::uint32_t Client = PA_INVALID_INDEX;
    std::uint32_t Source = PA_INVALID_INDEX;
  };
  struct TRawPlayback {
    TPlaybackStream Stream;
    std::uint32_t Client = PA_INVALID_INDEX;
    std::uint32_t Sink = PA_INVALID_INDEX;
  };
  std::vector<TRawCapture> Captures;
  std::vector<TRawPlayback> Playbacks;

  mutable std::mutex Mutex;  // guards Report
  TWatchReport Report;

  void Publish(const std::function<void(TWatchReport&)>& change) {
    {
      const std::lock_guard lock(Mutex);
      change(Report);
    }
    const std::uint64_t one = 1;
    // A full counter still wakes the reader, which is all it is for.
    [[maybe_unused]] const ssize_t written = ::write(EventFd, &one, sizeof one);
  }

  void Connect();
  void Lost(const std::string& why);
  void Ask();
  void Answered();
};

namespace {

void OnRetry(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* userdata) {
  auto* s = static_cast<TPulseWatcher::TState*>(userdata);
  api->time_free(event);
  s->Retry = nullptr;
  s->Connect();
}

void OnSubscription(pa_context*, pa_subscription_event_type_t, std::uint32_t, void* userdata) {
  static_cast<TPulseWatcher::TState*>(userdata)->Ask();
}

void OnContextState(pa_context* c, void* userdata) {
  auto* s = static_cast<TPulseWatcher::TState*>(userdata);
  switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY: {
      s->RetryUsec = kFirstRetryUsec;
      pa_context_set_subscribe_callback(c, OnSubscription, s);
      const auto mask = static_cast<pa_subscription_mask_t>(
          PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE |
          PA_SUBSCRIPTION_MASK_SINK_INPUT | PA_SUBSCRIPTION_MASK_SOURCE_OUTPUT |
          PA_SUBSCRIPTION_MASK_CLIENT | PA_SUBSCRIPTION_MASK_SERVER);
      if (pa_operation* op = pa_context_subscribe(c, mask, nullptr, nullptr)) {
        pa_operation_unref(op);
      }
      s->Ask();
      break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      if (!s->Stopping) {
        s->Lost(pa_strerror(pa_context_errno(c)));
      }
      break;
    default:
      break;
  }
}

}  // namespace

void TPulseWatcher::TState::Connect() {
  if (Context != nullptr) {
    pa_context_set_state_callback(Context, nullptr, nullptr);
    pa_context_set_subscribe_callback(Context, nullptr, nullptr);
    pa_context_disconnect(Context);
    pa_context_unref(Context);
    Context = nullptr;
  }
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "recmon-record");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "com.kestrum.recmon-record");
  Context = pa_context_new_with_proplist(Api, "recmon-record", props);
  pa_proplist_free(props);
  if (Context == nullptr) {
    Lost("cannot set up a connection");
    return;
  }
  pa_context_set_state_callback(Context, OnContextState, this);
  Pending = 0;
  Again = false;
  // A recorder must not start a server of its own: it would hear no call.
  if (pa_context_connect(Context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    Lost(pa_strerror(pa_context_errno(Context)));
  }
}

void TPulseWatcher::TState::Lost(const std::string& why) {
  Publish([&](TWatchReport& report) {
    if (report.Connected) {
      ++report.Losses;
    }
    report.Connected = false;
    report.Streams.reset();
    report.Failure = why;
  });
  // The failed context is replaced in the retry, outside its own callback.
  if (Retry == nullptr) {
    timeval when{};
    pa_timeval_add(pa_gettimeofday(&when), RetryUsec);
    Retry = Api->time_new(Api, &when, OnRetry, this);
    RetryUsec = std::min(RetryUsec * 2, kLongestRetryUsec);
  }
}

namespace {

TPulseWatcher::TState* StateOf(void* userdata) {
  return static_cast<TPulseWatcher::TState*>(userdata);
}

}  // namespace

void TPulseWatcher::TState::Ask() {
  if (Pending > 0) {
    Again = true;
    return;
  }
  ServerName.clear();
  DefaultSink.clear();
  Clients.clear();
  Sources.clear();
  Sinks.clear();
  Captures.clear();
  Playbacks.clear();
  const auto run = [&](pa_operation* op) {
    if (op != nullptr) {
      ++Pending;
      pa_operation_unref(op);
    }
  };
  run(pa_context_get_server_info(
      Context,
      [](pa_context*, const pa_server_info* i, void* userdata) {
        TState* s = StateOf(userdata);
        if (i != nullptr) {
          s->ServerName = OrEmpty(i->server_name);
          s->DefaultSink = OrEmpty(i->default_sink_name);
        }
        s->Answered();
      },
      this));
  run(pa_context_get_client_info_list(
      Context,
      [](pa_context*, const pa_client_info* i, int eol, void* userdata) {
        TState* s = StateOf(userdata);
        if (eol != 0 || i == nullptr) {
          s->Answered();
          return;
        }
        s->Clients[i->index] = OwnerOf(i->proplist);
      },
      this));
  run(pa_context_get_sink_info_list(
      Context,
      [](pa_context*, const pa_sink_info* i, int eol, void* userdata) {
        TState* s = StateOf(userdata);
        if (eol != 0 || i == nullptr) {
          s->Answered();
          return;
        }
        s->Sinks[i->index] = {OrEmpty(i->name), OrEmpty(i->monitor_source_name)};
      },
      this));
  run(pa_context_get_source_info_list(
      Context,
      [](pa_context*, const pa_source_info* i, int eol, void* userdata) {
        TState* s = StateOf(userdata);
        if (eol != 0 || i == nullptr) {
          s->Answered();
          return;
        }
        s->Sources[i->index] = {OrEmpty(i->name), i->monitor_of_sink != PA_INVALID_INDEX,
                                i->sample_spec.channels};
      },
      this));
  run(pa_context_get_source_output_info_list(
      Context,
      [](pa_context*, const pa_source_output_info* i, int eol, void* userdata) {
        TState* s = StateOf(userdata);
        if (eol != 0 || i == nullptr) {
          s->Answered();
          return;
        }
        TRawCapture raw;
        raw.Stream.Index = i->index;
        raw.Stream.Owner = OwnerOf(i->proplist);
        raw.Stream.RateHz = i->sample_spec.rate;
        raw.Client = i->client;
        raw.Source = i->source;
        s->Captures.push_back(std::move(raw));
      },
      this));
  run(pa_context_get_sink_input_info_list(
      Context,
      [](pa_context*, const pa_sink_input_info* i, int eol, void* userdata) {
        TState* s = StateOf(userdata);
        if (eol != 0 || i == nullptr) {
          s->Answered();
          return;
        }
        TRawPlayback raw;
        raw.Stream.Index = i->index;
        raw.Stream.Owner = OwnerOf(i->proplist);
        raw.Client = i->client;
        raw.Sink = i->sink;
        s->Playbacks.push_back(std::move(raw));
      },
      this));
  // No question asked (Pending 0) means the context is failing; its state
  // callback says so.
}

void TPulseWatcher::TState::Answered() {
  if (--Pending > 0) {
    return;
  }
  TServerStreams streams;
  for (TRawCapture& raw : Captures) {
    if (const auto client = Clients.find(raw.Client); client != Clients.end()) {
      Complete(raw.Stream.Owner, client->second);
    }
    if (const auto source = Sources.find(raw.Source); source != Sources.end()) {
      raw.Stream.Source = source->second.Name;
      raw.Stream.SourceIsMonitor = source->second.Monitor;
      raw.Stream.SourceChannels = source->second.Channels;
    }
    streams.Captures.push_back(std::move(raw.Stream));
  }
  for (TRawPlayback& raw : Playbacks) {
    if (const auto client = Clients.find(raw.Client); client != Clients.end()) {
      Complete(raw.Stream.Owner, client->second);
    }
    if (const auto sink = Sinks.find(raw.Sink); sink != Sinks.end()) {
      raw.Stream.Sink = sink->second.first;
      raw.Stream.SinkMonitor = sink->second.second;
    }
    streams.Playbacks.push_back(std::move(raw.Stream));
  }
  streams.DefaultSink = DefaultSink;
  for (const auto& [index, sink] : Sinks) {
    if (sink.first == DefaultSink) {
      streams.DefaultSinkMonitor = sink.second;
    }
  }
  Publish([&](TWatchReport& report) {
    report.Connected = true;
    report.Streams = std::move(streams);
    report.ServerName = ServerName;
    report.Failure.clear();
  });
  if (Again) {
    Again = false;
    Ask();
  }
}

TPulseWatcher::TPulseWatcher() : State_(std::make_unique<TState>()) {
  TState& s = *State_;
  s.EventFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (s.EventFd < 0) {
    throw std::system_error(errno, std::generic_category(), "cannot make an event counter");
  }
  s.Loop = pa_threaded_mainloop_new();
  if (s.Loop == nullptr) {
    ::close(s.EventFd);
    throw std::runtime_error("cannot set up the sound server connection");
  }
  s.Api = pa_threaded_mainloop_get_api(s.Loop);
  pa_threaded_mainloop_lock(s.Loop);
  s.Connect();
  pa_threaded_mainloop_unlock(s.Loop);
  if (pa_threaded_mainloop_start(s.Loop) < 0) {
    pa_threaded_mainloop_free(s.Loop);
    ::close(s.EventFd);
    throw std::runtime_error("cannot start the sound server connection's thread");
  }
}

TPulseWatcher::~TPulseWatcher() {
  TState& s = *State_;
  pa_threaded_mainloop_lock(s.Loop);
  s.Stopping = true;
  if (s.Retry != nullptr) {
    s.Api->time_free(s.Retry);
    s.Retry = nullptr;
  }
  if (s.Context != nullptr) {
    pa_context_set_state_callback(s.Context, nullptr, nullptr);
    pa_context_set_subscribe_callback(s.Context, nullptr, nullptr);
    pa_context_disconnect(s.Context);
  }
  pa_threaded_mainloop_unlock(s.Loop);
  pa_threaded_mainloop_stop(s.Loop);
  if (s.Context != nullptr) {
    pa_context_unref(s.Context);
  }
  pa_threaded_mainloop_free(s.Loop);
  ::close(s.EventFd);
}

int TPulseWatcher::Fd() const {
  return State_->EventFd;
}

TWatchReport TPulseWatcher::Take() {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t read = ::read(State_->EventFd, &count, sizeof count);
  const std::lock_guard lock(State_->Mutex);
  return State_->Report;
}

}  // namespace recmon
