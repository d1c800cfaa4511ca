// Which sources a recording takes, and what --list shows, from a server
// described in memory.

#include <gtest/gtest.h>

#include "SoundSources.h"

namespace recmon {
namespace {

TServerInfo Desktop() {
  TServerInfo s;
  s.ServerName = "pulseaudio";
  s.ServerVersion = "16.1";
  s.DefaultSource = "usb.mic";
  s.DefaultSink = "speakers";
  s.Sinks = {{"speakers", "Speakers", "speakers.monitor"},
             {"headset", "Headset", "headset.monitor"}};
  s.Sources = {{"speakers.monitor", "Monitor of Speakers", 2, "speakers", {}},
               {"headset.monitor", "Monitor of Headset", 2, "headset", {}},
               {"usb.mic", "USB Microphone", 1, "", {}},
               {"webcam.mic", "Webcam", 2, "", {}}};
  return s;
}

TRecorderOptions Options(auto change) {
  TRecorderOptions o;
  change(o);
  return o;
}

TEST(SoundSourcesTest, ChoicesFromDefaultsAndNames) {
  const struct {
    const char* Proves;
    TRecorderOptions Options;
    const char* Mic;
    const char* Others;  // nullptr: not recorded
  } rows[] = {
      {"defaults: default source and the default output's monitor",
       {},
       "usb.mic",
       "speakers.monitor"},
      {"named microphone", Options([](auto& o) { o.Mic = "webcam.mic"; }), "webcam.mic",
       "speakers.monitor"},
      {"named monitor source", Options([](auto& o) { o.Others = "headset.monitor"; }), "usb.mic",
       "headset.monitor"},
      {"an output's name means its monitor", Options([](auto& o) { o.Others = "headset"; }),
       "usb.mic", "headset.monitor"},
      {"any source may be the other side", Options([](auto& o) { o.Others = "webcam.mic"; }),
       "usb.mic", "webcam.mic"},
      {"microphone only", Options([](auto& o) { o.NoOthers = true; }), "usb.mic", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Proves);
    const TChosenSources chosen = ChooseSources(Desktop(), row.Options);
    EXPECT_EQ(chosen.Mic.Name, row.Mic);
    ASSERT_EQ(chosen.Others.has_value(), row.Others != nullptr);
    if (row.Others != nullptr) {
      EXPECT_EQ(chosen.Others->Name, row.Others);
    }
  }
  EXPECT_EQ(ChooseSources(Desktop(), {}).Others->Channels, 2) << "captured at its own count";
}

TEST(SoundSourcesTest, ARecordingFollowsTheDesktopAndComesBackToNamedSources) {
  const auto chosen = [](const TServerInfo& server, const TRecorderOptions& options) {
    const TSideSources s = TDesktopSources(options).Choose(server);
    return std::pair{s.Mic ? s.Mic->Name : "-", s.Others ? s.Others->Name : "-"};
  };
  TServerInfo headsetPlugged = Desktop();
  headsetPlugged.DefaultSink = "headset";
  headsetPlugged.DefaultSource = "webcam.mic";
  TServerInfo headsetGone = Desktop();
  std::erase_if(headsetGone.Sinks, [](const TSinkInfo& s) { return s.Name == "headset"; });
  std::erase_if(headsetGone.Sources,
                [](const TSourceInfo& s) { return s.Name == "headset.monitor"; });
  TServerInfo nothing = Desktop();
  nothing.DefaultSink.clear();
  nothing.DefaultSource.clear();
  const struct {
    const char* Proves;
    TServerInfo Server;
    TRecorderOptions Options;
    std::pair<std::string, std::string> Chosen;
  } rows[] = {
      {"the defaults", Desktop(), {}, {"usb.mic", "speakers.monitor"}},
      {"the defaults changed: both sides move",
       headsetPlugged,
       {},
       {"webcam.mic", "headset.monitor"}},
      {"a named output that is there",
       Desktop(),
       Options([](auto& o) { o.Others = "headset"; }),
       {"usb.mic", "headset.monitor"}},
      {"a named output unplugged: the default output's monitor until it is back",
       headsetGone,
       Options([](auto& o) { o.Others = "headset"; }),
       {"usb.mic", "speakers.monitor"}},
      {"a named microphone unplugged: the default source",
       Desktop(),
       Options([](auto& o) { o.Mic = "usb.headset.mic"; }),
       {"usb.mic", "speakers.monitor"}},
      {"no defaults and nothing named: nothing to record for now", nothing, {}, {"-", "-"}},
      {"microphone only", Desktop(), Options([](auto& o) { o.NoOthers = true; }), {"usb.mic", "-"}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(chosen(row.Server, row.Options), row.Chosen) << row.Proves;
  }
}

TEST(SoundSourcesTest, UnknownNamesAreUsageErrorsThatNameThemAndPointToList) {
  for (const auto& [options, name, option] :
       {std::tuple{Options([](auto& o) { o.Mic = "nope"; }), "'nope'", "--mic"},
        std::tuple{Options([](auto& o) { o.Others = "gone"; }), "'gone'", "--others"}}) {
    try {
      ChooseSources(Desktop(), options);
      ADD_FAILURE() << "accepted " << name;
    } catch (const TRecorderUsageError& e) {
      const std::string text = e.what();
      EXPECT_NE(text.find(name), std::string::npos) << text;
      EXPECT_NE(text.find(option), std::string::npos) << text;
      EXPECT_NE(text.find("--list"), std::string::npos) << text;
    }
  }
}

TEST(SoundSourcesTest, AServerWithoutDefaultsCannotStartARecording) {
  TServerInfo bare = Desktop();
  bare.DefaultSink.clear();
  EXPECT_THROW(ChooseSources(bare, {}), TSoundServerError);
  EXPECT_NO_THROW(ChooseSources(bare, Options([](auto& o) { o.NoOthers = true; })));
  bare.DefaultSource.clear();
  EXPECT_THROW(ChooseSources(bare, Options([](auto& o) { o.NoOthers = true; })), TSoundServerError);
}

TEST(SoundSourcesTest, PipeWireIsToldApartByItsName) {
  TServerInfo s = Desktop();
  EXPECT_FALSE(s.OnPipeWire());
  s.ServerName = "PulseAudio (on PipeWire 0.3.65)";
  s.ServerVersion = "15.0.0";
  EXPECT_TRUE(s.OnPipeWire());
}

TEST(SoundSourcesTest, ListShowsEverySourceAndMarksTheDefaults) {
  const std::string text = SourceListText(Desktop());
  EXPECT_NE(text.find("Sound server: pulseaudio 16.1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  usb.mic           USB Microphone (1 channel)  [default --mic]\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("  speakers.monitor  Monitor of Speakers (2 channels, what speakers "
                      "plays)  [default --others]\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("  webcam.mic        Webcam (2 channels)\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace recmon
