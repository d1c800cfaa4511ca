#include "CallRecording.h"

#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <streambuf>
#include <thread>

#include "CaptureFormat.h"
#include "RecordingSession.h"

namespace recmon {

namespace {

// The sources of one call, for the recording session: the microphone the
// call program captures (kept while it has none open for a moment) and only
// its playback, as the automatic recorder's views of the server say.
class TCallSourcePolicy final : public ISourcePolicy {
 public:
  TCallSourcePolicy(TCallFilter filter, std::ostream& err)
      : Filter_(std::move(filter)), Err_(err) {}

  bool WithOthers() const override { return true; }
  TSideSources Start(const TServerInfo& server) const override { return Choose(server); }
  TSideSources Choose(const TServerInfo& server) const override;

  // The newest view of the server; called on the automatic recorder's thread.
  void Update(const TServerStreams& streams, const TCallIdentity& identity);

 private:
  TCallFilter Filter_;
  std::ostream& Err_;
  mutable std::mutex Mutex_;
  std::optional<std::string> Mic_;
  TCallPlayback Playback_;
  std::string App_;
  bool Played_ = false;
  std::optional<TPlaybackMatch> LastMatch_;
};

void TCallSourcePolicy::Update(const TServerStreams& streams, const TCallIdentity& identity) {
  const std::optional<std::string> mic = CallMicrophone(streams, identity, Filter_);
  const std::lock_guard lock(Mutex_);
  App_ = identity.App;
  if (mic) {
    Mic_ = mic;
  }
  Playback_ = ChooseCallPlayback(streams, identity, Filter_, Played_);
  Played_ = Played_ || !Playback_.Streams.empty();
  if (Playback_.Match != LastMatch_) {
    Err_ << "recmon-record: " << CallPlaybackText(Playback_, identity.App) << std::endl;
    LastMatch_ = Playback_.Match;
  }
}

TSideSources TCallSourcePolicy::Choose(const TServerInfo& server) const {
  const std::lock_guard lock(Mutex_);
  TSideSources chosen;
  if (Mic_) {
    if (const TSourceInfo* mic = server.FindSource(*Mic_)) {
      chosen.Mic = *mic;
    }
  }
  if (Playback_.Match == TPlaybackMatch::DefaultOutput) {
    if (const TSourceInfo* monitor = server.FindSource(Playback_.Monitor)) {
      chosen.Others = *monitor;
    }
  } else if (!Playback_.Streams.empty()) {
    TSourceInfo playback;
    playback.Name = App_ + "'s playback";
    for (const TPlaybackStream& stream : Playback_.Streams) {
      playback.PlaybackStreams.emplace_back(stream.Index, stream.SinkMonitor);
    }
    chosen.Others = std::move(playback);
  }
  // A program that played and now plays nothing: no source, so silence.
  return chosen;
}

// Swallows what is written to it: the session prints the path, which the
// automatic recorder has printed already.
class TNullBuffer final : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

class TCallRecording final : public ICallRecording {
 public:
  TCallRecording(const TCallStart& start, std::ostream& err);
  ~TCallRecording() override;

  void Follow(const std::optional<TServerStreams>& streams, const TCallIdentity& identity) override;
  int StoppedFd() const override { return StoppedFd_; }
  bool Stopped() const override { return Done_.load(std::memory_order_acquire); }
  TCallResult Finish() override;

 private:
  TRecorderOptions Options_;
  TCallSourcePolicy Policy_;
  TNullBuffer NullBuffer_;
  std::ostream NullOut_{&NullBuffer_};
  TRecordingSession Session_;
  sigset_t StopSignals_{};
  int StoppedFd_ = -1;
  std::atomic<bool> Done_{false};
  TRecordingResult Result_;
  std::thread Thread_;
};

TRecorderOptions CallOptions(const TCallStart& start) {
  TRecorderOptions options;
  options.File = start.Path;
  return options;
}

TCallRecording::TCallRecording(const TCallStart& start, std::ostream& err)
    : Options_(CallOptions(start)),
      Policy_(start.Filter, err),
      Session_(Options_, Policy_, NullOut_, err, false) {
  Policy_.Update(start.Streams, start.Identity);
  // Blocked in every thread of the recorder; the session's thread takes
  // them in its waits, so a signal sent to that thread alone stops it the
  // way Ctrl+C stops a manual recording: drained, closed, published.
  sigemptyset(&StopSignals_);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    sigaddset(&StopSignals_, sig);
  }
  StoppedFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  Thread_ = std::thread([this] {
    Result_ = Session_.Run(StopSignals_);
    Done_.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(StoppedFd_, &one, sizeof one);
  });
}

TCallRecording::~TCallRecording() {
  if (Thread_.joinable()) {
    Finish();
  }
  ::close(StoppedFd_);
}

void TCallRecording::Follow(const std::optional<TServerStreams>& streams,
                            const TCallIdentity& identity) {
  // A server that went away is the session's own business: it keeps the
  // file on the clock and reconnects.
  if (streams) {
    Policy_.Update(*streams, identity);
    Session_.Reconsider();
  }
}

TCallResult TCallRecording::Finish() {
  if (!Done_.load(std::memory_order_acquire)) {
    ::pthread_kill(Thread_.native_handle(), SIGTERM);
  }
  Thread_.join();
  TCallResult result;
  result.Path = Options_.File.value_or("");
  result.Seconds = static_cast<double>(Result_.Written) / kSampleRate;
  result.Failure = Result_.Failure;
  result.ServerAway = Result_.ServerGone;
  std::error_code ignored;
  result.Created = std::filesystem::exists(result.Path, ignored);
  return result;
}

}  // namespace

std::unique_ptr<ICallRecording> StartCallRecording(const TCallStart& start, std::ostream& err) {
  return std::make_unique<TCallRecording>(start, err);
}

}  // namespace recmon
