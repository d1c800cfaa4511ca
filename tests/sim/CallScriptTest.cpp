#include "CallScript.h"

#include <gtest/gtest.h>

namespace recmon {
namespace {

double PercentUsed(const TCallFrame& f) {
  return 100.0 * (CallBufferSize - f.BufferFree) / CallBufferSize;
}

TEST(CallScriptTest, CountsNeverGoBackAndTheBufferStaysInItsBounds) {
  TCallFrame previous = CallAt(0);
  for (double t = 0.01; t <= CallEndsAt + 1; t += 0.01) {
    const TCallFrame f = CallAt(t);
    ASSERT_GE(f.BytesRecorded, previous.BytesRecorded) << "at " << t;
    ASSERT_GE(f.DroppedBufferFull, previous.DroppedBufferFull) << "at " << t;
    ASSERT_GE(f.DroppedAtServer, previous.DroppedAtServer) << "at " << t;
    ASSERT_GE(f.BufferFree, 0) << "at " << t;
    ASSERT_LE(f.BufferFree, CallBufferSize) << "at " << t;
    previous = f;
  }
}

TEST(CallScriptTest, GoesThroughEveryStageOfTheTypicalCall) {
  const struct {
    double At;
    bool Recording;
    double MinPercent;
    double MaxPercent;
    double SilentFor;  // seconds since the other party's last sound data
  } rows[] = {
      {5, true, 0, 9, 0},       // healthy start
      {24, true, 0, 9, 6},      // other party silent past the 5 s the monitor allows
      {31, true, 10, 59, 0},    // Fair
      {37, true, 60, 100, 0},   // Poor
      {40, true, 100, 100, 0},  // full: dropping
      {44, true, 60, 100, 0},   // draining
      {52, true, 0, 9, 0},      // healthy again
      {59, false, 0, 0, 1},     // stopped, buffer flushed
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.At);
    const TCallFrame f = CallAt(row.At);
    EXPECT_EQ(f.Recording, row.Recording);
    EXPECT_GE(PercentUsed(f), row.MinPercent);
    EXPECT_LE(PercentUsed(f), row.MaxPercent);
    EXPECT_DOUBLE_EQ(row.At - f.TheirLastSoundAt, row.SilentFor);
    EXPECT_EQ(f.MyLevel > 0, row.Recording);
  }
  EXPECT_EQ(CallAt(24).TheirLevel, 0);
  EXPECT_GT(CallAt(30).TheirLevel, CallTheirLevelBias);
}

TEST(CallScriptTest, EndsWithEverythingCapturedEitherRecordedOrDropped) {
  const TCallFrame end = CallAt(CallEndsAt);
  EXPECT_EQ(end.DroppedBufferFull, 2 * AudioBytesPerSecond) << "the two full seconds";
  EXPECT_EQ(end.DroppedAtServer, AudioBytesPerSecond / 2) << "the half second the server lost";
  EXPECT_EQ(end.BytesRecorded + end.DroppedBufferFull + end.DroppedAtServer,
            static_cast<std::uint32_t>(CallStopsAt * AudioBytesPerSecond));
  EXPECT_DOUBLE_EQ(end.CountAt, CallStopsAt) << "the counts refer to the moment recording stopped";
}

}  // namespace
}  // namespace recmon
