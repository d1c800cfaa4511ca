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
