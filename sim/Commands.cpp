#include "Commands.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>

#include "CallScript.h"
#include "ChannelDirectory.h"
#include "DateTime.h"
#include "FieldValues.h"
#include "RecMonChannel.h"
#include "RecMonWriter.h"
#include "RecordText.h"
#include "StatusLock.h"
#include "StopSignals.h"
#include "TempRecording.h"
#include "TickCount.h"

namespace recmon {

namespace {

// Real time between two records of a played call.
constexpr std::chrono::milliseconds kFrameInterval{40};
// How long the record that must not be lost is retried against a busy lock.
constexpr std::chrono::milliseconds kLastPublishBound{3000};

// A frame of the call, stamped so that the record's times lie as far back from
// now as they lie back on the call's clock at `callSeconds`.
TRecMonSnapshot CallRecord(const TCallFrame& f, double callSeconds, const std::string& file,
                           const TSimClock& clock) {
  const auto daysAgo = [&](double at) { return clock.Now - DaysFromSeconds(callSeconds - at); };
  const auto tickAt = [&](double at) {
    return clock.Tick - static_cast<std::uint32_t>(std::lround((callSeconds - at) * 1000));
  };
  TRecMonSnapshot r;
  r.FileName = file;
  r.Recording = f.Recording;
  r.StartTime = daysAgo(0);
  r.BytesRecorded = f.BytesRecorded;
  r.LastUpdateTime = daysAgo(f.CountAt);
  r.BufferSize = CallBufferSize;
  r.BufferFree = f.BufferFree;
  r.BytesDropped = f.BytesDropped1 + f.BytesDropped2;
  r.BytesDropped1 = f.BytesDropped1;
  r.BytesDropped2 = f.BytesDropped2;
  r.MyLevel = f.MyLevel;
  r.MyLevelBias = CallMyLevelBias;
  r.TheirLevel = f.TheirLevel;
  r.TheirLevelBias = CallTheirLevelBias;
  r.TheirLastSoundTick = tickAt(f.TheirLastSoundAt);
  r.TheirRecordMode = TheirRecordModeRecorded;
  return r;
}

std::string CallClockText(double seconds) {
  const auto whole = static_cast<long>(seconds);
  char text[48];
  std::snprintf(text, sizeof text, "[%02ld:%02ld]", whole / 60, whole % 60);
  return text;
}

// Reports a run of skipped publishes once when it starts and once when it
// ends, so a stopped monitor does not flood the terminal.
class TSkipReporter final {
 public:
  explicit TSkipReporter(std::ostream& err) : Err_(err) {}
  void Published(bool written) {
    if (!written && Skipped_++ == 0) {
      Err_ << "recmon-sim: skipped a publish: " << TStatusLockBusy().what() << "; going on"
           << std::endl;
    } else if (written && Skipped_ > 0) {
      Err_ << "recmon-sim: publishing again after " << Skipped_ << " skipped" << std::endl;
      Skipped_ = 0;
    }
  }

 private:
  std::ostream& Err_;
  long Skipped_ = 0;
};

// The last record of a call (or the only one of `set`) must get through: it
// is retried until it is written, or for `bound` at most.
bool PublishPersistently(TRecMonWriter& writer, const TRecMonSnapshot& record,
                         std::chrono::milliseconds bound, TSkipReporter& skips) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    const bool written = writer.Publish(record);
    skips.Published(written);
    if (written || std::chrono::steady_clock::now() >= deadline) {
      return written;
    }
    std::this_thread::sleep_for(kFrameInterval);
  }
}

}  // namespace

int RunPlay(const TSimCommand& command, const sigset_t& stopSignals, std::ostream& out) {
  TTempRecording file;
  TRecMonWriter writer;
  TSkipReporter skips(std::cerr);
  out << "Recording file: " << file.Path() << std::endl;

  const auto started = std::chrono::steady_clock::now();
  std::size_t nextEvent = 0;
  for (bool stopped = false;;) {
    const std::chrono::duration<double> real = std::chrono::steady_clock::now() - started;
    const double t = stopped ? CallStopsAt : std::min(real.count() * command.Speed, CallEndsAt);
    const auto events = CallEvents();
    for (; nextEvent < events.size() && events[nextEvent].At <= t; ++nextEvent) {
      out << CallClockText(events[nextEvent].At) << ' ' << events[nextEvent].Text << std::endl;
    }
    const TCallFrame frame = CallAt(t);
    file.GrowTo(frame.BytesRecorded);
    const TRecMonSnapshot record =
        CallRecord(frame, t, file.Path(), {LocalNow(), RecMonTickCount()});
    if (stopped || t >= CallEndsAt) {
      if (!PublishPersistently(writer, record, kLastPublishBound, skips)) {
        throw std::runtime_error("could not publish the end of the call: " +
                                 std::string(TStatusLockBusy().what()));
      }
      break;
    }
    skips.Published(writer.Publish(record));
    // A stop request ends the call early, with the recording flag cleared.
    stopped = !WaitUnlessStopped(stopSignals, kFrameInterval);
    if (stopped) {
      out << "Stopped by a signal" << std::endl;
    }
  }
  return 0;
}

int RunSet(const TSimCommand& command, const sigset_t& stopSignals, std::ostream& out) {
  // Checked before attaching, so a bad value touches nothing.
  const TRecMonSnapshot record =
      BuildRecord(command.Assignments, command.NoMagic, {LocalNow(), RecMonTickCount()});
  TRecMonWriter writer;
  TSkipReporter skips(std::cerr);
  if (!PublishPersistently(writer, record, kLastPublishBound, skips)) {
    throw std::runtime_error("could not publish the record: " +
                             std::string(TStatusLockBusy().what()));
  }
  out << "holding the record in " << RecMonChannelDirectory() << " for ";
  if (command.HoldSeconds) {
    out << *command.HoldSeconds << " s" << std::endl;
  } else {
    out << "ever" << std::endl;
  }
  std::optional<std::chrono::duration<double>> hold;
  if (command.HoldSeconds) {
    hold = std::chrono::duration<double>(*command.HoldSeconds);
  }
  WaitUnlessStopped(stopSignals, hold);
  return 0;
}

int RunShow(std::ostream& out) {
  TRecMonChannel channel;
  channel.Create();
  if (!channel.Mapping) {
    throw std::runtime_error("the status record is not available in " + RecMonChannelDirectory());
  }
  TRecMonStatusBytes bytes{};
  {
    const TStatusLock lock(channel);
    const auto view = channel.View();
    std::copy(view.begin(), view.end(), bytes.begin());
  }
  out << RecordText(bytes, {LocalNow(), RecMonTickCount()});
  return 0;
}

}  // namespace recmon
