#include "Recorder.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>

#include "CallFile.h"
#include "CaptureSink.h"
#include "DateTime.h"
#include "PulseCapture.h"
#include "SoundFile.h"
#include "StatusLine.h"
#include "StatusPublisher.h"
#include "StopSignals.h"
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
// Tries for the last record, 50 ms apart.
constexpr int kFinalPublishTries = 40;

enum class TStopReason { Signal, Duration, ServerGone, WriteFailed };

}  // namespace

TRecordingResult RunRecorder(const TRecorderOptions& options, const sigset_t& stopSignals,
                             std::ostream& out, std::ostream& err, bool liveLine) {
  TRecordingResult result;
  const auto fail = [&](int status, const std::string& message) {
    err << "recmon-record: " << message << '\n';
    result.ExitStatus = status;
    return result;
  };

  // Start-up: nothing is recorded yet, so any failure simply ends the program.
  std::unique_ptr<TPulseConnection> connection;
  std::optional<TChosenSources> sources;
  std::unique_ptr<TSoundFile> file;
  try {
    connection = std::make_unique<TPulseConnection>();
    const TServerInfo server = connection->Query();
    if (options.List) {
      out << SourceListText(server);
      result.ExitStatus = kExitDone;
      return result;
    }
    sources = ChooseSources(server, options);
    result.Path = ResolveCallPath(options, std::time(nullptr));
    if (result.Path.size() > RecMonFileNameSize) {
      return fail(kExitUsage, "the path " + result.Path + " is longer than the " +
                                  std::to_string(RecMonFileNameSize) +
                                  " bytes the monitor can show; choose a shorter one");
    }
    file = std::make_unique<TSoundFile>(result.Path, CallFileFormat(result.Path));
  } catch (const TRecorderUsageError& e) {
    return fail(kExitUsage, e.what());
  } catch (const std::exception& e) {
    return fail(kExitFailed, e.what());
  }
  out << result.Path << std::endl;

  // The monitor is a convenience; a recording goes ahead without it.
  std::unique_ptr<IStatusPublisher> channel;
  try {
    channel = std::make_unique<TChannelPublisher>();
  } catch (const std::exception& e) {
    err << "recmon-record: recording without showing it in the monitor: " << e.what() << '\n';
  }
  TStatusPublishing publishing(channel.get());

  const bool withOthers = sources->Others.has_value();
  const std::optional<TFramePos> durationEnd =
      options.DurationSeconds ? std::optional(static_cast<TFramePos>(
                                    std::llround(*options.DurationSeconds * kSampleRate)))
                              : std::nullopt;
  TFrameRing ring(kBufferFrames);
  TCaptureSink sink(ring, withOthers, durationEnd);
  TWriterThread writer(ring, *file);
  std::unique_ptr<TPulseCapture> capture;
  try {
    capture = std::make_unique<TPulseCapture>(
        *connection, *sources,
        [&sink](TSide side, std::span<const float> samples, unsigned channels) {
          sink.OnSamples(side, samples, channels, TClock::now(), RecMonTickCount());
        },
        [&sink](TSide side, std::size_t frames) { sink.OnHole(side, frames); });
  } catch (const std::exception& e) {
    writer.Finish();
    try {
      file->Close();
    } catch (const std::exception&) {
      // The stream's failure is the one worth telling.
    }
    return fail(kExitFailed, e.what());
  }

  TMeters meters;
  std::optional<double> startTime;
  bool closed = false;
  const auto figures = [&](double micRms, double othersRms) {
    TRecordingFigures f;
    f.FileName = result.Path;
    f.Recording = ring.Offered() > 0 && !closed;
    const auto origin = sink.Origin();
    if (origin && !startTime) {
      const std::chrono::duration<double> since = TClock::now() - *origin;
      startTime = LocalNow() - DaysFromSeconds(since.count());
    }
    f.StartTime = startTime.value_or(0);
    // The count first, then the moment: the file held at least this much then.
    f.FramesWritten = writer.Written();
    f.WrittenAt = LocalNow();
    f.BufferCapacity = ring.Capacity();
    f.BufferFill = ring.Fill();
    f.DroppedByWriter = ring.Refused();
    f.LostAtServer = sink.LostAtServer();
    const TMeters::TReading mine = meters.Mine(micRms);
    const TMeters::TReading theirs = meters.Theirs(othersRms);
    f.MyLevel = mine.Level;
    f.MyLevelBias = mine.Bias;
    f.TheirLevel = theirs.Level;
    f.TheirLevelBias = theirs.Bias;
    f.TheirLastSoundTick = sink.TheirLastSoundTick();
    f.WithOthers = withOthers;
    return f;
  };

  // The publishing thread: five times a second until a stop.
  TStopReason reason = TStopReason::Signal;
  std::string failure;
  TFramePos end = 0;
  const std::optional<std::chrono::duration<double>> duration =
      options.DurationSeconds
          ? std::optional(std::chrono::duration<double>(*options.DurationSeconds))
          : std::nullopt;
  auto nextTick = TClock::now();
  for (;;) {
    nextTick += kPublishInterval;
    auto wake = nextTick;
    const auto origin = sink.Origin();
    if (duration && origin) {
      wake = std::min(wake, *origin + std::chrono::duration_cast<TClock::duration>(*duration));
    }
    const bool signalled = StopSignalledBefore(stopSignals, wake);
    const auto now = TClock::now();
    if (signalled) {
      reason = TStopReason::Signal;
      end = sink.PositionAt(now);
      // Capture goes on while the sides catch up; nothing after the signal
      // is to be kept.
      connection->Locked([&] { sink.Limit(end); });
      break;
    }
    if (duration && origin &&
        now >= *origin + std::chrono::duration_cast<TClock::duration>(*duration)) {
      reason = TStopReason::Duration;
      end = *durationEnd;
      break;
    }
    if (const auto gone = connection->Failure()) {
      reason = TStopReason::ServerGone;
      failure = *gone;
      break;
    }
    if (const auto broken = writer.Failure()) {
      reason = TStopReason::WriteFailed;
      failure = *broken;
      break;
    }
    const double micRms = sink.TakeRms(TSide::Mic);
    const double othersRms = sink.TakeRms(TSide::Others);
    const TRecordingFigures f = figures(micRms, othersRms);
    publishing.Publish(f);
    if (liveLine) {
      std::error_code ignored;
      const std::uintmax_t size = std::filesystem::file_size(result.Path, ignored);
      const double bufferPercent =
          100.0 * static_cast<double>(f.BufferFill) / static_cast<double>(f.BufferCapacity);
      out << '\r'
          << StatusLineText({static_cast<double>(f.FramesWritten) / kSampleRate,
                             size == static_cast<std::uintmax_t>(-1) ? 0 : size, micRms, othersRms,
                             withOthers, bufferPercent,
                             static_cast<double>(f.DroppedByWriter + f.LostAtServer) / kSampleRate})
          << "\033[K" << std::flush;
    }
    // A late wake-up (a loaded machine) is not made up for with a burst.
    nextTick = std::max(nextTick, now);
  }

  // Stop capture so that the file ends at `end` with both sides complete.
  if (reason == TStopReason::Signal || reason == TStopReason::Duration) {
    const auto deadline = TClock::now() + kDrainTimeout;
    while (!sink.Reached(end) && TClock::now() < deadline && !connection->Failure()) {
      std::this_thread::sleep_for(10ms);
    }
    connection->Locked([&] { sink.Finish(end); });
    capture->Stop();
  } else {
    capture->Stop();
    if (reason == TStopReason::ServerGone) {
      // Keep whatever arrived before the server went.
      connection->Locked([&] { sink.Finish(sink.Furthest()); });
    }
  }
  writer.Finish();
  if (reason != TStopReason::WriteFailed) {
    if (const auto broken = writer.Failure()) {
      reason = TStopReason::WriteFailed;
      failure = *broken;
    }
  }
  try {
    file->Close();
  } catch (const std::exception& e) {
    if (failure.empty()) {
      reason = TStopReason::WriteFailed;
      failure = e.what();
    }
  }
  closed = true;
  if (liveLine) {
    out << '\n' << std::flush;
  }
  if (!publishing.PublishFinal(figures(0, 0))) {
    err << "recmon-record: could not clear Recording in the monitor's record\n";
  }

  result.Captured = ring.Offered();
  result.Written = writer.Written();
  result.DroppedByWriter = ring.Refused();
  result.LostAtServer = sink.LostAtServer();
  result.PeakBufferFill = ring.PeakFill();
  result.Published = publishing.Published();
  result.PublishesSkipped = publishing.Skipped();
  if (result.DroppedByWriter + result.LostAtServer > 0) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "%.2f s of audio lost: %.2f s because writing fell behind, %.2f s at the "
                  "sound server",
                  static_cast<double>(result.DroppedByWriter + result.LostAtServer) / kSampleRate,
                  static_cast<double>(result.DroppedByWriter) / kSampleRate,
                  static_cast<double>(result.LostAtServer) / kSampleRate);
    err << "recmon-record: " << text << '\n';
  }
  if (reason == TStopReason::ServerGone || reason == TStopReason::WriteFailed) {
    err << "recmon-record: " << failure << "; what was recorded until then is in " << result.Path
        << '\n';
    result.ExitStatus = kExitFailed;
  } else {
    result.ExitStatus = kExitDone;
  }
  return result;
}

}  // namespace recmon
