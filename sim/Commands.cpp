#include "Commands.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "CallScript.h"
#include "ChannelDirectory.h"
#include "DateTime.h"
#include "FieldValues.h"
#include "Publishing.h"
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
  SetDropped(r, f.DroppedBufferFull, f.DroppedAtServer);
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

// Publishing as every recorder of the package does it, a run of skipped
// publishes told on stderr when it starts and when it ends.
TPublishing SimPublishing(TRecMonWriter& writer) {
  return TPublishing(
      [&writer](const TRecMonSnapshot& r) { return writer.Publish(r); },
      [](const std::string& notice) { std::cerr << "recmon-sim: " << notice << std::endl; });
}

}  // namespace

int RunPlay(const TSimCommand& command, const sigset_t& stopSignals, std::ostream& out) {
  TTempRecording file;
  // Like a recorder, the call goes on when the monitor's record is another
  // recorder's: it is only not shown.
  std::optional<TRecMonWriter> writer;
  try {
    writer.emplace();
  } catch (const TRecordOwnedElsewhere& e) {
    std::cerr << "recmon-sim: playing the call without showing it in the monitor: " << e.what()
              << std::endl;
  }
  std::optional<TPublishing> publishing;
  if (writer) {
    publishing.emplace(SimPublishing(*writer));
  }
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
      if (publishing && !publishing->PublishFinal(record)) {
        throw std::runtime_error("could not publish the end of the call: " +
                                 std::string(TStatusLockBusy().what()));
      }
      break;
    }
    if (publishing) {
      publishing->Publish(record);
    }
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
  // An edit without a hold changes the record of whoever publishes it; a
  // holder stands for a recorder, so it holds the record when nobody does,
  // and a kill shows as a recorder's end.
  const bool holds = !command.HoldSeconds || *command.HoldSeconds > 0;
  TRecMonWriter writer(holds ? TWriterClaim::IfFree : TWriterClaim::None);
  TPublishing publishing = SimPublishing(writer);
  if (!publishing.PublishFinal(record)) {
    throw std::runtime_error("could not publish the record: " +
                             std::string(TStatusLockBusy().what()));
  }
  out << "holding the record in " << RecMonChannelDirectory() << " for ";
  if (command.HoldSeconds) {
    out << *command.HoldSeconds << " s" << std::endl;
  } else {
    out << "ever" << std::endl;
  }
  // Holding is publishing nothing new: the presence's beat shows that the
  // holder is alive (a stopped one then looks stuck to the monitor).
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> end;
  if (command.HoldSeconds) {
    end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                             std::chrono::duration<double>(*command.HoldSeconds));
  }
  for (;;) {
    const auto beat = Clock::now() + PresenceBeatInterval;
    const bool last = end && *end <= beat;
    if (StopSignalledBefore(stopSignals, last ? *end : beat) || last) {
      break;
    }
    [[maybe_unused]] const bool told = writer.KeepAlive();  // a busy lock: the next beat
  }
  return 0;
}

int RunShow(std::ostream& out) {
  TRecMonChannel channel;
  channel.Create();
  if (!channel.Mapping) {
    throw std::runtime_error("the status record is not available in " + RecMonChannelDirectory());
  }
  TRecMonStatusBytes bytes{};
  TWriterPresence presence;
  {
    const TStatusLock lock(channel);
    const auto view = channel.View();
    std::copy(view.begin(), view.end(), bytes.begin());
    presence = channel.WriterPresence();
  }
  out << RecordText(bytes, {LocalNow(), RecMonTickCount()});
  switch (presence.State) {
    case TWriterPresence::TState::Held:
      out << "Writer: running (beat " << presence.Beat << ")\n";
      break;
    case TWriterPresence::TState::Gone:
      out << "Writer: ended after writing this record\n";
      break;
    case TWriterPresence::TState::Unknown:
      out << "Writer: unknown (no presence, or the record was written without one)\n";
      break;
  }
  return 0;
}

}  // namespace recmon
