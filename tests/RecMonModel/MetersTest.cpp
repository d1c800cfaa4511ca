#include <gtest/gtest.h>

#include "MonitorFixture.h"

namespace recmon {
namespace {

using Meters = MonitorTest;

TEST_F(Meters, InitMovesBothBarsOntoTheirBackgrounds) {
  model->InitMeters();
  EXPECT_EQ(model->MeterHeight, 15);
  EXPECT_EQ(surface[TControl::rectMeterMe].Left, 76);
  EXPECT_EQ(surface[TControl::rectMeterMe].Top, 50);  // first row below its background
  EXPECT_EQ(surface[TControl::rectMeterMe].Height, 1);
  EXPECT_EQ(surface[TControl::rectMeterThem].Left, 76);
  EXPECT_EQ(surface[TControl::rectMeterThem].Top, 49);
  EXPECT_EQ(surface[TControl::rectMeterThem].Height, 1);
}

TEST_F(Meters, BarsGrowFromTheSharedCentreLine) {
  model->InitMeters();
  auto call = ACall();
  call.MyLevel = 0.25;    // 8 pixels
  call.TheirLevel = 0.5;  // full
  Publish(call);
  model->RefreshDisplay();
  EXPECT_EQ(surface[TControl::rectMeterMe].Height, 8);
  EXPECT_EQ(surface[TControl::rectMeterMe].Top, 35 + 15 - 8);  // grows upward
  EXPECT_EQ(surface[TControl::rectMeterThem].Height, 15);
  EXPECT_EQ(surface[TControl::rectMeterThem].Top, 49);                       // grows downward
  EXPECT_EQ(surface.Count(TSurfaceOp::SetTop, TControl::rectMeterThem), 1);  // InitMeters only
}

TEST_F(Meters, BeforeInitEveryBarIsEmpty) {
  auto call = ACall();
  call.MyLevel = 0.9;
  Publish(call);
  model->RefreshDisplay();
  EXPECT_EQ(surface[TControl::rectMeterMe].Height, 0);
  EXPECT_EQ(surface[TControl::rectMeterThem].Height, 0);
}

TEST_F(Meters, HintsAreAssignedOnlyWhenTheirTextChanges) {
  model->InitMeters();
  Publish(ACall());
  for (int i = 0; i < 3; ++i) {
    model->RefreshDisplay();
  }
  EXPECT_EQ(Hint(TControl::rectMeterMe), "Sound level for you.");
  EXPECT_EQ(Hint(TControl::rectMeterMeBackground), "Sound level for you.");
  EXPECT_EQ(Hint(TControl::rectMeterThem), "Sound level for other party(s).");
  EXPECT_EQ(surface.Count(TSurfaceOp::SetHint, TControl::rectMeterMe), 1);
  EXPECT_EQ(surface.Count(TSurfaceOp::SetHint, TControl::rectMeterThem), 1);

  platform.Ticks += 5001;  // the other parties fall silent
  model->RefreshDisplay();
  model->RefreshDisplay();
  EXPECT_EQ(Hint(TControl::rectMeterThemBackground),
            "Sound level for other party(s).  (No recent sound data received)");
  EXPECT_EQ(surface.Count(TSurfaceOp::SetHint, TControl::rectMeterThem), 2);
  EXPECT_EQ(surface.Count(TSurfaceOp::SetHint, TControl::rectMeterMe), 1);
}

TEST_F(Meters, FollowTheLastValidCopyNotValidity) {
  model->InitMeters();
  Publish(ACall());
  model->RefreshDisplay();
  PublishInvalid();
  model->RefreshDisplay();
  EXPECT_EQ(surface[TControl::rectMeterMe].Height, 8);
}

TEST_F(Meters, AFailingSecondBarLeavesItAndTheHintsAsTheyWere) {
  model->InitMeters();
  auto call = ACall();
  call.TheirLevel = std::numeric_limits<double>::quiet_NaN();
  Publish(call);
  model->RefreshDisplay();
  EXPECT_EQ(surface[TControl::rectMeterMe].Height, 8);  // set before the failure
  EXPECT_EQ(surface[TControl::rectMeterThem].Height, 1);
  EXPECT_EQ(Hint(TControl::rectMeterMe), "");
}

}  // namespace
}  // namespace recmon
