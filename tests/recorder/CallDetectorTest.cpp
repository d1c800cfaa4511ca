// When calls begin and end, as scripts of what the server shows over time.
// The driver sleeps exactly as the recorder does: until the detector's next
// deadline or the next change, whichever is first; an event that comes late
// or not at all means a wrong deadline.

#include <gtest/gtest.h>

#include <sstream>
#include <variant>

#include "CallDetector.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kOwnPid = 4242;

TCaptureStream Mic(const std::string& app, const std::string& source = "mic",
                   std::uint32_t index = 1) {
  TCaptureStream s;
  s.Index = index;
  s.Owner.AppName = app;
  s.Owner.Binary = "bin-" + app;
  s.Owner.Pid = 100;
  s.Source = source;
  s.RateHz = 48000;
  return s;
}

struct TGone {};
struct TAbandon {};
struct TForget {};
using TChange = std::variant<std::vector<TCaptureStream>, TGone, TAbandon, TForget>;

struct TStep {
  int AtMs = 0;
  TChange Change;
};

struct TScenario {
  const char* Proves;
  std::vector<TStep> Steps;
  std::vector<std::string> Expected;  // "+App@ms" began, "-App@ms" ended
  TCallFilter Filter{{}, {}, kOwnPid};
};

std::vector<std::string> Play(const TScenario& scenario) {
  TCallDetector detector(scenario.Filter);
  const TDetectorTime origin{};
  const auto ms = [&](TDetectorTime t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t - origin).count();
  };
  std::vector<std::string> seen;
  const auto advance = [&](TDetectorTime now) {
    for (const TCallEvent& e : detector.Advance(now)) {
      std::ostringstream text;
      text << (e.Kind == TCallEvent::TKind::Began ? '+' : '-') << e.App << '@' << ms(e.At);
      seen.push_back(text.str());
      EXPECT_EQ(e.At, now) << "woken at the deadline, so nothing is late: " << text.str();
    }
  };
  std::size_t next = 0;
  const TDetectorTime end = origin + 60s;
  for (;;) {
    const std::optional<TDetectorTime> deadline = detector.NextDeadline();
    const TDetectorTime change = next < scenario.Steps.size()
                                     ? origin + std::chrono::milliseconds(scenario.Steps[next].AtMs)
                                     : end;
    if (deadline && *deadline <= change) {
      advance(*deadline);
      continue;
    }
    if (next == scenario.Steps.size()) {
      break;
    }
    std::visit(
        [&](const auto& what) {
          using T = std::decay_t<decltype(what)>;
          if constexpr (std::is_same_v<T, TGone>) {
            detector.SetServerGone();
          } else if constexpr (std::is_same_v<T, TAbandon>) {
            detector.Abandon();
          } else if constexpr (std::is_same_v<T, TForget>) {
            detector.Forget();
          } else {
            detector.SetStreams(what, change);
          }
        },
        scenario.Steps[next].Change);
    ++next;
    advance(change);
  }
  return seen;
}

using TStreams = std::vector<TCaptureStream>;

TEST(CallDetectorTest, CallsBeginAndEndByTheTimeRules) {
  TCaptureStream onMonitor = Mic("OBS", "others.monitor");
  onMonitor.SourceIsMonitor = true;
  TCaptureStream meter = Mic("pavucontrol");
  meter.RateHz = 25;
  TCaptureStream recorder = Mic("x");
  recorder.Owner = {"recmon-record", "recmon-record", 7};
  TCaptureStream ownPid = Mic("renamed");
  ownPid.Owner.Pid = kOwnPid;
  TCaptureStream nameless = Mic("");
  nameless.Owner.Binary = "";
  TCaptureStream binaryOnly = Mic("");
  binaryOnly.Owner.Binary = "linphone";
  TCaptureStream atSpeechRate = Mic("Phone");
  atSpeechRate.RateHz = 8000;

  const TScenario rows[] = {
      {"held 2 s begins a call, closed 5 s ends it",
       {{0, TStreams{Mic("Zoom")}}, {10000, TStreams{}}},
       {"+Zoom@2000", "-Zoom@15000"}},
      {"held 1.9 s is no call", {{0, TStreams{Mic("Zoom")}}, {1900, TStreams{}}}, {}},
      {"closed for 4.9 s and reopened: one call, not two",
       {{0, TStreams{Mic("Zoom")}},
        {5000, TStreams{}},
        {9900, TStreams{Mic("Zoom")}},
        {20000, TStreams{}}},
       {"+Zoom@2000", "-Zoom@25000"}},
      {"closed for 5 s: the call ended; reopened, a second call",
       {{0, TStreams{Mic("Zoom")}},
        {5000, TStreams{}},
        {10000, TStreams{Mic("Zoom")}},
        {20000, TStreams{}}},
       {"+Zoom@2000", "-Zoom@10000", "+Zoom@12000", "-Zoom@25000"}},
      {"a program that moves to another microphone keeps its call",
       {{0, TStreams{Mic("Zoom", "mic", 1)}},
        {3000, TStreams{Mic("Zoom", "headset", 2)}},
        {9000, TStreams{}}},
       {"+Zoom@2000", "-Zoom@14000"}},
      {"a program's streams coming and going in turn never leave it without one",
       {{0, TStreams{Mic("Zoom", "mic", 1)}},
        {1000, TStreams{Mic("Zoom", "mic", 1), Mic("Zoom", "mic", 2)}},
        {1500, TStreams{Mic("Zoom", "mic", 2)}},
        {8000, TStreams{}}},
       {"+Zoom@2000", "-Zoom@13000"}},
      {"an output's monitor is not a microphone", {{0, TStreams{onMonitor}}}, {}},
      {"a level meter is not a call", {{0, TStreams{meter}}}, {}},
      {"telephone rate is a call", {{0, TStreams{atSpeechRate}}}, {"+Phone@2000"}},
      {"our own recorder by name is not a call", {{0, TStreams{recorder}}}, {}},
      {"this process is not a call whatever it is named", {{0, TStreams{ownPid}}}, {}},
      {"a program the server cannot name is not a call", {{0, TStreams{nameless}}}, {}},
      {"a program named only by its executable", {{0, TStreams{binaryOnly}}}, {"+linphone@2000"}},
      {"one call at a time: a second program waits for the first to end",
       {{0, TStreams{Mic("Zoom")}},
        {1000, TStreams{Mic("Zoom"), Mic("Skype")}},
        {10000, TStreams{Mic("Skype")}},
        {20000, TStreams{}}},
       {"+Zoom@2000", "-Zoom@15000", "+Skype@15000", "-Skype@25000"}},
      {"of two waiting programs the one that opened first goes first",
       {{0, TStreams{Mic("B")}}, {500, TStreams{Mic("A"), Mic("B")}}},
       {"+B@2000"}},
      {"server gone mid-call: the absence counts from its return",
       {{0, TStreams{Mic("Zoom")}},
        {5000, TGone{}},
        {12000, TStreams{}},
        {15000, TStreams{Mic("Zoom")}},
        {30000, TStreams{}}},
       {"+Zoom@2000", "-Zoom@35000"}},
      {"server back without the program: ends 5 s after the return",
       {{0, TStreams{Mic("Zoom")}}, {5000, TGone{}}, {12000, TStreams{}}},
       {"+Zoom@2000", "-Zoom@17000"}},
      {"no call begins while the server is gone, nor counts time from before it",
       {{0, TStreams{Mic("Zoom")}}, {1000, TGone{}}, {3000, TStreams{Mic("Zoom")}}},
       {"+Zoom@5000"}},
      {"an abandoned call: nothing new until the program lets go of its microphone",
       {{0, TStreams{Mic("Zoom")}},
        {4000, TAbandon{}},
        {6000, TStreams{Mic("Zoom", "mic", 2)}},
        {8000, TStreams{}},
        {9000, TStreams{Mic("Zoom")}}},
       {"+Zoom@2000", "+Zoom@11000"}},
      {"a call given up while the server is away begins again when the program is back",
       {{0, TStreams{Mic("Zoom")}},
        {5000, TGone{}},
        {10000, TForget{}},
        {12000, TStreams{Mic("Zoom")}}},
       {"+Zoom@2000", "+Zoom@14000"}},
      {"--ignore by name, in any case",
       {{0, TStreams{Mic("Zoom"), Mic("Skype")}}},
       {"+Skype@2000"},
       TCallFilter({}, {"ZOOM"}, kOwnPid)},
      {"--only by executable",
       {{0, TStreams{Mic("Zoom"), Mic("Skype")}}},
       {"+Skype@2000"},
       TCallFilter({"Bin-Skype"}, {}, kOwnPid)},
      {"--ignore wins over --only",
       {{0, TStreams{Mic("Zoom")}}},
       {},
       TCallFilter({"zoom"}, {"zoom"}, kOwnPid)},
  };
  for (const TScenario& row : rows) {
    SCOPED_TRACE(row.Proves);
    EXPECT_EQ(Play(row), row.Expected);
  }
}

TEST(CallDetectorTest, SleepsForeverWhenOnlyTheServerCanChangeAnything) {
  TCallDetector detector(TCallFilter({}, {}, kOwnPid));
  const TDetectorTime t0{};
  EXPECT_FALSE(detector.NextDeadline()) << "nothing open";
  detector.SetStreams({Mic("Zoom")}, t0);
  EXPECT_EQ(detector.NextDeadline(), t0 + 2s);
  detector.Advance(t0 + 2s);
  EXPECT_EQ(detector.Call(), "Zoom");
  EXPECT_FALSE(detector.NextDeadline()) << "a call in progress with its microphone open";
  detector.SetServerGone();
  EXPECT_FALSE(detector.NextDeadline()) << "the server is away";
}

}  // namespace
}  // namespace recmon
