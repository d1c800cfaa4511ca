// recmon-record --auto as a user has it: the real program on a private sound
// server, a stand-in call program (microphone and a 1 kHz tone, one process)
// beside a music player playing 440 Hz, the record read as the monitor reads
// it, the files checked with sox, and notifications through a stand-in
// notification service on a private session bus.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "RecMonChannel.h"
#include "SessionBus.h"
#include "SoundServer.h"
#include "StatusLock.h"
#include "TestProcess.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;
using test::TChildProcess;
using TClock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr const char* kCallApp = "TestCall";
constexpr int kCallHz = 1000;
constexpr int kMusicHz = 440;

// RMS of one channel of a stretch of a file within a frequency band, so a
// tone is told from another played at the same time. A steep filter: a 0.5
// tone in the band reads 0.353, one 500 Hz away below 0.001.
double BandRms(const std::string& file, int channel, double start, double length, int lowHz,
               int highHz) {
  const test::TRun run = test::RunToEnd(
      "/usr/bin/sox", {file, "-n", "remix", std::to_string(channel), "trim", std::to_string(start),
                       std::to_string(length), "sinc", "-t", "20",
                       std::to_string(lowHz) + "-" + std::to_string(highHz), "stat"});
  const auto at = run.Err.find("RMS     amplitude:");
  if (run.Status != 0 || at == std::string::npos) {
    ADD_FAILURE() << "sox could not read " << file << ": " << run.Err;
    return -1;
  }
  return std::strtod(run.Err.c_str() + run.Err.find(':', at) + 1, nullptr);
}

class AutoRecorderProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Home = Runtime.Path + "/home";
    Calls = Runtime.Path + "/calls";
    ::mkdir(Home.c_str(), 0700);
    ::setenv("HOME", Home.c_str(), 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    Monitor.Create();
    Server = std::make_unique<test::TSoundServer>(Runtime.Path, true);
    const std::string music = Runtime.Path + "/music.wav";
    test::MakeTone(music, 2, kMusicHz, 120);
    Music = std::make_unique<TChildProcess>("/usr/bin/paplay",
                                            std::vector<std::string>{"--client-name=Music", music});
  }
  void TearDown() override {
    Music.reset();
    Server.reset();
    ::unsetenv("HOME");
  }

  std::unique_ptr<TChildProcess> StartRecorder(std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"--auto", "--no-monitor", "--folder", Calls};
    args.insert(args.end(), extra.begin(), extra.end());
    auto recorder = std::make_unique<TChildProcess>(RECMON_RECORD, args);
    // Connected and watching once it says so; give it a moment.
    std::this_thread::sleep_for(700ms);
    return recorder;
  }
  std::unique_ptr<TChildProcess> StartCall(const std::string& app = kCallApp) {
    auto call = std::make_unique<TChildProcess>(
        RECMON_TEST_CALL, std::vector<std::string>{app, std::to_string(kCallHz)});
    const auto ready = call->ReadLine(5s);
    EXPECT_TRUE(ready && ready->starts_with("READY ")) << call->Errors();
    std::istringstream numbers(ready ? ready->substr(6) : "");
    numbers >> MicStream >> SpeakerStream;
    return call;
  }
  std::optional<TRecMonSnapshot> Record() {
    const TStatusLock lock(Monitor);
    return DecodeStatus(Monitor.View());
  }
  // How long until the record's Recording is `on`, polled as the monitor does.
  std::optional<std::chrono::duration<double>> UntilRecording(bool on, std::chrono::seconds limit) {
    const auto start = TClock::now();
    while (TClock::now() - start < limit) {
      const auto record = Record();
      if (record && record->Recording == on) {
        return TClock::now() - start;
      }
      std::this_thread::sleep_for(50ms);
    }
    return std::nullopt;
  }

  test::TRuntimeDir Runtime;
  std::string Home;
  std::string Calls;
  TRecMonChannel Monitor;
  std::unique_ptr<test::TSoundServer> Server;
  std::unique_ptr<TChildProcess> Music;
  // The stand-in call program's capture and playback streams.
  std::string MicStream;
  std::string SpeakerStream;
};

TEST_F(AutoRecorderProcessTest, EachCallOfTheProgramAloneInItsOwnFileAndNotified) {
  const test::TSessionBus bus(Runtime.Path);
  TChildProcess notifications(RECMON_TEST_NOTIFICATIONS, {"body", "actions"});
  ASSERT_EQ(notifications.ReadLine(5s), "READY") << notifications.Errors();
  // A stand-in opener on PATH tells which folder "Open Folder" opens.
  const std::string openedFolder = Runtime.Path + "/opened";
  const std::string bin = Runtime.Path + "/bin";
  ::mkdir(bin.c_str(), 0700);
  std::ofstream(bin + "/xdg-open")
      << "#!/bin/sh\nprintf '%s' \"$1\" > " << openedFolder << ".new\nmv " << openedFolder
      << ".new " << openedFolder << "\n";
  ::chmod((bin + "/xdg-open").c_str(), 0700);
  const std::string searchPath = std::getenv("PATH");
  ::setenv("PATH", (bin + ":" + searchPath).c_str(), 1);
  auto recorder = StartRecorder({"--ignore", "Ignored"});
  ::setenv("PATH", searchPath.c_str(), 1);

  // An ignored program holding its microphone is no call.
  {
    auto ignored = StartCall("Ignored");
    EXPECT_EQ(recorder->ReadLine(3500ms), std::nullopt) << recorder->Errors();
  }

  // The call: recorded within 3 s of the program opening its microphone.
  const auto opened = TClock::now();
  auto call = StartCall();
  const auto path = recorder->ReadLine(5s);
  ASSERT_TRUE(path) << recorder->Errors();
  const auto recording = UntilRecording(true, 5s);
  ASSERT_TRUE(recording) << "the monitor's record says Recording";
  const std::chrono::duration<double> began = TClock::now() - opened;
  EXPECT_LT(began.count(), 3.0) << "from opening the microphone to Recording";
  EXPECT_EQ(fs::path(*path).parent_path(), Calls);
  EXPECT_TRUE(fs::path(*path).filename().string().starts_with("call-"));
  EXPECT_TRUE(fs::path(*path).filename().string().ends_with("-TestCall.wav")) << *path;
  EXPECT_EQ(Record()->FileName, *path);

  // Muted for longer than the end rule: the stream stays, so does the call.
  std::this_thread::sleep_for(2s);
  call->Signal(SIGUSR1);
  ASSERT_EQ(call->ReadLine(2s), "MUTED");
  std::this_thread::sleep_for(6500ms);
  EXPECT_TRUE(Record()->Recording) << "muting does not end the call";
  call->Signal(SIGUSR1);
  ASSERT_EQ(call->ReadLine(2s), "UNMUTED");
  // Reopening the microphone does not split it either.
  call->Signal(SIGUSR2);
  ASSERT_EQ(call->ReadLine(3s), "MIC CLOSED");
  ASSERT_EQ(call->ReadLine(3s), "MIC OPEN");
  std::this_thread::sleep_for(1s);

  // Closing the microphone ends the call within 6 s, not before 5.
  call.reset();
  const auto closed = TClock::now();
  const auto ended = UntilRecording(false, 10s);
  ASSERT_TRUE(ended);
  EXPECT_LT(ended->count(), 6.0);
  EXPECT_GT(ended->count(), 4.5);
  EXPECT_EQ(recorder->ReadLine(0ms), std::nullopt) << "one call, one file";

  const auto notice = notifications.ReadLine(5s);
  ASSERT_TRUE(notice) << recorder->Errors();
  EXPECT_NE(notice->find("|Call recorded|TestCall, "), std::string::npos) << *notice;
  EXPECT_NE(notice->find("\\n" + *path + "|"), std::string::npos) << *notice;
  EXPECT_NE(notice->find("open-folder"), std::string::npos) << *notice;

  // The file: the call's tone on the right all through, never the music
  // beside it; then the 5 s without a microphone.
  const auto seconds = test::SoundSeconds(*path);
  ASSERT_TRUE(seconds);
  const std::chrono::duration<double> held = closed - opened;
  EXPECT_NEAR(*seconds, held.count() - 2 + 5, 1.0) << "from the call's start to 5 s after";
  for (double at = 0.5; at + 1 < held.count() - 2.5; at += 1) {
    EXPECT_GT(BandRms(*path, 2, at, 1, kCallHz - 50, kCallHz + 50), 0.3) << "at " << at << " s";
  }
  EXPECT_LT(BandRms(*path, 2, 0.5, *seconds - 1, kMusicHz - 40, kMusicHz + 40), 0.005)
      << "no music";

  // A second call, a second file.
  call = StartCall();
  const auto second = recorder->ReadLine(5s);
  ASSERT_TRUE(second) << recorder->Errors();
  EXPECT_NE(*second, *path);
  std::this_thread::sleep_for(1s);
  call.reset();
  EXPECT_TRUE(UntilRecording(false, 10s));
  const auto secondNotice = notifications.ReadLine(5s);
  ASSERT_TRUE(secondNotice);
  EXPECT_NE(secondNotice->find(*second), std::string::npos);
  // The user picks "Open Folder" on it: the calls' folder opens.
  notifications.Signal(SIGUSR1);
  for (int i = 0; i < 50 && !fs::exists(openedFolder); ++i) {
    std::this_thread::sleep_for(100ms);
  }
  std::ifstream in(openedFolder);
  const std::string url((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(url, "file://" + Calls);

  recorder->Signal(SIGTERM);
  EXPECT_EQ(recorder->Wait(5s), 0) << recorder->Errors();
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(Calls)) {
    files.push_back(entry.path().string());
  }
  EXPECT_EQ(files.size(), 2U) << "nothing for the ignored program";
}

TEST_F(AutoRecorderProcessTest, ServerRestartedMidCallContinuesTheSameFile) {
  auto recorder = StartRecorder();
  auto call = StartCall();
  const auto path = recorder->ReadLine(5s);
  ASSERT_TRUE(path) << recorder->Errors();
  std::this_thread::sleep_for(3s);

  // The server goes and comes back; the call program reconnects, as call
  // programs do.
  const auto killed = TClock::now();
  Music.reset();
  Server->Kill();
  Server.reset();
  Server = std::make_unique<test::TSoundServer>(Runtime.Path, true);
  call = StartCall();
  const std::chrono::duration<double> away = TClock::now() - killed;
  std::this_thread::sleep_for(4s);
  EXPECT_TRUE(Record()->Recording);
  EXPECT_EQ(Record()->FileName, *path);
  call.reset();
  ASSERT_TRUE(UntilRecording(false, 10s));
  EXPECT_EQ(recorder->ReadLine(0ms), std::nullopt) << "no second file";

  const auto seconds = test::SoundSeconds(*path);
  ASSERT_TRUE(seconds);
  EXPECT_GT(*seconds, 3 + away.count() + 4 + 4) << "the whole call in one file";
  EXPECT_GT(BandRms(*path, 2, 0.5, 2, kCallHz - 50, kCallHz + 50), 0.3) << "before";
  // The program is back for 4 s before it closes; the last 1.5 s of them.
  EXPECT_GT(BandRms(*path, 2, *seconds - 5 - 1.5, 1.5, kCallHz - 50, kCallHz + 50), 0.3) << "after";
  recorder->Signal(SIGTERM);
  EXPECT_EQ(recorder->Wait(5s), 0) << recorder->Errors();
}

TEST_F(AutoRecorderProcessTest, MicrophoneAndOutputAreFollowedWhereTheProgramMovesThem) {
  // A second microphone with a voice of its own, each playing its own tone,
  // and a second output (a headset plugged in).
  for (const std::vector<std::string>& module :
       {std::vector<std::string>{"load-module", "module-null-sink", "sink_name=micfeed2",
                                 "channels=1", "rate=48000"},
        std::vector<std::string>{"load-module", "module-null-sink", "sink_name=headset",
                                 "channels=2", "rate=48000"},
        std::vector<std::string>{"load-module", "module-remap-source", "source_name=mic2",
                                 "master=micfeed2.monitor", "channels=1"}}) {
    ASSERT_EQ(test::RunToEnd("/usr/bin/pactl", module).Status, 0);
  }
  const std::string low = Runtime.Path + "/600.wav";
  const std::string high = Runtime.Path + "/1500.wav";
  test::MakeTone(low, 1, 600, 60);
  test::MakeTone(high, 1, 1500, 60);
  TChildProcess first("/usr/bin/paplay", {"--device=micfeed", low});
  TChildProcess second("/usr/bin/paplay", {"--device=micfeed2", high});
  std::this_thread::sleep_for(1s);
  auto recorder = StartRecorder();
  auto call = StartCall();
  const auto path = recorder->ReadLine(5s);
  ASSERT_TRUE(path) << recorder->Errors();
  std::this_thread::sleep_for(3s);
  // The user picks another microphone in the call program.
  bool moved = false;
  for (int i = 0; i < 20 && !moved; ++i) {
    moved = test::RunToEnd("/usr/bin/pactl", {"move-source-output", MicStream, "mic2"}).Status == 0;
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_TRUE(moved);
  // And its sound to the headset.
  std::this_thread::sleep_for(1s);
  ASSERT_EQ(test::RunToEnd("/usr/bin/pactl", {"move-sink-input", SpeakerStream, "headset"}).Status,
            0);
  std::this_thread::sleep_for(3s);
  call.reset();
  ASSERT_TRUE(UntilRecording(false, 10s));
  EXPECT_EQ(recorder->ReadLine(0ms), std::nullopt) << "one call, one file";
  const auto seconds = test::SoundSeconds(*path);
  ASSERT_TRUE(seconds);
  EXPECT_GT(BandRms(*path, 1, 0.5, 1.5, 550, 650), 0.3) << "the first microphone";
  EXPECT_LT(BandRms(*path, 1, 0.5, 1.5, 1400, 1600), 0.005);
  const double before = *seconds - 5;  // the program closed its microphone here
  EXPECT_GT(BandRms(*path, 1, before - 2.5, 2, 1400, 1600), 0.3) << "the second microphone";
  EXPECT_LT(BandRms(*path, 1, before - 2.5, 2, 550, 650), 0.005);
  EXPECT_GT(BandRms(*path, 2, before - 2.5, 2, kCallHz - 50, kCallHz + 50), 0.3)
      << "the program's sound, now on the headset";
  recorder->Signal(SIGTERM);
  EXPECT_EQ(recorder->Wait(5s), 0) << recorder->Errors();
}

// The processes whose parent is `parent` and whose name is `name`.
std::vector<pid_t> Children(pid_t parent, const std::string& name) {
  std::vector<pid_t> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    std::getline(in, stat);
    // pid (comm) state ppid ...
    const auto open = stat.find('(');
    const auto close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) {
      continue;
    }
    std::istringstream rest(stat.substr(close + 2));
    std::string state;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent && stat.substr(open + 1, close - open - 1) == name && state != "Z") {
      found.push_back(std::stoi(pid));
    }
  }
  return found;
}

TEST_F(AutoRecorderProcessTest, TheMonitorAppearsForTheCallAndClosesItselfAfterIt) {
  if (std::system("command -v Xvfb >/dev/null") != 0) {
    GTEST_SKIP() << "no Xvfb";
  }
  TChildProcess xserver("/bin/sh", {"-c", "exec Xvfb -displayfd 1 -nolisten tcp 2>/dev/null"});
  const auto display = xserver.ReadLine(10s);
  ASSERT_TRUE(display) << xserver.Errors();
  ::unsetenv("QT_QPA_PLATFORM");
  ::setenv("DISPLAY", (":" + *display).c_str(), 1);
  auto recorder = std::make_unique<TChildProcess>(
      RECMON_RECORD, std::vector<std::string>{"--auto", "--folder", Calls});
  std::this_thread::sleep_for(700ms);
  const pid_t recorderPid = [&] {
    const auto pids = Children(::getpid(), "recmon-record");
    return pids.size() == 1 ? pids[0] : -1;
  }();
  ASSERT_GT(recorderPid, 0);
  EXPECT_TRUE(Children(recorderPid, "recmon").empty()) << "no monitor while no call";

  auto call = StartCall();
  ASSERT_TRUE(recorder->ReadLine(5s)) << recorder->Errors();
  std::vector<pid_t> monitors;
  for (int i = 0; i < 40 && monitors.empty(); ++i) {
    std::this_thread::sleep_for(100ms);
    monitors = Children(recorderPid, "recmon");
  }
  ASSERT_EQ(monitors.size(), 1U) << "the monitor is shown for the call";
  std::this_thread::sleep_for(2s);
  call.reset();
  ASSERT_TRUE(UntilRecording(false, 10s));
  const auto ended = TClock::now();
  while (fs::exists("/proc/" + std::to_string(monitors[0])) && TClock::now() - ended < 20s) {
    std::this_thread::sleep_for(100ms);
  }
  const std::chrono::duration<double> open = TClock::now() - ended;
  EXPECT_FALSE(fs::exists("/proc/" + std::to_string(monitors[0])))
      << "closed by itself and reaped by the recorder, no zombie left";
  EXPECT_GT(open.count(), 9.0) << "it closes itself ten seconds after the call";
  recorder->Signal(SIGTERM);
  EXPECT_EQ(recorder->Wait(5s), 0) << recorder->Errors();
  ::unsetenv("DISPLAY");
}

}  // namespace
}  // namespace recmon
