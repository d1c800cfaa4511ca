// The built recmon as a user starts it, beside the demo recorder: real
// processes on a private runtime directory, on the offscreen platform.

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TestProcess.h"
#include "WatchingMonitor.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Exists;
using test::TChildProcess;
using test::TWatchingMonitor;

// The monitor closes itself on the first refresh (every 200 ms) once
// recording has been off for more than ten seconds; the process then ends.
// Its clock starts at the last refresh that still saw the recording, which
// may come up to one refresh gap before the recorder's stop; on a loaded
// machine that gap grows past the nominal 200 ms.
constexpr auto RefreshGapUnderLoad = 500ms;
constexpr auto SelfCloseEarliest = 10s;
constexpr auto SelfCloseLatest = 12s;

// What is left of the latest close time counted from a moment.
std::chrono::milliseconds Remaining(Clock::time_point from) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(SelfCloseLatest -
                                                               (Clock::now() - from));
}

class RecMonProcess : public ::testing::Test {
 protected:
  // No X server in CI: the monitors run on Qt's offscreen platform.
  void SetUp() override { ::setenv("QT_QPA_PLATFORM", "offscreen", 1); }
  test::TRuntimeDir Runtime;
};

TEST_F(RecMonProcess, WithNoRecorderItClosesItselfAfterTenSecondsAndDetaches) {
  const auto start = Clock::now();
  TChildProcess monitor(RECMON, {});
  EXPECT_FALSE(monitor.Wait(SelfCloseEarliest - 500ms)) << monitor.Errors();
  EXPECT_TRUE(Exists(Runtime.MapPath())) << "attached while running";
  EXPECT_EQ(monitor.Wait(Remaining(start)), 0) << monitor.Errors();
  EXPECT_GE(Clock::now() - start, SelfCloseEarliest);
  EXPECT_FALSE(Exists(Runtime.MapPath())) << "the last user out removes the record";
}

TEST_F(RecMonProcess, StaysOpenWhileRecordingAndClosesTenSecondsAfterItStops) {
  TChildProcess recorder(RECMON_SIM, {"set", "Recording=1", "StartTime=now", "FileName=/tmp/x.wav",
                                      "--hold", "forever"});
  const auto holding = recorder.ReadLine(5s);
  ASSERT_TRUE(holding && holding->starts_with("holding")) << recorder.Errors();

  TChildProcess monitor(RECMON, {});
  EXPECT_FALSE(monitor.Wait(SelfCloseLatest)) << "closed while recording: " << monitor.Errors();

  // The call ends: the recorder clears the flag and goes.
  const auto stopping = Clock::now();
  TChildProcess cleared(RECMON_SIM, {"set", "Recording=0", "FileName=/tmp/x.wav"});
  ASSERT_EQ(cleared.Wait(5s), 0) << cleared.Errors();
  const auto stopped = Clock::now();
  recorder.Signal(SIGTERM);
  EXPECT_EQ(recorder.Wait(3s), 0);

  EXPECT_FALSE(monitor.Wait(SelfCloseEarliest - 1s)) << monitor.Errors();
  EXPECT_EQ(monitor.Wait(Remaining(stopped)), 0) << monitor.Errors();
  EXPECT_GE(Clock::now() - stopping, SelfCloseEarliest - RefreshGapUnderLoad);
  EXPECT_FALSE(Exists(Runtime.MapPath()));
}

TEST_F(RecMonProcess, TwoMonitorsRunSideBySideOnTheSameRecord) {
  TChildProcess first(RECMON, {});
  TChildProcess second(RECMON, {});
  std::this_thread::sleep_for(1s);
  EXPECT_FALSE(first.Wait(0ms)) << first.Errors();
  EXPECT_FALSE(second.Wait(0ms)) << second.Errors();
  first.Signal(SIGTERM);
  second.Signal(SIGTERM);
  EXPECT_EQ(first.Wait(3s), 0) << first.Errors();
  EXPECT_EQ(second.Wait(3s), 0) << second.Errors();
}

TEST_F(RecMonProcess, AStopSignalEndsItLikeClosingTheWindow) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    TChildProcess monitor(RECMON, {});
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(Exists(Runtime.MapPath())) << "attached while running";
    monitor.Signal(signal);
    EXPECT_EQ(monitor.Wait(3s), 0) << "signal " << signal << ": " << monitor.Errors();
    EXPECT_FALSE(Exists(Runtime.MapPath())) << "detached on signal " << signal;
  }
}

// Peers that hang: the monitor waits for none of them.
TEST_F(RecMonProcess, AStoppedLockHolderDoesNotKeepItFromEnding) {
  TChildProcess recorder(RECMON_SIM, {"set", "Recording=1", "StartTime=now", "--hold", "forever"});
  ASSERT_TRUE(recorder.ReadLine(5s)) << recorder.Errors();
  TChildProcess monitor(RECMON, {});
  std::this_thread::sleep_for(500ms);
  TChildProcess holder(RECMON_CHANNEL_HELPER, {"lock-hold"});
  ASSERT_EQ(holder.ReadLine(5s), "locked") << holder.Errors();
  holder.Signal(SIGSTOP);
  std::this_thread::sleep_for(1s);  // several refreshes meet the held lock
  EXPECT_FALSE(monitor.Wait(0ms)) << monitor.Errors();
  monitor.Signal(SIGTERM);
  EXPECT_EQ(monitor.Wait(3s), 0) << "ends on a stop signal while the lock is held";
  holder.Signal(SIGKILL);
}

TEST_F(RecMonProcess, AHeldGateNeitherKeepsTheWindowFromStartingNorTheProgramFromEnding) {
  TChildProcess gate(RECMON_CHANNEL_HELPER, {"gate-hold"});
  ASSERT_EQ(gate.ReadLine(5s), "gated") << gate.Errors();
  TChildProcess monitor(RECMON, {});
  std::this_thread::sleep_for(1s);
  EXPECT_FALSE(monitor.Wait(0ms)) << monitor.Errors();
  EXPECT_FALSE(Exists(Runtime.MapPath())) << "not attached while the gate is held";

  gate.Signal(SIGKILL);
  ASSERT_EQ(gate.Wait(3s), 128 + SIGKILL);
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(Exists(Runtime.MapPath())) << "attached on a later refresh";

  TChildProcess again(RECMON_CHANNEL_HELPER, {"gate-hold"});
  ASSERT_EQ(again.ReadLine(5s), "gated") << again.Errors();
  monitor.Signal(SIGTERM);
  EXPECT_EQ(monitor.Wait(3s), 0) << "ends although it cannot detach";
  again.Signal(SIGKILL);
}

// A refresh error during start-up opens its box before the main loop runs.
TEST_F(RecMonProcess, OneStopSignalEndsItWhileAStartUpErrorBoxIsOpen) {
  TChildProcess recorder(RECMON_SIM, {"set", "Recording=1", "StartTime=nan", "--hold", "forever"});
  ASSERT_TRUE(recorder.ReadLine(5s)) << recorder.Errors();
  TChildProcess monitor(RECMON, {});
  std::this_thread::sleep_for(1s);
  ASSERT_FALSE(monitor.Wait(0ms)) << monitor.Errors();
  monitor.Signal(SIGTERM);
  EXPECT_EQ(monitor.Wait(3s), 0) << monitor.Errors();
}

TEST_F(RecMonProcess, DetachesWhenTheXServerGoesAway) {
  if (std::system("command -v Xvfb >/dev/null") != 0) {
    GTEST_SKIP() << "no Xvfb";
  }
  TChildProcess xserver("/bin/sh", {"-c", "exec Xvfb -displayfd 1 -nolisten tcp 2>/dev/null"});
  const auto display = xserver.ReadLine(10s);
  ASSERT_TRUE(display) << xserver.Errors();
  ::unsetenv("QT_QPA_PLATFORM");
  ::setenv("DISPLAY", (":" + *display).c_str(), 1);
  TChildProcess monitor(RECMON, {});
  std::this_thread::sleep_for(1500ms);
  ASSERT_TRUE(Exists(Runtime.MapPath())) << "attached while running: " << monitor.Errors();
  xserver.Signal(SIGTERM);
  EXPECT_TRUE(monitor.Wait(5s)) << "ends without its display";
  EXPECT_FALSE(Exists(Runtime.MapPath())) << "the last user removes the record also then";
}

// What becomes of a recorder that hangs, or follows the older protocol, as a
// monitor running beside it sees it (the monitor's logic over the real
// channel; atspi-recorder-check shows the real window when recorders hang
// and crash). A holding recmon-sim stands for a recorder.
class RecorderFate : public RecMonProcess {
 protected:
  std::unique_ptr<TChildProcess> Recorder() {
    auto sim = std::make_unique<TChildProcess>(
        RECMON_SIM,
        std::vector<std::string>{"set", "Recording=1", "FileName=/tmp/call.wav", "StartTime=now",
                                 "LastUpdateTime=now", "BufferSize=100", "BufferFree=95", "--hold",
                                 "forever"});
    const auto holding = sim->ReadLine(5s);
    EXPECT_TRUE(holding && holding->starts_with("holding")) << sim->Errors();
    return sim;
  }
  const std::function<bool()> recording = [this] { return monitor.ShowsRecording(); };
  const std::function<bool()> stuck = [this] { return monitor.ShowsNoUpdate(); };
  TWatchingMonitor monitor;
};

TEST_F(RecorderFate, AStoppedRecorderLooksStuckAfterFiveSecondsAndWellAgainWhenItGoesOn) {
  const auto recorder = Recorder();
  ASSERT_TRUE(monitor.RefreshUntil(recording, 2s)) << monitor.Shown();
  recorder->Signal(SIGSTOP);
  // Its last beat may have come up to a second before it stopped.
  EXPECT_TRUE(monitor.KeepsShowing(recording, 3500ms)) << monitor.Shown();
  EXPECT_TRUE(monitor.RefreshUntil(stuck, 3s)) << monitor.Shown();
  recorder->Signal(SIGCONT);
  EXPECT_TRUE(monitor.RefreshUntil(recording, 1s)) << monitor.Shown();
}

TEST_F(RecorderFate, ARecorderOfTheOlderProtocolIsShownAsBeforeAndNeverAsEnded) {
  TChildProcess older(RECMON_CHANNEL_HELPER, {"older-recorder"});
  ASSERT_EQ(older.ReadLine(5s), "writing") << older.Errors();
  ASSERT_TRUE(monitor.RefreshUntil(recording, 2s)) << monitor.Shown();
  EXPECT_TRUE(monitor.KeepsShowing(recording, 6s)) << monitor.Shown();
  older.Signal(SIGKILL);
  ASSERT_EQ(older.Wait(3s), 128 + SIGKILL);
  // No presence, so nothing tells its end: only the lack of updates does.
  EXPECT_TRUE(monitor.KeepsShowing(recording, 4s)) << monitor.Shown();
  EXPECT_TRUE(monitor.RefreshUntil(stuck, 3s)) << monitor.Shown();
}

// Restores one environment variable when the test ends.
class TSavedEnv final {
 public:
  explicit TSavedEnv(const char* name) : Name_(name) {
    if (const char* value = ::getenv(name)) {
      Value_ = value;
    }
  }
  ~TSavedEnv() {
    if (Value_) {
      ::setenv(Name_, Value_->c_str(), 1);
    } else {
      ::unsetenv(Name_);
    }
  }
  TSavedEnv(const TSavedEnv&) = delete;
  TSavedEnv& operator=(const TSavedEnv&) = delete;

 private:
  const char* Name_;
  std::optional<std::string> Value_;
};

TEST_F(RecMonProcess, WithNothingToShowTheWindowOnItSaysWhatIsMissingInOneLineAndExits1) {
  struct Row {
    const char* name;
    const char* display;  // nullptr: unset
    const char* names;    // what the line must name
  };
  const Row rows[] = {
      {"no DISPLAY", nullptr, "no X server (DISPLAY is not set)"},
      {"a DISPLAY nobody answers on", ":9973", "no X server answers on DISPLAY=:9973"},
  };
  const TSavedEnv display("DISPLAY");
  const TSavedEnv wayland("WAYLAND_DISPLAY");
  // The private runtime folder has no compositor's socket.
  ::unsetenv("WAYLAND_DISPLAY");
  ::unsetenv("QT_QPA_PLATFORM");
  for (const Row& row : rows) {
    if (row.display == nullptr) {
      ::unsetenv("DISPLAY");
    } else {
      ::setenv("DISPLAY", row.display, 1);
    }
    TChildProcess monitor(RECMON, {});
    EXPECT_EQ(monitor.Wait(5s), 1) << row.name << ": " << monitor.Errors();
    const std::string& line = monitor.Errors();
    EXPECT_NE(line.find(row.names), std::string::npos) << row.name << ": " << line;
    EXPECT_NE(line.find("no Wayland compositor answers at " + Runtime.Path + "/wayland-0"),
              std::string::npos)
        << row.name << ": " << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << row.name << ": " << line;
    EXPECT_TRUE(line.starts_with("recmon: ")) << line;
    EXPECT_FALSE(Exists(Runtime.MapPath())) << row.name << ": never attached";
  }
}

TEST_F(RecMonProcess, HelpAndVersionPrintAndExitWithoutOpeningTheWindowOrAttaching) {
  struct Row {
    std::vector<std::string> args;
    const char* starts;  // what stdout begins with
  };
  const Row rows[] = {
      {{"--help"}, "Usage: recmon [--help | --version]\n"},
      {{"-h"}, "Usage: recmon [--help | --version]\n"},
      {{"--version"}, "recmon 1."},
      {{"--something", "--version"}, "recmon 1."},
  };
  // Even where no display could be opened: nothing of the window is touched.
  const TSavedEnv display("DISPLAY");
  ::unsetenv("DISPLAY");
  for (const Row& row : rows) {
    TChildProcess monitor(RECMON, row.args);
    EXPECT_EQ(monitor.Wait(5s), 0) << row.args.front() << ": " << monitor.Errors();
    EXPECT_TRUE(monitor.Output().starts_with(row.starts)) << monitor.Output();
    EXPECT_EQ(monitor.Errors(), "") << row.args.front();
    EXPECT_FALSE(Exists(Runtime.MapPath())) << row.args.front() << ": never attached";
  }
}

TEST_F(RecMonProcess, AnXServerThatRefusesUsCountsAsNoneAtAll) {
  if (std::system("command -v Xvfb >/dev/null && command -v xauth >/dev/null") != 0) {
    GTEST_SKIP() << "no Xvfb or xauth";
  }
  // The server admits only holders of a cookie that the monitor does not
  // have.
  const std::string cookies = Runtime.Path + "/cookies";
  ASSERT_EQ(std::system(
                ("xauth -q -f " + cookies + " add :0 . 0123456789abcdef0123456789abcdef").c_str()),
            0);
  TChildProcess xserver(
      "/bin/sh", {"-c", "exec Xvfb -displayfd 1 -nolisten tcp -auth \"$0\" 2>/dev/null", cookies});
  const auto display = xserver.ReadLine(10s);
  ASSERT_TRUE(display) << xserver.Errors();
  const TSavedEnv displayVariable("DISPLAY");
  const TSavedEnv authority("XAUTHORITY");
  const TSavedEnv wayland("WAYLAND_DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  ::unsetenv("QT_QPA_PLATFORM");
  ::setenv("DISPLAY", (":" + *display).c_str(), 1);
  ::setenv("XAUTHORITY", (Runtime.Path + "/no-cookies").c_str(), 1);
  TChildProcess monitor(RECMON, {});
  EXPECT_EQ(monitor.Wait(5s), 1) << "not Qt's abort: " << monitor.Errors();
  const std::string& line = monitor.Errors();
  EXPECT_NE(line.find("the X server on DISPLAY=:" + *display + " refuses the connection"),
            std::string::npos)
      << line;
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
  EXPECT_FALSE(Exists(Runtime.MapPath())) << "never attached";
}

}  // namespace
}  // namespace recmon
