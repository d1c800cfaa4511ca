// recmon-record as a user and the monitor meet it: the real program on a
// private sound server, tones or time-coded audio played into each side, the
// file checked with sox and libsndfile and the published record read through
// the channel as the monitor does. The faults of ordinary desktops are played
// out for real: the default output switched, a named device unplugged, the
// server restarted, the recorder held up, killed, or out of disk.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "RecMonChannel.h"
#include "SoundServer.h"
#include "StatusLock.h"
#include "TestProcess.h"
#include "TickCount.h"
#include "TimeCode.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;
using test::Measure;
using test::SoundSeconds;
using test::TChildProcess;
using test::TPiece;
using TClock = std::chrono::steady_clock;

// The seconds a reader of the file finds, as many as its header says and it
// decodes (libsndfile: Opus too, which Debian's sox cannot read); -1 when it
// cannot be read.
double FileSeconds(const std::string& path) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) {
    return -1;
  }
  std::vector<float> chunk(8192);
  sf_count_t frames = 0;
  for (sf_count_t n; (n = sf_readf_float(f, chunk.data(), 4096)) > 0;) {
    frames += n;
  }
  sf_close(f);
  return static_cast<double>(std::min(frames, info.frames)) / 48000;
}

double Seconds(std::uint32_t audioBytes) {
  return static_cast<double>(audioBytes) / AudioBytesPerSecond;
}

// How far the two sides may move apart across an event: 10 ms. PipeWire on a
// loaded machine now and then drops a quantum (256 frames, 5.3 ms) of one of
// two streams on the same output without a word to its client, which no
// recorder can see; one such quantum is allowed for.
double KeptTogether() {
  return test::OnPipeWire() ? 0.010 + 256.0 / 48000 : 0.010;
}

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

  // The time-coded audio of a call, `seconds` long from `from` on.
  std::string TimeCode(double from, double seconds) {
    const std::string path = Runtime.Path + "/timecode-" + std::to_string(++TimeCodes) + ".raw";
    test::MakeTimeCode(path, from, seconds);
    return path;
  }
  // The index of the call's playback stream (the one playing 32-bit floats).
  std::string CallStream() {
    std::istringstream lines(test::Pactl({"list", "short", "sink-inputs"}));
    for (std::string line; std::getline(lines, line);) {
      if (line.find("float32le") != std::string::npos) {
        return line.substr(0, line.find('\t'));
      }
    }
    ADD_FAILURE() << "no call playing";
    return "";
  }
  // The record as the monitor reads it, every 100 ms until `until`.
  std::vector<TRecMonSnapshot> Watch(TClock::time_point until) {
    std::vector<TRecMonSnapshot> seen;
    while (TClock::now() < until) {
      if (const auto record = Record()) {
        seen.push_back(*record);
      }
      std::this_thread::sleep_for(100ms);
    }
    return seen;
  }

  test::TRuntimeDir Runtime;
  int TimeCodes = 0;
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

TEST_F(RecorderProcessTest, FollowsTheDefaultOutputWhenItChangesAndCountsTheGap) {
  StartServer();
  const auto call = test::PlayTimeCode(TimeCode(0, 12));
  const std::string file = Runtime.Path + "/switched.wav";
  // The microphone on a plain output's monitor: steady on either server.
  TChildProcess recorder(RECMON_RECORD, {"--mic", "micfeed.monitor", file});
  ASSERT_EQ(PathLine(recorder), file);
  std::this_thread::sleep_for(3s);
  // The call's playback follows the new default; it is moved first here, as
  // PipeWire's session manager on a loaded machine may take its time.
  test::Pactl({"move-sink-input", CallStream(), "headset"});
  test::Pactl({"set-default-sink", "headset"});
  std::this_thread::sleep_for(3s);
  recorder.Signal(SIGINT);
  ASSERT_EQ(recorder.Wait(5s), 0) << recorder.Errors();
  EXPECT_NE(recorder.Errors().find("recording the other parties from headset.monitor (was "
                                   "others.monitor)"),
            std::string::npos)
      << recorder.Errors();

  const auto theirs = test::ReadTimeCode(file, 1);
  ASSERT_GT(theirs.size(), 50U);
  EXPECT_LE(test::LongestGap(theirs, 0.5), 1.0) << "on the new output within a second";
  EXPECT_FALSE(std::isnan(test::OffsetIn(theirs, 4, 5.5))) << "and recording it";
  // The call moved too, with a hiccup of its own (on PipeWire up to a few
  // tens of ms).
  EXPECT_NEAR(test::OffsetIn(theirs, 2, 2.8), test::OffsetIn(theirs, 4, 4.8), 0.1)
      << "the other parties stay where the clock says";
  EXPECT_TRUE(test::InOrder(theirs));
  const auto last = Record();
  ASSERT_TRUE(last);
  // The silence in the file also holds the call's own hiccup as its stream
  // moves, which the recorder cannot see and rightly does not count; on
  // PipeWire under load that reaches a tenth of a second.
  EXPECT_NEAR(Seconds(last->BytesDropped2), test::SilentSeconds(file, 1),
              test::OnPipeWire() ? 0.15 : 0.1)
      << "the gap is counted as it is in the file";
}

TEST_F(RecorderProcessTest, ANamedDeviceUnpluggedFallsBackToTheDefaultAndComesBack) {
  StartServer();
  // The call plays on the headset as well as on the default output, so that
  // the other side always has the call to record.
  const auto started = TClock::now();
  auto onHeadset = test::PlayTimeCode(TimeCode(0, 12), "headset");
  const auto onSpeakers = test::PlayTimeCode(TimeCode(0, 12), "others");
  std::this_thread::sleep_for(300ms);
  const std::string file = Runtime.Path + "/unplugged.wav";
  TChildProcess recorder(RECMON_RECORD, {"--mic", "micfeed.monitor", "--others", "headset", file});
  ASSERT_EQ(PathLine(recorder), file);
  std::this_thread::sleep_for(3s);
  // Its playback ends with it (rather than move to the other output).
  onHeadset.reset();
  Server->UnplugHeadset();
  std::this_thread::sleep_for(2s);
  Server->PlugInHeadset();
  const std::chrono::duration<double> since = TClock::now() - started;
  onHeadset = test::PlayTimeCode(TimeCode(since.count(), 12), "headset");
  std::this_thread::sleep_for(3s);
  recorder.Signal(SIGINT);
  ASSERT_EQ(recorder.Wait(5s), 0) << recorder.Errors();
  EXPECT_NE(recorder.Errors().find("recording the other parties from others.monitor (was "
                                   "headset.monitor, which went away)"),
            std::string::npos)
      << recorder.Errors();
  EXPECT_NE(recorder.Errors().find("recording the other parties from headset.monitor (was "
                                   "others.monitor)"),
            std::string::npos)
      << recorder.Errors();
  const auto theirs = test::ReadTimeCode(file, 1);
  EXPECT_LE(test::LongestGap(theirs, 0.5, 4.8), 0.5) << "the fallback takes over at once";
  // Two players, started together (on PipeWire up to a few tens of ms apart).
  EXPECT_NEAR(test::OffsetIn(theirs, 2, 2.8), test::OffsetIn(theirs, 3.5, 4.3), 0.1)
      << "in place across the fallback";
  // A headset output just plugged in takes a moment to play (a PulseAudio
  // null output up to two seconds, with a call of its own that started
  // anew); the recording is back on it by the end.
  EXPECT_FALSE(std::isnan(test::OffsetIn(theirs, 7.2, 7.9))) << "recording the headset again";
  const auto last = Record();
  ASSERT_TRUE(last);
  // All silence up to the replugging is the recorder's, and counted; the new
  // headset's own first moments (PipeWire: before its call plays) are not.
  EXPECT_LE(Seconds(last->BytesDropped2), test::SilentSeconds(file, 1) + 0.1);
  EXPECT_GE(Seconds(last->BytesDropped2), test::SilentSeconds(file, 1, 0, 4.8) - 0.1);
}

TEST_F(RecorderProcessTest, TheServerRestartingCostsOnlyTheTimeItWasGone) {
  StartServer();
  const auto started = TClock::now();
  auto call = test::PlayTimeCode(TimeCode(0, 12), "others");
  const std::string file = Runtime.Path + "/restarted.wav";
  // Both sides record the call, so that they can be checked against each other.
  TChildProcess recorder(RECMON_RECORD, {"--mic", "others.monitor", file});
  ASSERT_EQ(PathLine(recorder), file);
  std::this_thread::sleep_for(3s);
  Server->Kill();
  const auto killed = TClock::now();
  const std::vector<TRecMonSnapshot> away = Watch(killed + 2s);
  Server->Restart();
  const std::chrono::duration<double> gone = TClock::now() - killed;
  // The call application comes back too, and goes on where the call is now.
  const std::chrono::duration<double> since = TClock::now() - started;
  call = test::PlayTimeCode(TimeCode(since.count(), 8), "others");
  std::this_thread::sleep_for(4s);
  const auto stopped = TClock::now();
  recorder.Signal(SIGINT);
  ASSERT_EQ(recorder.Wait(5s), 0) << recorder.Errors();
  EXPECT_NE(recorder.Errors().find("the sound server went away"), std::string::npos)
      << recorder.Errors();
  EXPECT_NE(recorder.Errors().find("the sound server is back after"), std::string::npos)
      << recorder.Errors();

  // While the server was gone the monitor saw a recording that goes on,
  // with its seconds dropped growing.
  ASSERT_GE(away.size(), 10U);
  EXPECT_TRUE(away[5].Recording && away.back().Recording);
  EXPECT_GT(away.back().LastUpdateTime, away[5].LastUpdateTime);
  EXPECT_GT(away.back().BytesDropped, away[5].BytesDropped + AudioBytesPerSecond / 2);
  EXPECT_EQ(away.back().BytesDropped, away.back().BytesDropped2) << "lost at the sound server";

  // One file for the whole call, as long as the call took.
  const std::chrono::duration<double> ran = stopped - started;
  EXPECT_NEAR(FileSeconds(file), ran.count(), 0.5);
  const auto mine = test::ReadTimeCode(file, 0);
  const auto theirs = test::ReadTimeCode(file, 1);
  const double length = static_cast<double>(theirs.size()) / 10;
  // PipeWire's timing for a stream just connected is now and then far off;
  // the new streams are then placed by arrival, as close as its quanta allow.
  EXPECT_NEAR(test::ApartIn(mine, theirs, 2, 2.8), test::ApartIn(mine, theirs, length - 2, length),
              test::OnPipeWire() ? 0.05 : KeptTogether())
      << "the sides together again after the restart";
  EXPECT_TRUE(test::InOrder(theirs));
  EXPECT_FALSE(std::isnan(test::OffsetIn(theirs, length - 1.5, length)))
      << "recording again after the restart";
  const auto last = Record();
  ASSERT_TRUE(last);
  EXPECT_NEAR(Seconds(last->BytesDropped), test::SilentSeconds(file, -1), 0.1);
  // The server was gone until it answered again; the recorder tries to
  // reach it at most a second apart, and a new PulseAudio null output takes
  // up to two seconds to play.
  EXPECT_GT(Seconds(last->BytesDropped), gone.count() - 0.2);
  EXPECT_LT(Seconds(last->BytesDropped), gone.count() + 3.2) << recorder.Errors();
}

TEST_F(RecorderProcessTest, HeldUpForThreeAndTwentySecondsTheTimelineHolds) {
  StartServer();
  const auto call = test::PlayTimeCode(TimeCode(0, 40), "others");
  const std::string file = Runtime.Path + "/held.wav";
  TChildProcess recorder(RECMON_RECORD, {"--mic", "others.monitor", file});
  ASSERT_EQ(PathLine(recorder), file);
  std::this_thread::sleep_for(3s);
  for (const auto held : {3s, 20s}) {
    recorder.Signal(SIGSTOP);
    std::this_thread::sleep_for(held);
    recorder.Signal(SIGCONT);
    std::this_thread::sleep_for(4s);
  }
  recorder.Signal(SIGINT);
  ASSERT_EQ(recorder.Wait(5s), 0) << recorder.Errors();

  const auto mine = test::ReadTimeCode(file, 0);
  const auto theirs = test::ReadTimeCode(file, 1);
  ASSERT_GT(theirs.size(), 300U);
  // Held up from 3 to 6 s and from 10 to 30 s of the recording. While
  // PipeWire hands over what it kept for a held-up stream (after 20 s nearly
  // all it can, 4 MB), it drops pieces of a quantum or two of each stream
  // now and then, a little differently for each, without a word to its
  // client (seen after 3 s too): there the sides are held to within 50 ms
  // and each to its place within 100 ms, which no loss the recorder could
  // see or mend comes near.
  for (const auto& [stopped, resumed] : {std::pair{3.0, 6.0}, std::pair{10.0, 30.0}}) {
    SCOPED_TRACE("held up at " + std::to_string(stopped) + " s");
    const bool pipeWire = test::OnPipeWire();
    EXPECT_NEAR(test::ApartIn(mine, theirs, stopped - 1, stopped - 0.2),
                test::ApartIn(mine, theirs, resumed + 0.5, resumed + 1.5),
                pipeWire ? 0.05 : KeptTogether())
        << "the sides stay together";
    for (const auto* side : {&mine, &theirs}) {
      EXPECT_NEAR(test::OffsetIn(*side, stopped - 1, stopped - 0.2),
                  test::OffsetIn(*side, resumed + 0.5, resumed + 1.5), pipeWire ? 0.1 : 0.03)
          << "at the place the clock says";
    }
  }
  for (const auto* side : {&mine, &theirs}) {
    EXPECT_TRUE(test::InOrder(*side)) << "nothing repeated or reordered";
    EXPECT_LE(test::LongestGap(*side, 0.5), 0.5) << "what the server kept is all there";
  }
  const auto last = Record();
  ASSERT_TRUE(last);
  EXPECT_NEAR(Seconds(last->BytesDropped), test::SilentSeconds(file, -1), 0.1);
  EXPECT_EQ(last->BytesDropped1, 0U) << "the disk never fell behind";
}

TEST_F(RecorderProcessTest, KilledAtAnyMomentEachFormatHoldsWhatWasLastPublished) {
  StartServer();
  const auto call = test::PlayTimeCode(TimeCode(0, 20), "others");
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> moment(1500, 3500);
  for (const char* name : {"killed.wav", "killed.flac", "killed.opus"}) {
    const int ms = moment(random);
    SCOPED_TRACE(std::string(name) + " killed after " + std::to_string(ms) + " ms");
    const std::string file = Runtime.Path + "/" + name;
    TChildProcess recorder(RECMON_RECORD, {file});
    ASSERT_EQ(PathLine(recorder), file);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    recorder.Signal(SIGKILL);
    EXPECT_EQ(recorder.Wait(3s), 128 + SIGKILL);
    // The record outlives the recorder: it holds the last thing published.
    const auto last = Record();
    ASSERT_TRUE(last && last->Recording);
    const double published = Seconds(last->BytesRecorded);
    EXPECT_GT(published, 0.5);
    const double held = FileSeconds(file);
    EXPECT_GE(held + 0.001, published) << "the file holds all that was published";
    EXPECT_LT(held - published, 0.6) << "and not much more";
    if (!std::string(name).ends_with(".opus")) {
      const auto soxi = SoundSeconds(file);
      ASSERT_TRUE(soxi);
      EXPECT_GE(*soxi + 0.001, published) << "soxi reads the length from the header";
    }
  }
}

TEST_F(RecorderProcessTest, AFullDiskEndsWithAFileThatHoldsWhatWasPublishedAndExit1) {
  StartServer();
  const auto call = test::PlayTimeCode(TimeCode(0, 20), "others");
  for (const char* name : {"full.wav", "full.flac", "full.opus"}) {
    SCOPED_TRACE(name);
    const std::string file = Runtime.Path + "/" + name;
    const bool wav = std::string(name).ends_with(".wav");
    // A file-size limit stands for a disk that fills (after 1.5 s of WAV).
    TChildProcess recorder("/usr/bin/prlimit",
                           {wav ? "--fsize=300000" : "--fsize=40000", RECMON_RECORD, file});
    ASSERT_EQ(PathLine(recorder), file);
    EXPECT_EQ(recorder.Wait(20s), 1);
    EXPECT_NE(recorder.Errors().find("writing " + file + " failed"), std::string::npos)
        << recorder.Errors();
    EXPECT_NE(recorder.Errors().find("what was recorded until then is in " + file),
              std::string::npos)
        << recorder.Errors();
    const auto last = Record();
    ASSERT_TRUE(last);
    EXPECT_FALSE(last->Recording);
    const double held = FileSeconds(file);
    EXPECT_GT(held, 0.5);
    EXPECT_NEAR(held, Seconds(last->BytesRecorded), 0.001) << "the file holds what was published";
    EXPECT_GT(last->BytesDropped1, 0U) << "what was still on its way to the disk is counted";
    if (!std::string(name).ends_with(".opus")) {
      EXPECT_NEAR(SoundSeconds(file).value_or(-1), held, 0.001) << "its header says so";
      EXPECT_EQ(test::RunToEnd("/usr/bin/sox", {file, "-n", "stat"}).Status, 0)
          << "it decodes to the end";
    }
  }
}

}  // namespace
}  // namespace recmon
