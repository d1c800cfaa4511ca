// The platform's plain functions: time separator, platform choice and the
// texts of caught errors.

#include <gtest/gtest.h>

#include <new>
#include <ostream>
#include <stdexcept>

#include "ErrorText.h"
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

}  // namespace
}  // namespace recmon
