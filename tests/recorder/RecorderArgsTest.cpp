// The command line as a table: what each form means, and what each mistake says.

#include <gtest/gtest.h>

#include "RecorderArgs.h"

namespace recmon {
namespace {

struct TArgsRow {
  const char* Proves;
  std::vector<std::string> Args;
  TRecorderOptions Expected;
};

TRecorderOptions With(auto change) {
  TRecorderOptions o;
  change(o);
  return o;
}

TEST(RecorderArgsTest, AcceptedCommandLines) {
  const TArgsRow rows[] = {
      {"nothing records the defaults into a dated file", {}, {}},
      {"a file alone", {"call.flac"}, With([](auto& o) { o.File = "call.flac"; })},
      {"separate and joined values mean the same",
       {"--mic", "usb-mic", "--others=desk.monitor"},
       With([](auto& o) {
         o.Mic = "usb-mic";
         o.Others = "desk.monitor";
       })},
      {"microphone only", {"--no-others", "x.wav"}, With([](auto& o) {
         o.NoOthers = true;
         o.File = "x.wav";
       })},
      {"fractional duration", {"--duration", "2.5"}, With([](auto& o) {
         o.DurationSeconds = 2.5;
       })},
      {"list and help are flags", {"--list", "-h"}, With([](auto& o) {
         o.List = true;
         o.Help = true;
       })},
      {"after -- a dash starts a file name", {"--", "-odd.wav"}, With([](auto& o) {
         o.File = "-odd.wav";
       })},
      {"extensions in any case", {"CALL.OPUS"}, With([](auto& o) { o.File = "CALL.OPUS"; })},
      {"folder and format instead of a file, the format in any case",
       {"--folder", "/srv/calls", "--format=FLAC"},
       With([](auto& o) {
         o.Folder = "/srv/calls";
         o.Format = "flac";
       })},
      {"automatic mode with repeated --only and --ignore kept in order",
       {"--auto", "--only", "Zoom", "--ignore=firefox-esr", "--only", "Signal", "--no-monitor"},
       With([](auto& o) {
         o.Auto = true;
         o.Only = {"Zoom", "Signal"};
         o.Ignore = {"firefox-esr"};
         o.NoMonitor = true;
       })},
      {"automatic mode takes folder and format",
       {"--auto", "--format", "opus", "--folder", "c"},
       With([](auto& o) {
         o.Auto = true;
         o.Format = "opus";
         o.Folder = "c";
       })},
  };
  for (const TArgsRow& row : rows) {
    SCOPED_TRACE(row.Proves);
    EXPECT_EQ(ParseRecorderArgs(row.Args), row.Expected);
  }
}

struct TBadRow {
  const char* Proves;
  std::vector<std::string> Args;
  const char* Says;
};

TEST(RecorderArgsTest, RejectedCommandLinesSayWhatIsWrong) {
  const TBadRow rows[] = {
      {"unknown option", {"--loud"}, "unknown option '--loud'"},
      {"missing value at the end", {"--mic"}, "--mic needs a value"},
      {"empty source", {"--others="}, "--others needs a source name"},
      {"zero duration", {"--duration", "0"}, "above 0, not '0'"},
      {"negative duration", {"--duration", "-3"}, "not '-3'"},
      {"duration with a unit", {"--duration", "5s"}, "not '5s'"},
      {"not a number", {"--duration", "nan"}, "not 'nan'"},
      {"longer than a year", {"--duration", "1e9"}, "not '1e9'"},
      {"two files", {"a.wav", "b.wav"}, "only one FILE"},
      {"contradiction", {"--no-others", "--others", "x"}, "contradict"},
      {"flag given a value", {"--list=yes"}, "--list takes no value"},
      {"format not known from the name", {"call.mp3"}, "name it .wav, .flac, .ogg or .opus"},
      {"no extension at all", {"call"}, "cannot tell the format of 'call'"},
      {"unknown format", {"--format", "mp3"}, "wav, flac, ogg or opus, not 'mp3'"},
      {"empty folder", {"--folder="}, "--folder needs a folder"},
      {"file and folder", {"--folder", "a", "b.wav"}, "either FILE or --folder"},
      {"file and format", {"b.wav", "--format", "wav"}, "either FILE or --folder"},
      {"automatic mode with one file", {"--auto", "x.wav"}, "instead of FILE"},
      {"automatic mode chooses the microphone", {"--auto", "--mic", "m"}, "--mic cannot be used"},
      {"automatic mode chooses the other side", {"--others", "o", "--auto"}, "--others cannot"},
      {"automatic mode has no duration", {"--auto", "--duration", "5"}, "--duration cannot"},
      {"automatic mode records both sides", {"--auto", "--no-others"}, "--no-others cannot"},
      {"--only without --auto", {"--only", "Zoom"}, "--only works only with --auto"},
      {"--ignore without --auto", {"--ignore", "Zoom"}, "--ignore works only with --auto"},
      {"--no-monitor without --auto", {"--no-monitor"}, "--no-monitor works only with --auto"},
      {"empty program name", {"--auto", "--only="}, "--only needs a program's name"},
      {"--auto is a flag", {"--auto=yes"}, "--auto takes no value"},
  };
  for (const TBadRow& row : rows) {
    SCOPED_TRACE(row.Proves);
    try {
      ParseRecorderArgs(row.Args);
      ADD_FAILURE() << "accepted";
    } catch (const TRecorderUsageError& e) {
      EXPECT_NE(std::string(e.what()).find(row.Says), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace recmon
