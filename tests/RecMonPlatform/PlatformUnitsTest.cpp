// The platform's plain functions: time separator, platform choice and the
// texts of caught errors.

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
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

struct TChoiceCase {
  const char* Name;
  TDisplayFacts Facts;
  const char* QtPlatform;
  bool Notice;
  const char* MissingNames;  // what the one line must name; nullptr: starts
  friend void PrintTo(const TChoiceCase& c, std::ostream* os) { *os << c.Name; }
};

class PlatformChoice : public ::testing::TestWithParam<TChoiceCase> {};

TEST_P(PlatformChoice, PrefersX11ThenWaylandElseNamesWhatIsMissing) {
  const auto& c = GetParam();
  const TPlatformChoice choice = ChoosePlatform(c.Facts);
  EXPECT_EQ(choice.QtPlatform, c.QtPlatform);
  EXPECT_EQ(!choice.Notice.empty(), c.Notice) << choice.Notice;
  if (c.MissingNames == nullptr) {
    EXPECT_EQ(choice.Missing, "");
  } else {
    EXPECT_NE(choice.Missing.find(c.MissingNames), std::string::npos) << choice.Missing;
    EXPECT_EQ(choice.Missing.find('\n'), std::string::npos) << "one line";
  }
}

const std::string Socket = "/run/user/1000/wayland-0";

INSTANTIATE_TEST_SUITE_P(
    Sessions, PlatformChoice,
    ::testing::Values(
        TChoiceCase{"X11Desktop", {"", ":0", true, "", false, false}, "xcb", false, nullptr},
        TChoiceCase{
            "WaylandWithXwayland", {"", ":0", true, Socket, true, true}, "xcb", false, nullptr},
        TChoiceCase{"WaylandOnly", {"", "", false, Socket, true, true}, "wayland", true, nullptr},
        TChoiceCase{"StaleDisplayOnWayland",
                    {"", ":7", false, Socket, true, true},
                    "wayland",
                    true,
                    nullptr},
        TChoiceCase{"WaylandWithoutQtsPlugin",
                    {"", "", false, Socket, true, false},
                    "",
                    false,
                    "qt6-wayland"},
        TChoiceCase{
            "NoDisplayAtAll", {"", "", false, "", false, true}, "", false, "DISPLAY is not set"},
        TChoiceCase{"XServerGone",
                    {"", ":7", false, "", false, true},
                    "",
                    false,
                    "no X server answers on DISPLAY=:7"},
        TChoiceCase{"XServerRefusesOnWayland",
                    {"", ":0", false, Socket, true, true, true},
                    "wayland",
                    true,
                    nullptr},
        TChoiceCase{"WaylandOnSway",
                    {"", "", false, Socket, true, true, false, true},
                    "wayland",
                    false,
                    nullptr},
        TChoiceCase{"XServerRefusesAlone",
                    {"", ":0", false, "", false, true, true},
                    "",
                    false,
                    "the X server on DISPLAY=:0 refuses the connection"},
        TChoiceCase{"CompositorGone",
                    {"", "", false, Socket, false, true},
                    "",
                    false,
                    "no Wayland compositor answers at /run/user/1000/wayland-0"},
        TChoiceCase{
            "UserChoseOffscreen", {"offscreen", "", false, "", false, false}, "", false, nullptr},
        TChoiceCase{
            "UserChoseWayland", {"wayland", ":0", true, Socket, true, true}, "", true, nullptr},
        TChoiceCase{"UserChoseWaylandOnSway",
                    {"wayland", ":0", true, Socket, true, true, false, true},
                    "",
                    false,
                    nullptr},
        TChoiceCase{"UserChoseXcb", {"xcb", ":0", true, Socket, true, true}, "", false, nullptr}),
    [](const auto& p) { return p.param.Name; });

TEST(WaylandSocketPath, FollowsTheClientLibrarysRules) {
  struct Row {
    const char* name;
    const char* display;
    const char* runtime;
    const char* path;
  };
  const Row rows[] = {
      {"a name in the runtime folder", "wayland-1", "/run/user/5", "/run/user/5/wayland-1"},
      {"unset means wayland-0", nullptr, "/run/user/5", "/run/user/5/wayland-0"},
      {"empty means wayland-0", "", "/run/user/5", "/run/user/5/wayland-0"},
      {"an absolute path as it is", "/tmp/w/sock", nullptr, "/tmp/w/sock"},
      {"a name needs the runtime folder", "wayland-1", nullptr, ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(WaylandSocketPath(row.display, row.runtime), row.path) << row.name;
  }
}

TEST(XDisplaySocketPath, OnlyForLocalDisplays) {
  struct Row {
    const char* display;
    const char* path;
  };
  const Row rows[] = {
      {":0", "/tmp/.X11-unix/X0"},
      {":12.1", "/tmp/.X11-unix/X12"},
      {"unix:3", "/tmp/.X11-unix/X3"},
      {"unix:3.0", "/tmp/.X11-unix/X3"},
      {"host:0", ""},
      {"localhost:10.0", ""},
      {"", ""},
      {":", ""},
      {":x", ""},
      {"/private/tmp/launch/org.x:0", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(XDisplaySocketPath(row.display), row.path) << row.display;
  }
}

TEST(UnixSocketAnswers, OnlyWhileSomethingListens) {
  char folder[] = "/tmp/recmon-socket-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/s";
  EXPECT_FALSE(UnixSocketAnswers(path)) << "no socket";
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  EXPECT_FALSE(UnixSocketAnswers(path)) << "bound, not listening";
  ASSERT_EQ(::listen(fd, 4), 0);
  EXPECT_TRUE(UnixSocketAnswers(path)) << "listening";
  ::close(fd);
  EXPECT_FALSE(UnixSocketAnswers(path)) << "listener gone, socket file left";
  EXPECT_FALSE(UnixSocketAnswers(std::string(200, 'x'))) << "too long for a socket address";
  ::unlink(path.c_str());
  ::rmdir(folder);
}

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
