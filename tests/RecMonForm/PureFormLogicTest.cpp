// The form's plain functions: time separator, platform choice, error texts,
// and telling the desktop's placement answer from a user's move.

#include <gtest/gtest.h>

#include <new>
#include <ostream>
#include <stdexcept>

#include "ErrorText.h"
#include "ExtendedArith.h"
#include "PlacementTracker.h"
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
  EXPECT_EQ(ErrorBoxText(OnTimerErrorPrefix, Caught([] { RaiseInvalidOperation(); })),
            "Exception Occurred in OnTimer: Invalid floating point operation");
  EXPECT_EQ(ErrorBoxText(OnTimerErrorPrefix, Caught([] { RaiseOverflow(); })),
            "Exception Occurred in OnTimer: Floating point overflow");
  EXPECT_EQ(ErrorBoxText(FormCreateErrorPrefix, Caught([] { throw std::bad_alloc(); })),
            "Exception Occurred in FormCreate: Out of memory");
  EXPECT_EQ(ErrorMessageOf(Caught([] { throw std::runtime_error("disk gone"); })), "disk gone");
  EXPECT_EQ(ErrorMessageOf(Caught([] { throw 42; })), "Unknown error");
  EXPECT_EQ(ErrorMessageOf(nullptr), "Unknown error");
}

class PlacementTracking : public ::testing::Test {
 protected:
  using TClock = TPlacementTracker::TClock;
  TPlacementTracker tracker;
  TClock::time_point t0 = TClock::now();
  static constexpr TPoint Asked{1115, 728};
  static constexpr TPoint Shifted{1116, 729};  // where a window manager put it
};

TEST_F(PlacementTracking, TheDesktopsFirstAnswerReadsAsTheRequestedPosition) {
  EXPECT_EQ(tracker.Seen(Shifted), Shifted);  // nothing asked yet
  tracker.Requested(Asked, t0);
  EXPECT_EQ(tracker.Seen(Asked), Asked);
  tracker.Moved(Shifted, t0 + std::chrono::milliseconds(20));
  EXPECT_EQ(tracker.Seen(Shifted), Asked);
  // A user's later move is seen as it is, and so is the way back.
  tracker.Moved({400, 300}, t0 + std::chrono::milliseconds(40));
  EXPECT_EQ(tracker.Seen({400, 300}), (TPoint{400, 300}));
  EXPECT_EQ(tracker.Seen(Shifted), Asked);
}

TEST_F(PlacementTracking, AMoveAfterTheAnswerWindowIsTheUsers) {
  tracker.Requested(Asked, t0);
  tracker.Moved(Shifted, t0 + DesktopAnswerWindow + std::chrono::milliseconds(1));
  EXPECT_EQ(tracker.Seen(Shifted), Shifted);
}

TEST_F(PlacementTracking, ANewRequestForgetsTheOldAnswer) {
  tracker.Requested(Asked, t0);
  tracker.Moved(Shifted, t0);
  const TPoint next{1115, 630};
  tracker.Requested(next, t0 + std::chrono::seconds(5));
  EXPECT_EQ(tracker.Seen(Shifted), Shifted);
  EXPECT_EQ(tracker.Seen(next), next);
}

}  // namespace
}  // namespace recmon
