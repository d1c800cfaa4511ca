#pragma once

// Tells when a call begins and ends from the capture streams that programs
// hold open on the sound server. A call begins when a program keeps a
// microphone open for kCallBeginsAfter, and ends when that program has had
// no microphone open for kCallEndsAfter, so a program that reopens its
// microphone mid-call (a device change, a restart of its audio engine) does
// not split the call, and one that mutes (its stream stays open) does not end
// it. A pure state machine: streams and the time come in, calls come out, and
// it says when it next needs the time, so the caller sleeps until then or
// until the server reports a change, never polling.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ServerStreams.h"

namespace recmon {

using TDetectorTime = std::chrono::steady_clock::time_point;

inline constexpr std::chrono::seconds kCallBeginsAfter{2};
inline constexpr std::chrono::seconds kCallEndsAfter{5};
// Capture below this rate is a level meter (volume controls watch every
// source at a few dozen samples a second), never a call.
inline constexpr std::uint32_t kMinCallRateHz = 4000;

// Which programs' calls are recorded: the default is any program but our
// own; --only narrows that to the programs named, --ignore takes programs
// out. A program is named by its name or its executable's, in any case.
class TCallFilter final {
 public:
  TCallFilter() = default;
  TCallFilter(std::vector<std::string> only, std::vector<std::string> ignore, std::uint32_t ownPid);

  bool Records(const TStreamOwner& owner) const;
  // recmon-record, recmon and recmon-sim, and this process.
  bool IsOurs(const TStreamOwner& owner) const;

 private:
  std::vector<std::string> Only_;    // lower case
  std::vector<std::string> Ignore_;  // lower case
  std::uint32_t OwnPid_ = 0;
};

// A capture stream that can begin or hold a call: on a microphone (not an
// output's monitor), at a rate speech needs, of a program the filter records.
bool IsCallCapture(const TCaptureStream& stream, const TCallFilter& filter);

struct TCallEvent {
  enum class TKind { Began, Ended };
  TKind Kind = TKind::Began;
  std::string App;   // TStreamOwner::Key() of the call's program
  TDetectorTime At;  // when the rule was met (the caller may look later)
  bool operator==(const TCallEvent&) const = default;
};

class TCallDetector final {
 public:
  explicit TCallDetector(TCallFilter filter);

  // The server's capture streams as seen at `now`.
  void SetStreams(const std::vector<TCaptureStream>& captures, TDetectorTime now);
  // The server went away: nothing is known until the next SetStreams, so no
  // call begins, and a call in progress neither ends nor counts its program's
  // absence until the server is back.
  void SetServerGone();
  // Ends the current call without an event, because its recording failed for
  // good. Its program must close its microphone before it can begin another,
  // so a failure does not start a new file over and over.
  void Abandon();
  // Ends the current call without an event and without holding its program
  // back: if it still holds a microphone, a new call begins by the rules.
  void Forget();

  // The calls that ended and began by `now`, in that order.
  std::vector<TCallEvent> Advance(TDetectorTime now);
  // When Advance has something to do without a new SetStreams; nothing when
  // only the server can change anything.
  std::optional<TDetectorTime> NextDeadline() const;

  // The program whose call is in progress.
  const std::optional<std::string>& Call() const { return Call_; }

 private:
  TCallFilter Filter_;
  // Each program holding a microphone now, and since when without a break.
  std::map<std::string, TDetectorTime> Capturing_;
  std::set<std::string> Abandoned_;
  std::optional<std::string> Call_;
  std::optional<TDetectorTime> CallAbsentSince_;
  TDetectorTime LastEnd_{};
  bool ServerGone_ = false;
};

}  // namespace recmon
