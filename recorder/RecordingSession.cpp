#include "RecordingSession.h"

#include <cmath>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <thread>

#include "CallFile.h"
#include "CaptureSink.h"
#include "DateTime.h"
#include "SoundFile.h"
#include "SoundServerLink.h"
#include "StatusLine.h"
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
// How long the live line shows the last thing that happened.
constexpr auto kNoteTime = 5s;
// Dated names tried when the chosen one is taken between choosing and creating.
constexpr int kNameTries = 10;

TClock::duration Since(double seconds) {
  return std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

// What a session holds while it runs. Declared so that the link (whose
// thread feeds the sink) goes first and the file last.
struct TRecordingSession::TParts {
  std::unique_ptr<TSoundFile> File;
  std::unique_ptr<IStatusPublisher> Channel;
  std::unique_ptr<TStatusPublishing> Publishing;
  std::unique_ptr<TFrameRing> Ring;
  std::unique_ptr<TCaptureSink> Sink;
  std::unique_ptr<TWriterThread> Writer;
  std::unique_ptr<TSoundServerLink> Link;
  TMeters Meters;
  std::optional<TFramePos> DurationEnd;
  TFramePos End = 0;  // where a signal stopped the recording
  std::optional<double> StartTime;
  bool Closed = false;
  std::optional<std::uint64_t> WriterLoss;  // once the file is closed after a failure
  // What the capture thread has to tell, told by the publishing thread.
  std::mutex NotesMutex;
  std::vector<std::string> Notes;
  std::string LastNote;
  TClock::time_point LastNoteAt{};
};

TRecordingSession::TRecordingSession(const TRecorderOptions& options, const ISourcePolicy& policy,
                                     std::ostream& out, std::ostream& err, bool liveLine)
    : Options_(options),
      Policy_(policy),
      Out_(out),
      Err_(err),
      LiveLine_(liveLine),
      Parts_(std::make_unique<TParts>()) {}

TRecordingSession::~TRecordingSession() = default;

TRecordingResult TRecordingSession::Run(const sigset_t& stopSignals) {
  if (!Open()) {
    return Result_;
  }
  TStopReason reason = RunUntilStop(stopSignals);
  Drain(reason);
  Close(reason);
  Report(reason);
  return Result_;
}

void TRecordingSession::Fail(int status, const std::string& message) {
  Err_ << "recmon-record: " << message << '\n';
  Result_.ExitStatus = status;
  Result_.Failure = message;
}

bool TRecordingSession::Open() {
  TParts& p = *Parts_;
  // Nothing is recorded yet, so any failure simply ends the program.
  TSideSources first;
  try {
    p.Link = std::make_unique<TSoundServerLink>();
    first = Policy_.Start(p.Link->Query());
    const bool named = Options_.File.has_value();
    Result_.Path = ResolveCallPath(Options_, std::time(nullptr));
    if (Result_.Path.size() > RecMonFileNameSize) {
      Fail(kExitUsage, "the path " + PrintablePath(Result_.Path) + " is longer than the " +
                           std::to_string(RecMonFileNameSize) +
                           " bytes the monitor can show; choose a shorter one");
      return false;
    }
    for (int attempt = 1;; ++attempt) {
      try {
        p.File = std::make_unique<TSoundFile>(Result_.Path, CallFileFormat(Result_.Path));
        break;
      } catch (const TFileExistsError& e) {
        if (named || attempt == kNameTries) {
          throw TRecorderUsageError(e.what());
        }
        Result_.Path = ResolveCallPath(Options_, std::time(nullptr));
      }
    }
  } catch (const TRecorderUsageError& e) {
    Fail(kExitUsage, e.what());
    return false;
  } catch (const std::exception& e) {
    Fail(kExitFailed, e.what());
    return false;
  }
  Out_ << PrintablePath(Result_.Path) << std::endl;

  // The monitor is a convenience; a recording goes ahead without it.
  try {
    p.Channel = std::make_unique<TChannelPublisher>();
  } catch (const std::exception& e) {
    Err_ << "recmon-record: recording without showing it in the monitor: " << e.what() << '\n';
  }
  p.Publishing = std::make_unique<TStatusPublishing>(p.Channel.get());

  if (Options_.DurationSeconds) {
    p.DurationEnd = static_cast<TFramePos>(std::llround(*Options_.DurationSeconds * kSampleRate));
  }
  p.Ring = std::make_unique<TFrameRing>(kBufferFrames);
  p.Sink = std::make_unique<TCaptureSink>(*p.Ring, Policy_.WithOthers(), p.DurationEnd);
  p.Writer = std::make_unique<TWriterThread>(*p.Ring, *p.File);
  TCaptureSink& sink = *p.Sink;
  TLinkEvents events;
  events.Samples = [&sink](TSide side, std::span<const float> samples,
                           std::span<const float> weights, std::optional<TClock::duration> age) {
    sink.OnSamples(side, samples, weights, TClock::now(), RecMonTickCount(), age);
  };
  events.Hole = [&sink](TSide side, std::size_t frames) {
    sink.OnHole(side, frames, TClock::now());
  };
  events.Restart = [&sink](TSide side) { sink.OnRestart(side); };
  events.Absent = [&sink](TSide side, bool absent) { sink.OnAbsent(side, absent); };
  events.Tick = [&sink] { sink.OnTick(TClock::now()); };
  events.Told = [&p](const std::string& text) {
    const std::lock_guard lock(p.NotesMutex);
    p.Notes.push_back(text);
  };
  try {
    p.Link->Start(Policy_, first, std::move(events));
    const std::lock_guard lock(LinkMutex_);
    LinkRunning_ = true;
  } catch (const std::exception& e) {
    p.Writer->Finish();
    try {
      p.File->Close();
    } catch (const std::exception&) {
      // The stream's failure is the one worth telling.
    }
    Fail(kExitFailed, e.what());
    return false;
  }
  return true;
}

TStopReason TRecordingSession::RunUntilStop(const sigset_t& stopSignals) {
  TParts& p = *Parts_;
  const std::optional<TClock::duration> duration =
      Options_.DurationSeconds ? std::optional(Since(*Options_.DurationSeconds)) : std::nullopt;
  auto nextTick = TClock::now();
  for (;;) {
    nextTick += kPublishInterval;
    auto wake = nextTick;
    const auto origin = p.Sink->Origin();
    if (duration && origin) {
      wake = std::min(wake, *origin + *duration);
    }
    const bool signalled = StopSignalledBefore(stopSignals, wake);
    const auto now = TClock::now();
    if (signalled) {
      p.End = p.Sink->PositionAt(now);
      // Capture goes on while the sides catch up; nothing after the signal
      // is to be kept.
      p.Link->Locked([&] { p.Sink->Limit(p.End); });
      return TStopReason::Signal;
    }
    if (duration && origin && now >= *origin + *duration) {
      return TStopReason::Duration;
    }
    if (const auto gone = p.Link->GoneSince(); gone && now - *gone >= kServerGoneLimit) {
      Failure_ =
          "the sound server stayed away for " +
          std::to_string(std::chrono::duration_cast<std::chrono::seconds>(now - *gone).count()) +
          " s";
      return TStopReason::ServerGone;
    }
    if (const auto broken = p.Writer->Failure()) {
      Failure_ = *broken;
      return TStopReason::WriteFailed;
    }
    Publish();
    // A late wake-up (a loaded machine, a stopped process) is not made up
    // for with a burst.
    nextTick = std::max(nextTick, now);
  }
}

void TRecordingSession::Reconsider() {
  const std::lock_guard lock(LinkMutex_);
  if (LinkRunning_) {
    Parts_->Link->Reconsider();
  }
}

void TRecordingSession::Drain(TStopReason reason) {
  TParts& p = *Parts_;
  {
    const std::lock_guard lock(LinkMutex_);
    LinkRunning_ = false;
  }
  switch (reason) {
    case TStopReason::Signal:
    case TStopReason::Duration: {
      // The file ends at the stop with both sides complete, if they come in time.
      const TFramePos end = reason == TStopReason::Signal ? p.End : *p.DurationEnd;
      const auto deadline = TClock::now() + kDrainTimeout;
      while (!p.Sink->Reached(end) && TClock::now() < deadline && !p.Link->GoneSince()) {
        std::this_thread::sleep_for(10ms);
      }
      p.Link->Locked([&] { p.Sink->Finish(end); });
      break;
    }
    case TStopReason::ServerGone:
      // The silence up to now is in; the file ends here.
      p.Link->Locked([&] { p.Sink->Finish(p.Sink->PositionAt(TClock::now())); });
      break;
    case TStopReason::WriteFailed:
      break;  // nothing more can be written
  }
  p.Link->Stop();
  p.Writer->Finish();
}

void TRecordingSession::Close(TStopReason& reason) {
  TParts& p = *Parts_;
  if (reason != TStopReason::WriteFailed) {
    if (const auto broken = p.Writer->Failure()) {
      reason = TStopReason::WriteFailed;
      Failure_ = *broken;
    }
  }
  try {
    p.File->Close();
  } catch (const std::exception& e) {
    if (Failure_.empty()) {
      reason = TStopReason::WriteFailed;
      Failure_ = e.what();
    }
  }
  p.Closed = true;
  if (reason == TStopReason::WriteFailed) {
    // Whatever was still on its way to the file when writing failed is lost.
    p.WriterLoss = std::max(p.Ring->Refused(),
                            p.Ring->Offered() - std::min(p.Ring->Offered(), p.File->Durable()));
  }
  if (LiveLine_) {
    Out_ << '\n' << std::flush;
  }
  Say("");
  if (!p.Publishing->PublishFinal([&] {
        TRecordingFigures f;
        f.FileName = Result_.Path;
        f.StartTime = p.StartTime.value_or(0);
        f.FramesWritten = p.File->Durable();
        f.WrittenAt = LocalNow();
        f.BufferCapacity = p.Ring->Capacity();
        f.BufferFill = p.Ring->Fill();
        f.DroppedByWriter = p.WriterLoss.value_or(p.Ring->Refused());
        f.LostAtServer = p.Sink->LostAtServer();
        f.TheirLastSoundTick = p.Sink->TheirLastSoundTick();
        f.WithOthers = Policy_.WithOthers();
        return f;
      }())) {
    Err_ << "recmon-record: could not clear Recording in the monitor's record\n";
  }
}

void TRecordingSession::Report(TStopReason reason) {
  TParts& p = *Parts_;
  Result_.Captured = p.Ring->Offered();
  Result_.Written = p.File->Durable();
  Result_.DroppedByWriter = p.WriterLoss.value_or(p.Ring->Refused());
  Result_.LostAtServer = p.Sink->LostAtServer();
  Result_.PeakBufferFill = p.Ring->PeakFill();
  Result_.Published = p.Publishing->Published();
  Result_.PublishesSkipped = p.Publishing->Skipped();
  if (Result_.DroppedByWriter + Result_.LostAtServer > 0) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "%.2f s of audio lost: %.2f s because writing fell behind, %.2f s at the "
                  "sound server",
                  static_cast<double>(Result_.DroppedByWriter + Result_.LostAtServer) / kSampleRate,
                  static_cast<double>(Result_.DroppedByWriter) / kSampleRate,
                  static_cast<double>(Result_.LostAtServer) / kSampleRate);
    Err_ << "recmon-record: " << text << '\n';
  }
  if (reason == TStopReason::ServerGone || reason == TStopReason::WriteFailed) {
    Err_ << "recmon-record: " << Failure_ << "; what was recorded until then is in "
         << PrintablePath(Result_.Path) << '\n';
    Result_.ExitStatus = kExitFailed;
    Result_.Failure = Failure_;
    Result_.ServerGone = reason == TStopReason::ServerGone;
  } else {
    Result_.ExitStatus = kExitDone;
  }
}

// Tells what the capture thread has to tell, and `text` if any.
void TRecordingSession::Say(const std::string& text) {
  TParts& p = *Parts_;
  std::vector<std::string> notes;
  {
    const std::lock_guard lock(p.NotesMutex);
    notes.swap(p.Notes);
  }
  if (!text.empty()) {
    notes.push_back(text);
  }
  for (const std::string& note : notes) {
    if (LiveLine_ && !p.Closed) {
      Out_ << "\r\033[K" << std::flush;  // the live line gives way
    }
    Err_ << "recmon-record: " << note << std::endl;
    p.LastNote = note;
    p.LastNoteAt = TClock::now();
  }
}

void TRecordingSession::Publish() {
  TParts& p = *Parts_;
  Say("");
  const double micRms = p.Sink->TakeRms(TSide::Mic);
  const double othersRms = p.Sink->TakeRms(TSide::Others);
  TRecordingFigures f;
  f.FileName = Result_.Path;
  f.Recording = p.Ring->Offered() > 0;
  if (const auto origin = p.Sink->Origin(); origin && !p.StartTime) {
    const std::chrono::duration<double> since = TClock::now() - *origin;
    p.StartTime = LocalNow() - DaysFromSeconds(since.count());
  }
  f.StartTime = p.StartTime.value_or(0);
  // The count first, then the moment: the file held at least this much then.
  f.FramesWritten = p.Writer->Durable();
  f.WrittenAt = LocalNow();
  f.BufferCapacity = p.Ring->Capacity();
  f.BufferFill = p.Ring->Fill();
  f.DroppedByWriter = p.Ring->Refused();
  f.LostAtServer = p.Sink->LostAtServer();
  const TMeters::TReading mine = p.Meters.Mine(micRms);
  const TMeters::TReading theirs = p.Meters.Theirs(othersRms);
  f.MyLevel = mine.Level;
  f.MyLevelBias = mine.Bias;
  f.TheirLevel = theirs.Level;
  f.TheirLevelBias = theirs.Bias;
  f.TheirLastSoundTick = p.Sink->TheirLastSoundTick();
  f.WithOthers = Policy_.WithOthers();
  p.Publishing->Publish(f);
  if (!LiveLine_) {
    return;
  }
  std::error_code ignored;
  const std::uintmax_t size = std::filesystem::file_size(Result_.Path, ignored);
  TStatusLineFigures line;
  line.RecordedSeconds = static_cast<double>(f.FramesWritten) / kSampleRate;
  line.FileBytes = size == static_cast<std::uintmax_t>(-1) ? 0 : size;
  line.MicRms = micRms;
  line.OthersRms = othersRms;
  line.WithOthers = f.WithOthers;
  line.BufferPercent =
      100.0 * static_cast<double>(f.BufferFill) / static_cast<double>(f.BufferCapacity);
  line.DroppedSeconds = static_cast<double>(f.DroppedByWriter + f.LostAtServer) / kSampleRate;
  if (p.Link->GoneSince()) {
    line.Note = "no sound server; waiting for it";
  } else if (TClock::now() - p.LastNoteAt < kNoteTime) {
    line.Note = p.LastNote;
  }
  Out_ << '\r' << StatusLineText(line) << "\033[K" << std::flush;
}

TRecordingResult RunRecorder(const TRecorderOptions& options, const sigset_t& stopSignals,
                             std::ostream& out, std::ostream& err, bool liveLine) {
  if (options.List) {
    TRecordingResult result;
    try {
      TSoundServerLink link;
      out << SourceListText(link.Query());
      result.ExitStatus = kExitDone;
    } catch (const std::exception& e) {
      err << "recmon-record: " << e.what() << '\n';
      result.ExitStatus = kExitFailed;
    }
    return result;
  }
  const TDesktopSources policy(options);
  TRecordingSession session(options, policy, out, err, liveLine);
  return session.Run(stopSignals);
}

}  // namespace recmon
