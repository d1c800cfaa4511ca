#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "MonitorFixture.h"

namespace recmon {
namespace {

using SelfClose = MonitorTest;

TRecMonSnapshot Stopped() {
  TRecMonSnapshot s;
  s.Recording = false;
  return s;
}

TEST_F(SelfClose, ClosesOnlyAfterTenSecondsWithoutRecordingAndOpen) {
  struct Row {
    const char* name;
    double sinceRecording;  // seconds since recording was last seen
    double sinceCreated;
    bool pinned;
    bool closes;
  };
  const std::vector<Row> rows = {
      {"just after ten seconds", 10.001, 60, false, true},
      {"just before ten seconds", 9.999, 60, false, false},
      {"window opened only recently", 60, 9.999, false, false},
      {"both just after", 10.001, 10.001, false, true},
      {"pinned never closes", 3600, 3600, true, false},
  };
  for (const auto& row : rows) {
    surface = TMemoryDisplaySurface{};
    SetUp();
    Publish(Stopped());
    model->LastRecordingSeen = platform.Clock - row.sinceRecording / 86400;
    model->CreatedAt = platform.Clock - row.sinceCreated / 86400;
    model->Pinned = row.pinned;
    model->RefreshDisplay();
    EXPECT_EQ(surface.CloseRequests, row.closes ? 1 : 0) << row.name;
  }
}

TEST_F(SelfClose, ExactlyTenSecondsDoesNotCount) {
  // Two doubles whose extended difference is exactly the ten-second span.
  const double hi = static_cast<double>(SelfCloseAfterDays);
  const double lo = static_cast<double>(SelfCloseAfterDays - hi);
  ASSERT_EQ(Sub(hi, -lo), SelfCloseAfterDays);
  Publish(Stopped());
  platform.Clock = hi;
  model->LastRecordingSeen = -lo;
  model->CreatedAt = -lo;
  model->RefreshDisplay();
  EXPECT_EQ(surface.CloseRequests, 0);

  platform.Clock = std::nextafter(hi, 1.0);
  model->RefreshDisplay();
  EXPECT_EQ(surface.CloseRequests, 1);
}

// Ticks every 200 ms from 100 ms after the start, until the window asks to
// close; returns how many refreshes that took.
int RefreshUntilClosed(TRecMonModel& model, TMemoryPlatform& platform,
                       const TMemoryDisplaySurface& surface) {
  platform.AdvanceSeconds(0.1);
  int ticks = 1;
  model.RefreshDisplay();
  while (surface.CloseRequests == 0 && ticks < 200) {
    platform.AdvanceSeconds(0.2);
    model.RefreshDisplay();
    ++ticks;
  }
  return ticks;
}

TEST_F(SelfClose, NoRecorderClosesAtTheFirstRefreshAfterTenSeconds) {
  PublishInvalid();
  EXPECT_EQ(RefreshUntilClosed(*model, platform, surface), 51);  // at 10.1 s
  EXPECT_EQ(surface.CloseRequests, 1);
}

TEST_F(SelfClose, RecordingSeenKeepsTheWindowOpenThenTenSecondsAfterItStops) {
  Publish(ACall());
  platform.AdvanceSeconds(30);
  model->RefreshDisplay();
  EXPECT_EQ(model->LastRecordingSeen, platform.Clock);

  auto stopped = ACall();
  stopped.Recording = false;
  Publish(stopped);
  EXPECT_EQ(RefreshUntilClosed(*model, platform, surface), 51);  // 10.1 s after the stop
}

TEST_F(SelfClose, AClockSetBackCountsTheTenSecondsFromTheJump) {
  struct Row {
    const char* name;
    bool recorded;         // recording was seen, and stopped 5 s before the jump
    double jumpSeconds;    // the clock goes back by this much
    int refreshesToClose;  // 200 ms apart, the first 100 ms after the jump
  };
  const std::vector<Row> rows = {
      {"an hour back after a stop", true, 3600, 51},
      {"a second back, still after the last recording seen", true, 1, 31},
      {"an hour back with no recording ever", false, 3600, 51},
  };
  for (const auto& row : rows) {
    surface = TMemoryDisplaySurface{};
    SetUp();
    if (row.recorded) {
      Publish(ACall());
      platform.AdvanceSeconds(30);
      model->RefreshDisplay();
      auto stopped = ACall();
      stopped.Recording = false;
      Publish(stopped);
    } else {
      PublishInvalid();
    }
    platform.AdvanceSeconds(5);
    model->RefreshDisplay();
    ASSERT_EQ(surface.CloseRequests, 0) << row.name;
    platform.AdvanceSeconds(-row.jumpSeconds);
    EXPECT_EQ(RefreshUntilClosed(*model, platform, surface), row.refreshesToClose) << row.name;
  }
}

TEST_F(SelfClose, ARecordThatTurnsInvalidMidCallKeepsTheWindowOpen) {
  Publish(ACall());
  model->RefreshDisplay();
  PublishInvalid();
  platform.AdvanceSeconds(60);
  model->RefreshDisplay();
  EXPECT_EQ(surface.CloseRequests, 0);
  EXPECT_EQ(Caption(TControl::lblRecording), "Recording");
}

TEST_F(SelfClose, UnpinningAfterALongStopClosesAtTheNextRefresh) {
  Publish(Stopped());
  model->imgPinOutClick();
  platform.AdvanceSeconds(120);
  model->RefreshDisplay();
  EXPECT_EQ(surface.CloseRequests, 0);
  model->imgPinInClick();
  EXPECT_EQ(surface.CloseRequests, 0);  // the click itself does not close
  model->RefreshDisplay();
  EXPECT_EQ(surface.CloseRequests, 1);
}

}  // namespace
}  // namespace recmon
