// A stand-in for a call program, in one process as a real one is: it
// captures the default microphone and plays a tone into the default output,
// under the application name given, until SIGTERM.
//   recmon-test-call NAME HZ
// SIGUSR1 mutes and unmutes it as call programs do, keeping the capture
// stream open (corked: it delivers nothing). SIGUSR2 closes the microphone
// and opens it again a second later, as a program changing devices does.
// Prints "READY <capture stream's number> <playback stream's number>" once
// both streams run, "MUTED"/"UNMUTED", "MIC
// CLOSED" and "MIC OPEN" as it goes. Exits with 3 when the sound server goes away.

#include <pulse/pulseaudio.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

pa_threaded_mainloop* Loop = nullptr;
pa_context* Context = nullptr;
pa_stream* Mic = nullptr;
pa_stream* Speaker = nullptr;
double Hz = 1000;
std::uint64_t Played = 0;
constexpr unsigned kRate = 48000;

void Signal(void*) {
  pa_threaded_mainloop_signal(Loop, 0);
}

void OnWrite(pa_stream* s, std::size_t bytes, void*) {
  void* data = nullptr;
  pa_stream_begin_write(s, &data, &bytes);
  auto* samples = static_cast<float*>(data);
  const std::size_t count = bytes / sizeof(float);
  for (std::size_t i = 0; i < count; ++i, ++Played) {
    samples[i] =
        static_cast<float>(0.5 * std::sin(2 * M_PI * Hz * static_cast<double>(Played) / kRate));
  }
  pa_stream_write(s, data, count * sizeof(float), nullptr, 0, PA_SEEK_RELATIVE);
}

void OnRead(pa_stream* s, std::size_t, void*) {
  const void* data = nullptr;
  std::size_t bytes = 0;
  while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &bytes) == 0 && bytes > 0) {
    pa_stream_drop(s);
  }
}

void OnState(pa_stream*, void*) {
  pa_threaded_mainloop_signal(Loop, 0);
}

pa_stream* Open(bool capture) {
  const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kRate, 1};
  pa_stream* s = pa_stream_new(Context, capture ? "Microphone" : "Call", &format, nullptr);
  pa_stream_set_state_callback(s, OnState, nullptr);
  pa_buffer_attr attr{};
  attr.maxlength = attr.tlength = attr.prebuf = attr.minreq = attr.fragsize =
      static_cast<std::uint32_t>(-1);
  const std::uint32_t latency = static_cast<std::uint32_t>(pa_usec_to_bytes(20000, &format));
  if (capture) {
    attr.fragsize = latency;
    pa_stream_set_read_callback(s, OnRead, nullptr);
    pa_stream_connect_record(s, nullptr, &attr, PA_STREAM_ADJUST_LATENCY);
  } else {
    attr.tlength = latency;
    pa_stream_set_write_callback(s, OnWrite, nullptr);
    pa_stream_connect_playback(s, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr);
  }
  while (pa_stream_get_state(s) != PA_STREAM_READY) {
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(s))) {
      std::fprintf(stderr, "call stand-in: cannot open a stream\n");
      std::exit(1);
    }
    pa_threaded_mainloop_wait(Loop);
  }
  return s;
}

void Close(pa_stream*& s) {
  pa_stream_set_state_callback(s, nullptr, nullptr);
  pa_stream_disconnect(s);
  pa_stream_unref(s);
  s = nullptr;
}

void Say(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: recmon-test-call NAME HZ\n");
    return 2;
  }
  Hz = std::atof(argv[2]);
  sigset_t signals;
  sigemptyset(&signals);
  for (const int sig : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2}) {
    sigaddset(&signals, sig);
  }
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

  Loop = pa_threaded_mainloop_new();
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, argv[1]);
  Context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(Loop), argv[1], props);
  pa_proplist_free(props);
  // A server that goes away ends the call program, as a crash of its sound
  // would; the test starts it again.
  pa_context_set_state_callback(
      Context,
      [](pa_context* c, void*) {
        if (pa_context_get_state(c) == PA_CONTEXT_FAILED) {
          std::_Exit(3);
        }
        Signal(nullptr);
      },
      nullptr);
  pa_context_connect(Context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
  pa_threaded_mainloop_lock(Loop);
  pa_threaded_mainloop_start(Loop);
  while (pa_context_get_state(Context) != PA_CONTEXT_READY) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(Context))) {
      std::fprintf(stderr, "call stand-in: no sound server\n");
      return 1;
    }
    pa_threaded_mainloop_wait(Loop);
  }
  Speaker = Open(false);
  Mic = Open(true);
  const std::uint32_t micIndex = pa_stream_get_index(Mic);
  const std::uint32_t speakerIndex = pa_stream_get_index(Speaker);
  pa_threaded_mainloop_unlock(Loop);
  std::printf("READY %u %u\n", micIndex, speakerIndex);
  std::fflush(stdout);

  bool muted = false;
  for (;;) {
    signalfd_siginfo info{};
    if (read(signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
      continue;
    }
    pa_threaded_mainloop_lock(Loop);
    if (info.ssi_signo == SIGUSR1) {
      muted = !muted;
      if (pa_operation* op = pa_stream_cork(Mic, muted ? 1 : 0, nullptr, nullptr)) {
        pa_operation_unref(op);
      }
      pa_threaded_mainloop_unlock(Loop);
      Say(muted ? "MUTED" : "UNMUTED");
    } else if (info.ssi_signo == SIGUSR2) {
      Close(Mic);
      pa_threaded_mainloop_unlock(Loop);
      Say("MIC CLOSED");
      sleep(1);
      pa_threaded_mainloop_lock(Loop);
      Mic = Open(true);
      pa_threaded_mainloop_unlock(Loop);
      Say("MIC OPEN");
    } else {
      Close(Mic);
      Close(Speaker);
      pa_context_disconnect(Context);
      pa_threaded_mainloop_unlock(Loop);
      pa_threaded_mainloop_stop(Loop);
      return 0;
    }
  }
}
