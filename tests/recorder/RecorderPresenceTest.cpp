// recmon-record beside a monitor when a second one starts: the real program
// on a private sound server, watched by the monitor's logic over the real
// channel. (Its crash is shown in the real window by atspi-recorder-check.)

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <memory>

#include "SoundServer.h"
#include "TestProcess.h"
#include "WatchingMonitor.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;
using test::TChildProcess;

class RecorderPresenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string home = Runtime.Path + "/home";
    ::mkdir(home.c_str(), 0700);
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    Server = std::make_unique<test::TSoundServer>(Runtime.Path, true);
    Monitor = std::make_unique<test::TWatchingMonitor>();
  }
  void TearDown() override { ::unsetenv("HOME"); }

  // Starts recording into `name` and waits until it has printed its path.
  std::unique_ptr<TChildProcess> Record(const std::string& name) {
    auto recorder =
        std::make_unique<TChildProcess>(RECMON_RECORD, std::vector<std::string>{Path(name)});
    EXPECT_EQ(recorder->ReadLine(10s), Path(name)) << recorder->Errors();
    return recorder;
  }
  std::string Path(const std::string& name) const { return Runtime.Path + "/" + name; }
  bool ShowsRecordingOf(const std::string& name) const {
    return Monitor->ShowsRecording() && Monitor->Hint(TControl::lblFile) == Path(name);
  }

  test::TRuntimeDir Runtime;
  std::unique_ptr<test::TSoundServer> Server;
  std::unique_ptr<test::TWatchingMonitor> Monitor;
};

TEST_F(RecorderPresenceTest, ASecondRecorderRecordsWithoutPublishingAndSaysSo) {
  const auto first = Record("first.wav");
  ASSERT_TRUE(Monitor->RefreshUntil([&] { return ShowsRecordingOf("first.wav"); }, 5s))
      << Monitor->Shown();
  const auto second = Record("second.wav");
  EXPECT_TRUE(Monitor->KeepsShowing([&] { return ShowsRecordingOf("first.wav"); }, 2s))
      << "the second publishes: " << Monitor->Shown();
  second->Signal(SIGINT);
  EXPECT_EQ(second->Wait(5s), 0) << second->Errors();
  const std::string said =
      "recmon-record: recording without showing it in the monitor: another recorder owns the "
      "monitor's record\n";
  const std::string& errors = second->Errors();
  EXPECT_NE(errors.find(said), std::string::npos) << errors;
  EXPECT_EQ(errors.find(said), errors.rfind(said)) << "said once: " << errors;
  EXPECT_GT(test::SoundSeconds(Path("second.wav")).value_or(0), 1.5) << "and recorded";

  EXPECT_TRUE(Monitor->KeepsShowing([&] { return ShowsRecordingOf("first.wav"); }, 1s))
      << "its end leaves the first's record alone: " << Monitor->Shown();
  first->Signal(SIGINT);
  EXPECT_EQ(first->Wait(5s), 0) << first->Errors();
}

}  // namespace
}  // namespace recmon
