// recmon-sim as a user and a monitor meet it: a real process on a private
// runtime directory.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <thread>

#include "RecMonChannel.h"
#include "StatusLock.h"
#include "TestProcess.h"
#include "WatchingMonitor.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;
using test::Exists;
using test::TChildProcess;

class SimProcessTest : public ::testing::Test {
 protected:
  test::TRuntimeDir Runtime;
};

TEST_F(SimProcessTest, BadArgumentsExitWithAMessageAndTouchNothing) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"set", "Recording=1", "Bogus=2", "--hold", "5"},
        std::vector<std::string>{"play", "--speed", "0"}, std::vector<std::string>{"frobnicate"}}) {
    TChildProcess sim(RECMON_SIM, args);
    EXPECT_EQ(sim.Wait(5s), 2);
    EXPECT_NE(sim.Errors().find("recmon-sim: "), std::string::npos);
    EXPECT_NE(sim.Errors().find("--help"), std::string::npos);
    EXPECT_FALSE(Exists(Runtime.Channel)) << "nothing attached, nothing created";
  }
}

TEST_F(SimProcessTest, HoldEndsCleanlyOnAStopSignal) {
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    TChildProcess sim(RECMON_SIM, {"set", "Recording=1", "--hold", "forever"});
    const auto line = sim.ReadLine(5s);
    ASSERT_TRUE(line && line->starts_with("holding")) << sim.Errors();
    sim.Signal(sig);
    EXPECT_EQ(sim.Wait(3s), 0);
    EXPECT_FALSE(Exists(Runtime.MapPath())) << "detached as the last user";
  }
}

TEST_F(SimProcessTest, UnavailableChannelIsAFailureNotASilentSuccess) {
  ASSERT_EQ(::mkdir(Runtime.Channel.c_str(), 0755), 0);
  for (const char* command : {"set", "show", "play"}) {
    TChildProcess sim(RECMON_SIM, {command});
    EXPECT_EQ(sim.Wait(5s), 1) << command;
    EXPECT_NE(sim.Errors().find("not available in " + Runtime.Channel), std::string::npos)
        << sim.Errors();
  }
}

TEST_F(SimProcessTest, PlayTakesTheMonitorThroughTheWholeCall) {
  TRecMonChannel monitor;
  monitor.Create();
  TChildProcess sim(RECMON_SIM, {"play", "--speed", "40"});
  const auto first = sim.ReadLine(5s);
  ASSERT_TRUE(first && first->starts_with("Recording file: ")) << sim.Errors();
  const std::string file = first->substr(16);

  bool sawRecording = false;
  bool sawFair = false;
  bool sawPoor = false;
  bool fileGrew = false;
  for (auto until = std::chrono::steady_clock::now() + 10s;
       !sim.Wait(0ms) && std::chrono::steady_clock::now() < until;) {
    std::optional<TRecMonSnapshot> s;
    {
      const TStatusLock lock(monitor);
      s = DecodeStatus(monitor.View());
    }
    if (s && s->Recording) {
      const double percent = 100.0 * (s->BufferSize - s->BufferFree) / s->BufferSize;
      sawRecording = true;
      sawFair |= percent >= 10 && percent < 60;
      sawPoor |= percent >= 60;
      struct stat st {};
      fileGrew |= s->FileName == file && ::stat(file.c_str(), &st) == 0 && st.st_size > 0;
    }
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_EQ(sim.Wait(0ms), 0) << sim.Errors();
  EXPECT_TRUE(sawRecording);
  EXPECT_TRUE(sawFair);
  EXPECT_TRUE(sawPoor);
  EXPECT_TRUE(fileGrew);

  const TStatusLock lock(monitor);
  const auto last = DecodeStatus(monitor.View());
  ASSERT_TRUE(last.has_value());
  EXPECT_FALSE(last->Recording) << "the call ends with recording off";
  EXPECT_GT(last->BytesDropped, 0U);
  EXPECT_FALSE(Exists(file));
  EXPECT_FALSE(Exists(file.substr(0, file.rfind('/')))) << "the temporary folder goes too";
}

TEST_F(SimProcessTest, ASecondPlayPlaysItsCallWithoutShowingItAndSaysSoOnce) {
  test::TWatchingMonitor monitor;
  TChildProcess first(RECMON_SIM, {"play", "--speed", "2"});
  const auto firstLine = first.ReadLine(5s);
  ASSERT_TRUE(firstLine && firstLine->starts_with("Recording file: ")) << first.Errors();
  const std::string firstFile = firstLine->substr(16);
  const auto showsFirst = [&] { return monitor.Hint(TControl::lblFile) == firstFile; };
  ASSERT_TRUE(monitor.RefreshUntil(showsFirst, 2s)) << monitor.Shown();

  TChildProcess second(RECMON_SIM, {"play", "--speed", "40"});
  while (!second.Wait(0ms)) {
    monitor.Refresh();
    ASSERT_TRUE(showsFirst()) << "the second publishes: " << monitor.Shown();
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_EQ(second.Wait(0ms), 0) << second.Errors();
  EXPECT_NE(second.Output().find("Recording stopped"), std::string::npos) << "the call played";
  const std::string said = "another recorder owns the monitor's record";
  const std::string& errors = second.Errors();
  EXPECT_NE(errors.find(said), std::string::npos) << errors;
  EXPECT_EQ(errors.find(said), errors.rfind(said)) << "said once: " << errors;

  first.Signal(SIGTERM);
  EXPECT_EQ(first.Wait(3s), 0) << first.Errors();
}

}  // namespace
}  // namespace recmon
