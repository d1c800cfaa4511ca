// recmon-record as a user and the monitor meet it: the real program on a
// private sound server, tones played into each side, the file checked with
// sox and the published record read through the channel as the monitor does.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "RecMonChannel.h"
#include "SoundServer.h"
#include "StatusLock.h"
#include "TestProcess.h"
#include "TickCount.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;
using test::Measure;
using test::SoundSeconds;
using test::TChildProcess;
using TClock = std::chrono::steady_clock;

class RecorderProcessTest : public ::testing::Test {
 protected:
  void StartServer(bool keepOutputsBusy = true) {
    Server = std::make_unique<test::TSoundServer>(Runtime.Path, keepOutputsBusy);
  }
  void SetUp() override {
    Home = Runtime.Path + "/home";
    ::mkdir(Home.c_str(), 0700);
    ::setenv("HOME", Home.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    // Attached for the whole test, as a monitor would be, so that the record
    // outlives the recorder and its last state can be read.
    Monitor.Create();
  }
  void TearDown() override { ::unsetenv("HOME"); }

  std::optional<TRecMonSnapshot> Record() {
    const TStatusLock lock(Monitor);
    return DecodeStatus(Monitor.View());
  }
  // The recorder prints the path first; nothing else when not on a terminal.
  std::string PathLine(TChildProcess& recorder) {
    const auto line = recorder.ReadLine(10s);
    EXPECT_TRUE(line) << recorder.Errors();
    return line.value_or("");
  }

  test::TRuntimeDir Runtime;
  std::string Home;
  TRecMonChannel Monitor;
  std::unique_ptr<test::TSoundServer> Server;
};

std::unique_ptr<TChildProcess> Play(const char* sink, const std::string& file) {
  return std::make_unique<TChildProcess>(
      "/usr/bin/paplay", std::vector<std::string>{std::string("--device=") + sink, file});
}

TEST_F(RecorderProcessTest, TonesOnEachSideAndTheRecordFollowingThemUntilSigint) {
  StartServer();
  const std::string micTone = Runtime.Path + "/mic.wav";
  const std::string othersTone = Runtime.Path + "/others.wav";
  test::MakeTone(micTone, 1, 1000, 1.5);
  test::MakeTone(othersTone, 2, 440, 1.5);
  const std::string file = Runtime.Path + "/call.wav";

  TChildProcess recorder(RECMON_RECORD, {file});
  ASSERT_EQ(PathLine(recorder), file);
  const auto start = TClock::now();
  const auto at = [&](std::chrono::milliseconds t) { return start + t; };

  // The microphone speaks at 0.5 s, the other parties at 2.5 s, then silence.
  std::unique_ptr<TChildProcess> micPlayer;
  std::unique_ptr<TChildProcess> othersPlayer;
  bool sawRecording = false;
  bool bytesGrew = false;
  std::uint32_t lastBytes = 0;
  double myLevelDuringMine = 0;
  double theirLevelDuringMine = 1;
  double theirLevelDuringTheirs = 0;
  double myLevelDuringTheirs = 1;
  std::int32_t freshAfterTheirs = -1;
  std::int32_t staleLater = -1;
  while (TClock::now() < at(10500ms)) {
    const auto now = TClock::now();
    if (!micPlayer && now >= at(500ms)) {
      micPlayer = Play("micfeed", micTone);
    }
    if (!othersPlayer && now >= at(2500ms)) {
      othersPlayer = Play("others", othersTone);
    }
    const auto record = Record();
    const auto tickAge = [&] {
      return static_cast<std::int32_t>(RecMonTickCount() - record->TheirLastSoundTick);
    };
    if (record && record->Recording) {
      sawRecording = true;
      bytesGrew = bytesGrew || (lastBytes > 0 && record->BytesRecorded > lastBytes);
      lastBytes = record->BytesRecorded;
      if (now > at(1100ms) && now < at(1800ms)) {
        myLevelDuringMine = std::max(myLevelDuringMine, record->MyLevel - record->MyLevelBias);
        theirLevelDuringMine = std::min(theirLevelDuringMine, record->TheirLevel);
      }
      if (now > at(3100ms) && now < at(3800ms)) {
        theirLevelDuringTheirs =
            std::max(theirLevelDuringTheirs, record->TheirLevel - record->TheirLevelBias);
        myLevelDuringTheirs = std::min(myLevelDuringTheirs, record->MyLevel);
        freshAfterTheirs = tickAge();
      }
      if (now > at(10000ms)) {
        staleLater = tickAge();  // more than 5 s after the other side fell silent
      }
    }
    std::this_thread::sleep_for(100ms);
  }
  const auto stopped = TClock::now();
  recorder.Signal(SIGINT);
  ASSERT_EQ(recorder.Wait(5s), 0) << recorder.Errors();
  EXPECT_EQ(recorder.Errors(), "") << "nothing dropped, nothing to complain about";

  EXPECT_TRUE(sawRecording);
  EXPECT_TRUE(bytesGrew);
  EXPECT_GT(myLevelDuringMine, 0.5) << "a -6 dBFS tone fills the bar";
  EXPECT_LT(theirLevelDuringMine, 0.01);
  EXPECT_GT(theirLevelDuringTheirs, 0.5);
  EXPECT_LT(myLevelDuringTheirs, 0.01);
  EXPECT_GE(freshAfterTheirs, 0);
  EXPECT_LT(freshAfterTheirs, 1000) << "sound of the other parties was just received";
  EXPECT_GT(staleLater, 5000) << "the monitor will say no recent sound data";

  const auto last = Record();
  ASSERT_TRUE(last);
  EXPECT_FALSE(last->Recording) << "cleared before exit";
  EXPECT_EQ(last->FileName, file);
  EXPECT_EQ(last->BytesDropped, 0U);
  const auto seconds = SoundSeconds(file);
  ASSERT_TRUE(seconds);
  // The file is as long as the recording ran, and the record says so.
  const std::chrono::duration<double> ran = stopped - start;
  EXPECT_NEAR(*seconds, ran.count(), 0.4);
  EXPECT_NEAR(static_cast<double>(last->BytesRecorded) / AudioBytesPerSecond, *seconds, 0.001);

  // Each side holds its own tone in its own window, and silence elsewhere.
  const auto mine = Measure(file, 1, 0.8, 0.8);
  EXPECT_NEAR(mine.Rms, 0.354, 0.02);
  EXPECT_NEAR(mine.Frequency, 1000, 50);
  EXPECT_LT(Measure(file, 2, 0.8, 0.8).Rms, 0.001);
  const auto theirs = Measure(file, 2, 2.8, 0.8);
  EXPECT_NEAR(theirs.Rms, 0.354, 0.02);
  EXPECT_NEAR(theirs.Frequency, 440, 25);
  EXPECT_LT(Measure(file, 1, 2.8, 0.8).Rms, 0.001);
  EXPECT_LT(Measure(file, 1, 4.6, 5).Rms, 0.001);
  EXPECT_LT(Measure(file, 2, 4.6, 5).Rms, 0.001);
}

TEST_F(RecorderProcessTest, KilledAfterFiveSecondsTheFileStillPlaysAlmostAllOfIt) {
  StartServer();
  const std::string file = Runtime.Path + "/killed.wav";
  TChildProcess recorder(RECMON_RECORD, {file});
  ASSERT_EQ(PathLine(recorder), file);
  std::this_thread::sleep_for(5s);
  recorder.Signal(SIGKILL);
  EXPECT_EQ(recorder.Wait(3s), 128 + SIGKILL);
  const auto seconds = SoundSeconds(file);
  ASSERT_TRUE(seconds) << "the header was brought up to date while recording";
  EXPECT_GE(*seconds, 3.5);
}

TEST_F(RecorderProcessTest, UnknownSourcesExit2NamingThemAndPointingToList) {
  StartServer(false);
  for (const auto& [option, name] :
       {std::pair{"--mic", "no-such-mic"}, std::pair{"--others", "no-such-output"}}) {
    TChildProcess recorder(RECMON_RECORD, {option, name});
    EXPECT_EQ(recorder.Wait(10s), 2);
    EXPECT_NE(recorder.Errors().find(std::string("'") + name + "'"), std::string::npos)
        << recorder.Errors();
    EXPECT_NE(recorder.Errors().find("--list"), std::string::npos) << recorder.Errors();
  }
  EXPECT_FALSE(test::Exists(Home + "/Music")) << "nothing was created";
}

TEST_F(RecorderProcessTest, AnExistingFileIsNeverRecordedOver) {
  StartServer(false);
  const std::string earlier = Home + "/yesterday.wav";
  std::ofstream(earlier) << "an earlier call";
  const test::TRun run = test::RunToEnd(RECMON_RECORD, {"--duration", "1", earlier});
  EXPECT_EQ(run.Status, 2) << run.Err;
  EXPECT_NE(run.Err.find("already exists"), std::string::npos) << run.Err;
  std::ifstream in(earlier);
  const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(kept, "an earlier call");
}

TEST_F(RecorderProcessTest, ListShowsTheSourcesAndTheDefaults) {
  StartServer(false);
  const test::TRun run = test::RunToEnd(RECMON_RECORD, {"--list"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  // PipeWire's PulseAudio service is told apart by its name.
  EXPECT_NE(run.Out.find(test::OnPipeWire() ? "Sound server: PulseAudio (on PipeWire "
                                            : "Sound server: pulseaudio "),
            std::string::npos)
      << run.Out;
  EXPECT_NE(run.Out.find("  mic "), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("[default --mic]"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("  others.monitor "), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("[default --others]"), std::string::npos) << run.Out;
}

TEST_F(RecorderProcessTest, WithoutASoundServerItSaysSoAndExits1) {
  ::setenv("PULSE_SERVER", ("unix:" + Runtime.Path + "/nobody-here").c_str(), 1);
  const test::TRun run = test::RunToEnd(RECMON_RECORD, {"--duration", "1"});
  ::unsetenv("PULSE_SERVER");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("no sound server"), std::string::npos) << run.Err;
  EXPECT_EQ(run.Out, "") << "no file was started";
}

TEST_F(RecorderProcessTest, DefaultFileInTheMusicFolderMicrophoneOnlyForADuration) {
  StartServer();
  const std::string config = Home + "/.config";
  ::mkdir(config.c_str(), 0700);
  std::ofstream(config + "/user-dirs.dirs") << "XDG_MUSIC_DIR=\"$HOME/Musik\"\n";
  const std::string othersTone = Runtime.Path + "/others.wav";
  test::MakeTone(othersTone, 2, 440, 3);

  TChildProcess recorder(RECMON_RECORD, {"--no-others", "--duration", "2"});
  const std::string path = PathLine(recorder);
  const auto player = Play("others", othersTone);
  EXPECT_TRUE(path.starts_with(Home + "/Musik/Calls/call-")) << path;
  EXPECT_TRUE(path.ends_with(".wav")) << path;
  std::optional<TRecMonSnapshot> during;
  for (auto until = TClock::now() + 5s; !(during && during->Recording) && TClock::now() < until;
       std::this_thread::sleep_for(50ms)) {
    during = Record();
  }
  ASSERT_TRUE(during && during->Recording) << recorder.Errors();
  EXPECT_EQ(during->TheirRecordMode, 1) << "configured not to record the other parties";
  EXPECT_EQ(recorder.Wait(5s), 0) << recorder.Errors();
  EXPECT_EQ(SoundSeconds(path), 2.0) << "exactly the duration";
  EXPECT_LT(Measure(path, 2, 0, 2).Rms, 0.0001) << "the right channel stays silent";
  const auto last = Record();
  ASSERT_TRUE(last);
  EXPECT_FALSE(last->Recording);
}

TEST_F(RecorderProcessTest, TheServerGoingAwayEndsWithAValidFileAndExit1) {
  StartServer();
  const std::string file = Runtime.Path + "/gone.wav";
  TChildProcess recorder(RECMON_RECORD, {file});
  ASSERT_EQ(PathLine(recorder), file);
  std::this_thread::sleep_for(2s);
  Server->Kill();
  EXPECT_EQ(recorder.Wait(5s), 1);
  EXPECT_NE(recorder.Errors().find("the sound server went away"), std::string::npos)
      << recorder.Errors();
  EXPECT_NE(recorder.Errors().find(file), std::string::npos) << "says where the audio is";
  const auto seconds = SoundSeconds(file);
  ASSERT_TRUE(seconds) << "closed valid";
  EXPECT_GT(*seconds, 1.5);
  const auto last = Record();
  ASSERT_TRUE(last);
  EXPECT_FALSE(last->Recording);
}

TEST_F(RecorderProcessTest, AFullDiskEndsWithAValidFileAndExit1) {
  StartServer();
  const std::string file = Runtime.Path + "/full.wav";
  // A file-size limit of 300 kB stands for a disk that fills after about 1.5 s.
  TChildProcess recorder("/usr/bin/prlimit", {"--fsize=300000", RECMON_RECORD, file});
  ASSERT_EQ(PathLine(recorder), file);
  EXPECT_EQ(recorder.Wait(10s), 1);
  EXPECT_NE(recorder.Errors().find("writing " + file + " failed"), std::string::npos)
      << recorder.Errors();
  const auto seconds = SoundSeconds(file);
  ASSERT_TRUE(seconds) << "closed valid with what it holds";
  EXPECT_GT(*seconds, 1.0);
  EXPECT_LT(*seconds, 1.6);
  const auto last = Record();
  ASSERT_TRUE(last);
  EXPECT_FALSE(last->Recording);
}

TEST_F(RecorderProcessTest, AMonitorHoldingTheLockNeverCostsAudio) {
  StartServer();
  const std::string file = Runtime.Path + "/held.wav";
  TChildProcess recorder(RECMON_RECORD, {"--duration", "4", file});
  ASSERT_EQ(PathLine(recorder), file);
  std::this_thread::sleep_for(1s);
  const auto before = Record();
  ASSERT_TRUE(before && before->Recording);
  {
    // A monitor stopped while holding the lock, for two seconds.
    const TStatusLock held(Monitor);
    std::this_thread::sleep_for(2s);
  }
  std::this_thread::sleep_for(300ms);
  const auto after = Record();
  ASSERT_TRUE(after);
  EXPECT_GT(after->BytesRecorded, before->BytesRecorded + AudioBytesPerSecond)
      << "publishing went on once the lock was free";
  EXPECT_EQ(recorder.Wait(5s), 0) << recorder.Errors();
  EXPECT_EQ(SoundSeconds(file), 4.0) << "capture and writing never waited";
  const auto last = Record();
  ASSERT_TRUE(last);
  EXPECT_FALSE(last->Recording);
  EXPECT_EQ(last->BytesDropped, 0U);
}

}  // namespace
}  // namespace recmon
