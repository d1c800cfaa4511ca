// The platform's plain functions: time separator, platform choice and the
// texts of caught errors.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "ErrorText.h"
#include "FolderUrl.h"
#include "PlatformChoice.h"
#include "TimeSeparator.h"

namespace recmon {
namespace {

struct TSeparatorCase {
  const char* Name;
  const char* Format;
  const char* AmPm;
  const char* Separator;
  friend void PrintTo(const TSeparatorCase& c, std::ostream* os) { *os << c.Format; }
};

class TimeSeparator : public ::testing::TestWithParam<TSeparatorCase> {};

TEST_P(TimeSeparator, IsWhatStandsBetweenHoursAndMinutes) {
  const auto& c = GetParam();
  EXPECT_EQ(TimeSeparatorOfFormat(c.Format, c.AmPm), c.Separator);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TimeSeparator,
    ::testing::Values(TSeparatorCase{"Colon", "%H:%M:%S", "", ":"},
                      TSeparatorCase{"Dot", "%H.%M.%S", "", "."},
                      TSeparatorCase{"Letter", "%Hh%M", "", "h"},
                      TSeparatorCase{"SeveralCharacters", "%H h %M min", "", " h "},
                      TSeparatorCase{"TwelveHourViaR", "%r", "%I:%M:%S %p", ":"},
                      TSeparatorCase{"TwelveHourDotsViaR", "%r", "%I.%M.%S %p", "."},
                      TSeparatorCase{"RWithoutAmPmFormat", "%r", "", ":"},
                      TSeparatorCase{"SelfReferringR", "%r", "%r", ":"},
                      TSeparatorCase{"ShorthandT", "%T", "", ":"},
                      TSeparatorCase{"FlagsAndModifiers", "%-k'%OM", "", "'"},
                      TSeparatorCase{"LiteralPercentFirst", "%% %H-%M", "", "-"},
                      TSeparatorCase{"NothingBetween", "%H%M", "", ":"},
                      TSeparatorCase{"NoMinutes", "%H Uhr", "", ":"},
                      TSeparatorCase{"Empty", "", "", ":"},
                      TSeparatorCase{"TrailingPercent", "%H:%", "", ":"},
                      TSeparatorCase{"SecondsBeforeMinutesDoNotCount", "%S %H;%M", "", ";"}),
    [](const auto& p) { return p.param.Name; });

struct TEnvCase {
  const char* Name;
  TSessionEnv Env;
  bool X11;
  friend void PrintTo(const TEnvCase& c, std::ostream* os) { *os << c.Name; }
};

class PlatformChoice : public ::testing::TestWithParam<TEnvCase> {};

TEST_P(PlatformChoice, RunsOnX11OnlyFromWaylandWithAnXServerAndNoChoiceMade) {
  EXPECT_EQ(ShouldRunOnX11(GetParam().Env), GetParam().X11);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, PlatformChoice,
    ::testing::Values(TEnvCase{"WaylandWithXwayland", {"wayland", ":0", nullptr}, true},
                      TEnvCase{"WaylandWithEmptyChoice", {"wayland", ":0", ""}, true},
                      TEnvCase{"UserChoseWayland", {"wayland", ":0", "wayland"}, false},
                      TEnvCase{"UserChoseXcb", {"wayland", ":0", "xcb"}, false},
                      TEnvCase{"WaylandWithoutX", {"wayland", nullptr, nullptr}, false},
                      TEnvCase{"WaylandEmptyDisplay", {"wayland", "", nullptr}, false},
                      TEnvCase{"X11Session", {"x11", ":0", nullptr}, false},
                      TEnvCase{"NoSessionType", {nullptr, ":0", nullptr}, false}),
    [](const auto& p) { return p.param.Name; });

std::exception_ptr Caught(auto&& raise) {
  try {
    raise();
  } catch (...) {
    return std::current_exception();
  }
  return {};
}

TEST(ErrorText, IsThePrefixThenTheMessageWithOutOfMemorySpelledOut) {
  EXPECT_EQ(ErrorBoxText(OnTimerErrorPrefix,
                         Caught([] { throw std::range_error("Floating point overflow"); })),
            "Exception Occurred in OnTimer: Floating point overflow");
  EXPECT_EQ(ErrorBoxText(FormCreateErrorPrefix, Caught([] { throw std::bad_alloc(); })),
            "Exception Occurred in FormCreate: Out of memory");
  EXPECT_EQ(ErrorMessageOf(Caught([] { throw std::runtime_error("disk gone"); })), "disk gone");
  EXPECT_EQ(ErrorMessageOf(Caught([] { throw 42; })), "Unknown error");
  EXPECT_EQ(ErrorMessageOf(nullptr), "Unknown error");
}

TEST(FolderUrl, IsAFileUrlWhoseEveryOtherCharacterIsEscaped) {
  struct Row {
    const char* folder;
    std::optional<std::string> url;
  };
  const Row rows[] = {
      {"/home/me/Calls/", "file:///home/me/Calls/"},
      {"/home/me/My Calls/", "file:///home/me/My%20Calls/"},
      {"/home/me/100%20done/", "file:///home/me/100%2520done/"},  // a literal "%20"
      {"/tmp/a:b\\c?d#e/", "file:///tmp/a%3Ab%5Cc%3Fd%23e/"},
      {"/home/me/caf\xc3\xa9/", "file:///home/me/caf%C3%A9/"},  // bytes, not characters
      {"/home/me/\xe9t\xe9/", "file:///home/me/%E9t%E9/"},      // not UTF-8: kept byte for byte
      {"/", "file:///"},
      {"https://example.invalid/", std::nullopt},
      {"Calls/", std::nullopt},
      {"", std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(LocalFolderUrl(row.folder), row.url) << row.folder;
  }
}

TEST(ToUtf8, ConvertsFromTheLocalesOwnCharacterSet) {
  EXPECT_EQ(ToUtf8("%H\xae\xc9%M", "BIG5"), "%H\xe6\x99\x82%M");  // "時"
  EXPECT_EQ(ToUtf8("%H.%M", "ANSI_X3.4-1968"), "%H.%M");
  EXPECT_EQ(ToUtf8("\xe9", "ISO-8859-1"), "\xc3\xa9");
  EXPECT_EQ(ToUtf8("\xae", "BIG5"), std::nullopt);  // half a character
  EXPECT_EQ(ToUtf8(":", "NO-SUCH-CHARSET"), std::nullopt);
}

// A locale whose texts are not UTF-8, built for the test: its separator is a
// whole character, in UTF-8.
TEST(LocaleTimeSeparator, ComesInUtf8FromALocaleInBig5) {
  const auto dir = std::filesystem::temp_directory_path() / "recmon-test-locales";
  std::filesystem::create_directories(dir);
  const std::string build =
      "localedef -i zh_TW -f BIG5 " + (dir / "zh_TW.BIG5").string() + " >/dev/null 2>&1";
  if (std::system(build.c_str()) != 0) {
    GTEST_SKIP() << "localedef cannot build zh_TW.BIG5 here";
  }
  const char* savedAll = std::getenv("LC_ALL");
  const std::string saved = savedAll == nullptr ? std::string() : savedAll;
  ::setenv("LOCPATH", dir.c_str(), 1);
  ::setenv("LC_ALL", "zh_TW.BIG5", 1);
  const std::string separator = LocaleTimeSeparator();
  ::unsetenv("LOCPATH");
  savedAll == nullptr ? ::unsetenv("LC_ALL") : ::setenv("LC_ALL", saved.c_str(), 1);
  std::filesystem::remove_all(dir);
  EXPECT_EQ(separator, "\xe6\x99\x82");  // "時", hour to minute
}

}  // namespace
}  // namespace recmon
