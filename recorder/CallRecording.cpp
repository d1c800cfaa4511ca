#include "CallRecording.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>

#include "CallFile.h"
#include "CallPlaybackCapture.h"
#include "CaptureSink.h"
#include "DateTime.h"
#include "PulseCapture.h"
#include "Recorder.h"
#include "SoundFile.h"
#include "StatusPublisher.h"
#include "TickCount.h"
#include "WriterThread.h"

namespace recmon {

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// Five records a second, as often as the monitor reads.
constexpr auto kPublishInterval = 200ms;
// After a stop, how long the sides may take to deliver up to the stop moment.
constexpr auto kDrainTimeout = 300ms;
// A server away for longer ends the call's recording: the call is most
// likely over, and the monitor must not show a recording that records
// nothing.
constexpr auto kServerAwayLimit = 60s;

class TCallRecording final : public ICallRecording {
 public:
  TCallRecording(const TCallStart& start, std::ostream& err);
  ~TCallRecording() override;

  void Follow(const std::optional<TServerStreams>& streams, const TCallIdentity& identity) override;
  int StoppedFd() const override { return StoppedFd_; }
  bool Stopped() const override {
    const std::lock_guard lock(Mutex_);
    return Failure_.has_value();
  }
  TCallResult Finish() override;

 private:
  void Connect();
  void Disconnect();
  void FollowMicrophone(const TServerStreams& streams, const TCallIdentity& identity);
  void FollowPlayback(const TServerStreams& streams, const TCallIdentity& identity);
  TRecordingFigures Figures(double micRms, double othersRms);
  void PublishLoop();
  void Fail(const std::string& why);

  std::ostream& Err_;
  std::string Path_;
  TCallFilter Filter_;
  std::unique_ptr<TSoundFile> File_;
  TFrameRing Ring_{kBufferFrames};
  TCaptureSink Sink_{Ring_, true};
  std::unique_ptr<TWriterThread> Writer_;
  std::unique_ptr<IStatusPublisher> Channel_;
  std::unique_ptr<TStatusPublishing> Publishing_;
  TMeters Meters_;
  std::optional<double> StartTime_;
  bool Closed_ = false;

  std::unique_ptr<TPulseConnection> Connection_;
  std::unique_ptr<TPulseCapture> Microphone_;
  std::string MicSource_;
  std::unique_ptr<TCallPlaybackCapture> Playback_;
  bool Played_ = false;
  std::optional<TPlaybackMatch> LastMatch_;

  int StoppedFd_ = -1;
  mutable std::mutex Mutex_;
  std::condition_variable Wake_;
  bool Ending_ = false;
  bool GaveUpOnServer_ = false;
  std::optional<TClock::time_point> AwaySince_;
  std::optional<std::string> Failure_;
  std::thread Publisher_;
};

TCallRecording::TCallRecording(const TCallStart& start, std::ostream& err)
    : Err_(err), Path_(start.Path), Filter_(start.Filter) {
  File_ = std::make_unique<TSoundFile>(Path_, CallFileFormat(Path_));
  StoppedFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  try {
    Channel_ = std::make_unique<TChannelPublisher>();
  } catch (const std::exception& e) {
    Err_ << "recmon-record: recording without showing it in the monitor: " << e.what() << std::endl;
  }
  Publishing_ = std::make_unique<TStatusPublishing>(Channel_.get());
  Writer_ = std::make_unique<TWriterThread>(Ring_, *File_);
  Connect();
  Follow(start.Streams, start.Identity);
  Publisher_ = std::thread([this] { PublishLoop(); });
}

TCallRecording::~TCallRecording() {
  if (Publisher_.joinable()) {
    {
      const std::lock_guard lock(Mutex_);
      Ending_ = true;
    }
    Wake_.notify_all();
    Publisher_.join();
  }
  Disconnect();
  if (StoppedFd_ >= 0) {
    ::close(StoppedFd_);
  }
}

void TCallRecording::Connect() {
  try {
    Connection_ = std::make_unique<TPulseConnection>();
  } catch (const std::exception& e) {
    // Tried again with the server's next view.
    Err_ << "recmon-record: " << e.what() << std::endl;
    Connection_.reset();
    return;
  }
  Connection_->Locked([&] {
    Playback_ = std::make_unique<TCallPlaybackCapture>(
        Connection_->Loop(), Connection_->Context(), [this](std::span<const float> mono) {
          Sink_.OnSamples(TSide::Others, mono, 1, TClock::now(), RecMonTickCount());
        });
  });
  MicSource_.clear();
}

void TCallRecording::Disconnect() {
  Microphone_.reset();
  if (Connection_) {
    Connection_->Locked([&] { Playback_.reset(); });
  }
  Playback_.reset();
  Connection_.reset();
}

void TCallRecording::FollowMicrophone(const TServerStreams& streams,
                                      const TCallIdentity& identity) {
  const TCaptureStream* newest = nullptr;
  for (const TCaptureStream& capture : streams.Captures) {
    if (capture.Owner.Key() == identity.App && IsCallCapture(capture, Filter_) &&
        (newest == nullptr || capture.Index > newest->Index)) {
      newest = &capture;
    }
  }
  // Between two streams of the program the microphone stays where it was.
  if (newest == nullptr || newest->Source == MicSource_) {
    return;
  }
  Microphone_.reset();
  TChosenSources sources;
  sources.Mic = {newest->Source, "", newest->SourceChannels, ""};
  try {
    Microphone_ = std::make_unique<TPulseCapture>(
        *Connection_, sources,
        [this](TSide side, std::span<const float> samples, unsigned channels) {
          Sink_.OnSamples(side, samples, channels, TClock::now(), RecMonTickCount());
        },
        [this](TSide side, std::size_t frames) { Sink_.OnHole(side, frames); });
    Err_ << "recmon-record: "
         << (MicSource_.empty() ? "recording the microphone " : "the call moved to the microphone ")
         << newest->Source << std::endl;
    MicSource_ = newest->Source;
  } catch (const std::exception& e) {
    Err_ << "recmon-record: " << e.what() << std::endl;
  }
}

void TCallRecording::FollowPlayback(const TServerStreams& streams, const TCallIdentity& identity) {
  const TCallPlayback choice = ChooseCallPlayback(streams, identity, Filter_, Played_);
  Played_ = Played_ || !choice.Streams.empty();
  if (choice.Match != LastMatch_) {
    Err_ << "recmon-record: " << CallPlaybackText(choice, identity.App) << std::endl;
    LastMatch_ = choice.Match;
  }
  Connection_->Locked([&] { Playback_->Follow(choice); });
}

void TCallRecording::Follow(const std::optional<TServerStreams>& streams,
                            const TCallIdentity& identity) {
  if (!streams) {
    // The server went away: this connection is dead; the next view comes
    // from the server that replaces it.
    Disconnect();
    const std::lock_guard lock(Mutex_);
    if (!AwaySince_) {
      AwaySince_ = TClock::now();
    }
    return;
  }
  {
    const std::lock_guard lock(Mutex_);
    AwaySince_.reset();
  }
  if (!Connection_ || Connection_->Failure()) {
    Disconnect();
    Connect();
    if (!Connection_) {
      return;
    }
    // The time the server was away is silence on both sides, counted as
    // lost, so the file keeps the wall clock's timeline.
    if (Sink_.Origin()) {
      Connection_->Locked([&] {
        const TFramePos gap = Sink_.PositionAt(TClock::now()) - Sink_.Furthest();
        if (gap > 0) {
          Sink_.OnHole(TSide::Mic, static_cast<std::size_t>(gap));
          Sink_.OnHole(TSide::Others, static_cast<std::size_t>(gap));
        }
      });
    }
  }
  FollowMicrophone(streams.value(), identity);
  FollowPlayback(streams.value(), identity);
}

TRecordingFigures TCallRecording::Figures(double micRms, double othersRms) {
  TRecordingFigures f;
  f.FileName = Path_;
  f.Recording = Ring_.Offered() > 0 && !Closed_;
  const auto origin = Sink_.Origin();
  if (origin && !StartTime_) {
    const std::chrono::duration<double> since = TClock::now() - *origin;
    StartTime_ = LocalNow() - DaysFromSeconds(since.count());
  }
  f.StartTime = StartTime_.value_or(0);
  f.FramesWritten = Writer_->Written();
  f.WrittenAt = LocalNow();
  f.BufferCapacity = Ring_.Capacity();
  f.BufferFill = Ring_.Fill();
  f.DroppedByWriter = Ring_.Refused();
  f.LostAtServer = Sink_.LostAtServer();
  const TMeters::TReading mine = Meters_.Mine(micRms);
  const TMeters::TReading theirs = Meters_.Theirs(othersRms);
  f.MyLevel = mine.Level;
  f.MyLevelBias = mine.Bias;
  f.TheirLevel = theirs.Level;
  f.TheirLevelBias = theirs.Bias;
  f.TheirLastSoundTick = Sink_.TheirLastSoundTick();
  f.WithOthers = true;
  return f;
}

void TCallRecording::Fail(const std::string& why) {
  {
    const std::lock_guard lock(Mutex_);
    if (Failure_) {
      return;
    }
    Failure_ = why;
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(StoppedFd_, &one, sizeof one);
}

void TCallRecording::PublishLoop() {
  auto next = TClock::now();
  std::unique_lock lock(Mutex_);
  while (!Ending_) {
    next += kPublishInterval;
    if (Wake_.wait_until(lock, next, [&] { return Ending_; })) {
      break;
    }
    const bool awayTooLong = AwaySince_ && TClock::now() - *AwaySince_ > kServerAwayLimit;
    lock.unlock();
    if (const auto broken = Writer_->Failure()) {
      Fail(*broken);
    }
    if (awayTooLong) {
      {
        const std::lock_guard held(Mutex_);
        GaveUpOnServer_ = true;
      }
      Fail("the sound server went away and did not come back within a minute");
    }
    const double micRms = Sink_.TakeRms(TSide::Mic);
    const double othersRms = Sink_.TakeRms(TSide::Others);
    Publishing_->Publish(Figures(micRms, othersRms));
    next = std::max(next, TClock::now());
    lock.lock();
  }
}

TCallResult TCallRecording::Finish() {
  {
    const std::lock_guard lock(Mutex_);
    Ending_ = true;
  }
  Wake_.notify_all();
  Publisher_.join();
  TCallResult result;
  result.Path = Path_;
  result.Created = true;
  if (Connection_) {
    const TFramePos end = Sink_.PositionAt(TClock::now());
    Connection_->Locked([&] { Sink_.Limit(end); });
    const auto deadline = TClock::now() + kDrainTimeout;
    while (!Sink_.Reached(end) && TClock::now() < deadline && !Connection_->Failure()) {
      std::this_thread::sleep_for(10ms);
    }
    Connection_->Locked([&] { Sink_.Finish(end); });
  } else {
    Sink_.Finish(Sink_.Furthest());
  }
  Disconnect();
  Writer_->Finish();
  {
    const std::lock_guard lock(Mutex_);
    result.Failure = Failure_.value_or("");
    result.ServerAway = GaveUpOnServer_;
  }
  if (const auto broken = Writer_->Failure(); broken && result.Failure.empty()) {
    result.Failure = *broken;
  }
  try {
    File_->Close();
  } catch (const std::exception& e) {
    if (result.Failure.empty()) {
      result.Failure = e.what();
    }
  }
  Closed_ = true;
  if (!Publishing_->PublishFinal(Figures(0, 0))) {
    Err_ << "recmon-record: could not clear Recording in the monitor's record" << std::endl;
  }
  result.Seconds = static_cast<double>(Writer_->Written()) / kSampleRate;
  return result;
}

}  // namespace

std::unique_ptr<ICallRecording> StartCallRecording(const TCallStart& start, std::ostream& err) {
  return std::make_unique<TCallRecording>(start, err);
}

}  // namespace recmon
