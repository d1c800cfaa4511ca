// What a call records, from what the server shows: its program's microphone,
// and only its program's sound, with the fall-backs a user meets (browsers
// that play from another process, programs that play nothing).

#include <gtest/gtest.h>

#include "CallSources.h"

namespace recmon {
namespace {

constexpr std::uint32_t kOwnPid = 4242;

TStreamOwner Owner(const std::string& app, const std::string& binary, std::uint32_t pid) {
  return {app, binary, pid};
}

TCaptureStream Capture(std::uint32_t index, TStreamOwner owner, const std::string& source) {
  TCaptureStream s;
  s.Index = index;
  s.Owner = std::move(owner);
  s.Source = source;
  s.RateHz = 48000;
  return s;
}

TPlaybackStream Playback(std::uint32_t index, TStreamOwner owner, const std::string& sink = "out") {
  return {index, std::move(owner), sink, sink + ".monitor"};
}

TServerStreams Server(std::vector<TCaptureStream> captures,
                      std::vector<TPlaybackStream> playbacks) {
  return {std::move(captures), std::move(playbacks), "out", "out.monitor"};
}

TCallIdentity Identity(const TServerStreams& streams, const std::string& app) {
  TCallIdentity call{app, {}, {}};
  call.Learn(streams);
  return call;
}

TEST(CallSourcesTest, OtherSideIsTheCallProgramsSoundAlone) {
  const TCallFilter filter({}, {}, kOwnPid);
  const TStreamOwner zoom = Owner("Zoom", "zoom", 10);
  const TStreamOwner zoomHelper = Owner("Zoom", "zoom", 11);
  const TStreamOwner browserAudio = Owner("Chromium audio", "chromium", 21);
  const TStreamOwner music = Owner("Music", "player", 30);
  const TStreamOwner unnamedZoomProcess = Owner("", "", 10);
  const TStreamOwner recorder = Owner("recmon-record", "recmon-record", 50);
  const TPlaybackStream zoomVoice = Playback(5, zoom);
  const TPlaybackStream zoomRing = Playback(3, zoomHelper);
  const TPlaybackStream zoomOnHeadset = Playback(8, zoom, "headset");
  const TPlaybackStream tab = Playback(6, browserAudio);
  const TPlaybackStream song = Playback(7, music);
  const TPlaybackStream samePid = Playback(9, unnamedZoomProcess);
  const TPlaybackStream ours = Playback(12, recorder);

  const struct {
    const char* Proves;
    TServerStreams Streams;
    const char* App;
    TCallPlayback Expected;
  } rows[] = {
      {"the program's own stream, not the music beside it",
       Server({Capture(1, zoom, "mic")}, {song, zoomVoice}),
       "Zoom",
       {TPlaybackMatch::Own, {zoomVoice}, ""}},
      {"several streams of one program by name, in index order, on any output",
       Server({Capture(1, zoom, "mic")}, {zoomOnHeadset, zoomVoice, song, zoomRing}),
       "Zoom",
       {TPlaybackMatch::Own, {zoomRing, zoomVoice, zoomOnHeadset}, ""}},
      {"a stream of the program's process whatever the server names it",
       Server({Capture(1, zoom, "mic")}, {samePid}),
       "Zoom",
       {TPlaybackMatch::Own, {samePid}, ""}},
      {"a browser: sound from a separate process of the same executable",
       Server({Capture(1, Owner("Chromium", "chromium", 20), "mic")}, {tab, song}),
       "Chromium",
       {TPlaybackMatch::SameBinary, {tab}, ""}},
      {"the executable only when nothing of the program's own plays",
       Server({Capture(1, Owner("Chromium", "chromium", 20), "mic")},
              {tab, Playback(2, Owner("Chromium", "chromium", 20))}),
       "Chromium",
       {TPlaybackMatch::Own, {Playback(2, Owner("Chromium", "chromium", 20))}, ""}},
      {"nothing of the program plays: the default output's monitor",
       Server({Capture(1, zoom, "mic")}, {song}),
       "Zoom",
       {TPlaybackMatch::DefaultOutput, {}, "out.monitor"}},
      {"our own streams never count, even under the program's executable",
       Server({Capture(1, Owner("x", "recmon-record", 20), "mic")}, {ours}),
       "x",
       {TPlaybackMatch::DefaultOutput, {}, "out.monitor"}},
      {"no process number told: no match on it",
       Server({Capture(1, Owner("Zoom", "", 0), "mic")}, {Playback(4, Owner("Other", "", 0))}),
       "Zoom",
       {TPlaybackMatch::DefaultOutput, {}, "out.monitor"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Proves);
    EXPECT_EQ(ChooseCallPlayback(row.Streams, Identity(row.Streams, row.App), filter),
              row.Expected);
  }
  const TServerStreams quiet = Server({Capture(1, zoom, "mic")}, {song});
  EXPECT_EQ(ChooseCallPlayback(quiet, Identity(quiet, "Zoom"), filter, true),
            (TCallPlayback{TPlaybackMatch::Own, {}, ""}))
      << "a program that has played and falls silent is silence, not the music beside it";
}

TEST(CallSourcesTest, ProgramIsKnownWhileItsMicrophoneIsClosedForAMoment) {
  const TCallFilter filter({}, {}, kOwnPid);
  const TStreamOwner zoom = Owner("Zoom", "zoom", 10);
  TCallIdentity call{"Zoom", {}, {}};
  call.Learn(Server({Capture(1, zoom, "mic")}, {}));
  const TServerStreams reopening =
      Server({}, {Playback(5, Owner("", "zoom", 10)), Playback(6, Owner("", "zoom", 99))});
  call.Learn(reopening);
  EXPECT_EQ(ChooseCallPlayback(reopening, call, filter),
            (TCallPlayback{TPlaybackMatch::Own, {Playback(5, Owner("", "zoom", 10))}, ""}))
      << "its process is remembered; the other process of its executable is second choice";
  EXPECT_EQ(CallMicrophone(reopening, call, filter), std::nullopt);
}

TEST(CallSourcesTest, MicrophoneIsTheSourceOfTheProgramsNewestCapture) {
  const TCallFilter filter({}, {}, kOwnPid);
  const TStreamOwner zoom = Owner("Zoom", "zoom", 10);
  TCaptureStream onMonitor = Capture(9, zoom, "out.monitor");
  onMonitor.SourceIsMonitor = true;
  TCaptureStream meter = Capture(8, zoom, "webcam-mic");
  meter.RateHz = 25;
  const TServerStreams streams =
      Server({Capture(2, zoom, "laptop-mic"), Capture(5, zoom, "headset-mic"), onMonitor, meter,
              Capture(7, Owner("Skype", "skype", 3), "usb-mic")},
             {});
  EXPECT_EQ(CallMicrophone(streams, Identity(streams, "Zoom"), filter), "headset-mic")
      << "the newest capture on a microphone; its meter and its screen capture are not";
}

TEST(CallSourcesTest, LogSaysWhatTheOtherSideIs) {
  const TPlaybackStream s = Playback(1, Owner("Zoom", "zoom", 1));
  EXPECT_EQ(CallPlaybackText({TPlaybackMatch::Own, {s, s}, ""}, "Zoom"),
            "the other side is Zoom's sound alone (2 playback streams)");
  EXPECT_EQ(CallPlaybackText({TPlaybackMatch::DefaultOutput, {}, "out.monitor"}, "Zoom"),
            "Zoom plays nothing the server can tell apart; the other side is everything the "
            "default output plays (out.monitor)");
}

}  // namespace
}  // namespace recmon
