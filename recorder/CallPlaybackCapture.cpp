#include "CallPlaybackCapture.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

#include "CaptureFormat.h"

namespace recmon {

namespace {

// Each stream delivers at this interval, and the mix is handed on at it.
constexpr pa_usec_t kFragmentUsec = 20000;
// Stereo is asked for whatever the output has: the server downmixes any
// layout by its standard weights, and we average the two.
constexpr unsigned kChannels = 2;
// The number under which a whole output's monitor is kept: no playback
// stream has it.
constexpr std::uint32_t kWholeOutput = PA_INVALID_INDEX;

}  // namespace

struct TCallPlaybackCapture::TStream {
  TCallPlaybackCapture* Owner = nullptr;
  std::uint32_t Index = 0;
  std::string Monitor;
  pa_stream* Stream = nullptr;
  bool Dead = false;  // ended by the server: the stream moved or went
  std::vector<float> Mono;
};

namespace {

void OnRead(pa_stream* s, std::size_t, void* userdata);
void OnState(pa_stream* s, void* userdata);

}  // namespace

TCallPlaybackCapture::TCallPlaybackCapture(pa_threaded_mainloop* loop, pa_context* context,
                                           TEmit emit)
    : Loop_(loop),
      Context_(context),
      Emit_(std::move(emit)),
      Mixer_(static_cast<TMixPos>(kLatency.count()) * kSampleRate / 1000),
      Origin_(std::chrono::steady_clock::now()) {
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(Loop_);
  timeval first{};
  pa_timeval_add(pa_gettimeofday(&first), kFragmentUsec);
  Timer_ = api->time_new(api, &first, OnTimer, this);
}

TCallPlaybackCapture::~TCallPlaybackCapture() {
  Stop();
}

TMixPos TCallPlaybackCapture::Now() const {
  const auto since = std::chrono::steady_clock::now() - Origin_;
  return std::chrono::duration_cast<std::chrono::microseconds>(since).count() * kSampleRate /
         1'000'000;
}

void TCallPlaybackCapture::OnTimer(pa_mainloop_api* api, pa_time_event* event, const timeval*,
                                   void* userdata) {
  auto* self = static_cast<TCallPlaybackCapture*>(userdata);
  self->Out_.clear();
  self->Mixer_.Take(self->Now(), self->Out_);
  if (!self->Out_.empty()) {
    self->Emit_(self->Out_);
  }
  // A stream the server ended (its program's stream moved to another
  // output) is recorded again where it is now.
  for (const TPlaybackStream& wanted : self->Wanted_) {
    const auto it = self->Streams_.find(wanted.Index);
    if (it == self->Streams_.end() || it->second->Dead) {
      self->Open(wanted);
    }
  }
  timeval next{};
  pa_timeval_add(pa_gettimeofday(&next), kFragmentUsec);
  api->time_restart(event, &next);
}

namespace {

void OnRead(pa_stream* s, std::size_t, void* userdata) {
  auto* st = static_cast<TCallPlaybackCapture::TStream*>(userdata);
  while (pa_stream_readable_size(s) > 0) {
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) {
      return;
    }
    // A hole (data == nullptr) is nothing played: the mix stays silent there.
    if (data != nullptr) {
      const auto* samples = static_cast<const float*>(data);
      const std::size_t frames = bytes / (sizeof(float) * kChannels);
      st->Mono.resize(frames);
      for (std::size_t i = 0; i < frames; ++i) {
        st->Mono[i] = (samples[2 * i] + samples[2 * i + 1]) / 2;
      }
      st->Owner->Deliver(st->Index, st->Mono);
    }
    pa_stream_drop(s);
  }
}

void OnState(pa_stream* s, void* userdata) {
  auto* st = static_cast<TCallPlaybackCapture::TStream*>(userdata);
  const pa_stream_state_t state = pa_stream_get_state(s);
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
    st->Dead = true;
  }
}

}  // namespace

void TCallPlaybackCapture::Deliver(std::uint32_t index, std::span<const float> mono) {
  Mixer_.Add(index, mono, Now());
}

void TCallPlaybackCapture::Open(const TPlaybackStream& wanted) {
  Close(wanted.Index);
  if (Context_ == nullptr || pa_context_get_state(Context_) != PA_CONTEXT_READY ||
      wanted.SinkMonitor.empty()) {
    return;
  }
  auto st = std::make_unique<TStream>();
  st->Owner = this;
  st->Index = wanted.Index;
  st->Monitor = wanted.SinkMonitor;
  const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kSampleRate, kChannels};
  st->Stream = pa_stream_new(Context_, "Call playback", &format, nullptr);
  if (st->Stream == nullptr) {
    return;
  }
  if (wanted.Index != kWholeOutput) {
    pa_stream_set_monitor_stream(st->Stream, wanted.Index);
  }
  pa_stream_set_read_callback(st->Stream, OnRead, st.get());
  pa_stream_set_state_callback(st->Stream, OnState, st.get());
  pa_buffer_attr attr{};
  attr.maxlength = attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUsec, &format));
  if (pa_stream_connect_record(
          st->Stream, wanted.SinkMonitor.c_str(), &attr,
          static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE)) < 0) {
    pa_stream_unref(st->Stream);
    return;
  }
  Streams_[wanted.Index] = std::move(st);
}

void TCallPlaybackCapture::Close(std::uint32_t index) {
  const auto it = Streams_.find(index);
  if (it == Streams_.end()) {
    return;
  }
  pa_stream* s = it->second->Stream;
  pa_stream_set_read_callback(s, nullptr, nullptr);
  pa_stream_set_state_callback(s, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(s))) {
    pa_stream_disconnect(s);
  }
  pa_stream_unref(s);
  Streams_.erase(it);
  Mixer_.Remove(index);
}

void TCallPlaybackCapture::Follow(const TCallPlayback& choice) {
  std::vector<TPlaybackStream> streams = choice.Streams;
  if (choice.Match == TPlaybackMatch::DefaultOutput) {
    streams = {TPlaybackStream{kWholeOutput, {}, "", choice.Monitor}};
  }
  Wanted_ = streams;
  std::vector<std::uint32_t> gone;
  for (const auto& [index, st] : Streams_) {
    const bool wanted = std::any_of(streams.begin(), streams.end(), [&](const auto& w) {
      return w.Index == index && w.SinkMonitor == st->Monitor;
    });
    if (!wanted) {
      gone.push_back(index);
    }
  }
  for (const std::uint32_t index : gone) {
    Close(index);
  }
  for (const TPlaybackStream& wanted : streams) {
    if (!Streams_.contains(wanted.Index)) {
      Open(wanted);
    }
  }
}

void TCallPlaybackCapture::Reconnect(pa_context* context) {
  std::vector<std::uint32_t> all;
  for (const auto& [index, st] : Streams_) {
    all.push_back(index);
  }
  for (const std::uint32_t index : all) {
    Close(index);
  }
  Context_ = context;
  // Numbers of the old server mean nothing to the new one; the next view
  // says what to record.
  Wanted_.clear();
}

void TCallPlaybackCapture::Stop() {
  if (Timer_ != nullptr) {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(Loop_);
    api->time_free(Timer_);
    Timer_ = nullptr;
  }
  Wanted_.clear();
  while (!Streams_.empty()) {
    Close(Streams_.begin()->first);
  }
}

}  // namespace recmon
