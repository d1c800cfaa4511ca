#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "BufferHealth.h"
#include "MonitorFixture.h"

namespace recmon {
namespace {

using RefreshCycle = MonitorTest;

// A status source whose reads fail, for the swallowing of snapshot errors.
class TFailingSource final : public IStatusSource {
 public:
  int Unlocks = 0;
  bool ThrowOnLock = false;
  void Lock() override {
    if (ThrowOnLock) {
      throw std::runtime_error("lock failed");
    }
  }
  void Unlock() override { ++Unlocks; }
  std::span<const std::uint8_t> View() override { throw std::runtime_error("short read"); }
};

TEST_F(RefreshCycle, AValidSnapshotIsCopiedIntoTheState) {
  const auto call = ACall();
  Publish(call);
  model->RefreshDisplay();
  EXPECT_TRUE(model->Valid);
  EXPECT_EQ(model->FileName, call.FileName);
  EXPECT_TRUE(model->Recording);
  EXPECT_EQ(model->StartTime, call.StartTime);
  EXPECT_EQ(model->BytesRecorded, call.BytesRecorded);
  EXPECT_EQ(model->BufferFree, 95);
  EXPECT_EQ(model->TheirRecordMode, 2);
  EXPECT_EQ(source->LockCount, 1);
  EXPECT_EQ(source->UnlockCount, 1);
}

TEST_F(RefreshCycle, AnInvalidSnapshotKeepsEveryCopy) {
  const auto call = ACall();
  Publish(call);
  model->RefreshDisplay();
  PublishInvalid();
  model->RefreshDisplay();
  EXPECT_FALSE(model->Valid);
  EXPECT_EQ(model->FileName, call.FileName);
  EXPECT_TRUE(model->Recording);
  EXPECT_EQ(model->BytesDropped, call.BytesDropped);
  EXPECT_EQ(model->MyLevel, call.MyLevel);
  // Figures that depend on validity drop to their zero texts...
  EXPECT_EQ(Caption(TControl::lblTimeElapsed), "00:00:00");
  EXPECT_EQ(Caption(TControl::lblSecsDropped), "0");
  // ...while the recording caption and the file hint follow the last copy.
  EXPECT_EQ(Caption(TControl::lblRecording), "Recording");
  EXPECT_EQ(Hint(TControl::lblFile), call.FileName);
}

TEST_F(RefreshCycle, AMissingViewKeepsValidAsItWas) {
  Publish(ACall());
  model->RefreshDisplay();
  source->HasView = false;
  PublishInvalid();
  model->RefreshDisplay();
  EXPECT_TRUE(model->Valid);
  EXPECT_EQ(source->LockCount, 2);
  EXPECT_EQ(source->UnlockCount, 2);
}

TEST_F(RefreshCycle, ReadErrorsAreSwallowedAndTheLockIsReleased) {
  auto failing = std::make_unique<TFailingSource>();
  auto* raw = failing.get();
  model->Channel = std::move(failing);
  EXPECT_NO_THROW(model->RefreshDisplay());
  EXPECT_EQ(raw->Unlocks, 1);
  EXPECT_FALSE(model->Valid);
  EXPECT_EQ(Caption(TControl::lblHealth), "Good");  // the cycle went on

  raw->ThrowOnLock = true;
  EXPECT_NO_THROW(model->RefreshDisplay());
  EXPECT_EQ(Caption(TControl::lblRecording), "Not Recording");
}

TEST_F(RefreshCycle, WithoutAChannelTheCycleStillRuns) {
  model->Channel.reset();
  EXPECT_NO_THROW(model->RefreshDisplay());
  EXPECT_EQ(Caption(TControl::lblPctBufFull), "0%");
}

TEST_F(RefreshCycle, AnInvalidRecordShowsTheZeroFigures) {
  PublishInvalid();
  platform.Separator = ".";  // the fixed zero texts ignore the locale
  model = std::make_unique<TRecMonModel>(surface, platform);
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblRecording), "Not Recording");
  EXPECT_EQ(Caption(TControl::lblTimeElapsed), "00:00:00");
  EXPECT_EQ(Caption(TControl::lblTimeRecorded), "00:00:00");
  EXPECT_EQ(Caption(TControl::lblSecsDropped), "0");
  EXPECT_EQ(Caption(TControl::lblSecondsBehind), "0");
  EXPECT_EQ(Caption(TControl::lblPctBufFull), "0%");
  EXPECT_EQ(Caption(TControl::lblHealth), "Good");
  EXPECT_EQ(Hint(TControl::lblHealth), "");
  EXPECT_EQ(surface.WindowColor, 0xCCFFCCu);
}

TEST_F(RefreshCycle, AValidCallShowsEveryFigure) {
  Publish(ACall());
  platform.FileSizes["/home/user/Recordings/call.wav"] = 1536;
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblRecording), "Recording");
  EXPECT_EQ(Caption(TControl::lblSize), "2 KB");
  EXPECT_EQ(Caption(TControl::lblTimeElapsed), "00:01:43");
  EXPECT_EQ(Caption(TControl::lblTimeRecorded), "00:01:35");
  EXPECT_EQ(Caption(TControl::lblSecsDropped), "2 (1/0)");
  EXPECT_EQ(Caption(TControl::lblSecondsBehind), "8 (5/3)");
  EXPECT_EQ(Caption(TControl::lblPctBufFull), "5%");
  EXPECT_EQ(model->SecondsDropped, 2);
}

TEST_F(RefreshCycle, StepsRunInTheirFixedOrder) {
  Publish(ACall());
  platform.FileSizes["/home/user/Recordings/call.wav"] = 4096;
  model->InitMeters();
  surface.Events.clear();
  model->RefreshDisplay();

  // The first event of each step, in the order the steps must come.
  const std::vector<std::pair<TSurfaceOp, TControl>> expected = {
      {TSurfaceOp::SetTop, TControl::rectMeterMe},
      {TSurfaceOp::SetCaption, TControl::lblRecording},
      {TSurfaceOp::SetHint, TControl::lblFile},
      {TSurfaceOp::SetCaption, TControl::lblSize},
      {TSurfaceOp::SetCaption, TControl::lblTimeElapsed},
      {TSurfaceOp::SetCaption, TControl::lblTimeRecorded},
      {TSurfaceOp::SetCaption, TControl::lblSecsDropped},
      {TSurfaceOp::SetCaption, TControl::lblSecondsBehind},
      {TSurfaceOp::SetCaption, TControl::lblPctBufFull},
      {TSurfaceOp::SetVisible, TControl::imgAdvanced},
      {TSurfaceOp::SetVisible, TControl::pnlAdvanced},
      {TSurfaceOp::SetCaption, TControl::lblHealth},
  };
  std::vector<std::pair<TSurfaceOp, TControl>> seen;
  for (const auto& e : surface.Events) {
    const std::pair<TSurfaceOp, TControl> key{e.Op, e.Control};
    if (std::find(expected.begin(), expected.end(), key) != expected.end() &&
        std::find(seen.begin(), seen.end(), key) == seen.end()) {
      seen.push_back(key);
    }
  }
  EXPECT_EQ(seen, expected);
}

TEST_F(RefreshCycle, ALaterStepsErrorEndsTheCycleAndReachesTheCaller) {
  auto call = ACall();
  call.StartTime = std::numeric_limits<double>::quiet_NaN();
  Publish(call);
  model->LastRecordingSeen = 1.0;
  surface.Events.clear();
  try {
    model->RefreshDisplay();
    FAIL() << "the error did not reach the caller";
  } catch (const TFloatError& e) {
    EXPECT_STREQ(e.what(), "Invalid floating point operation");
  }
  // Steps up to the failing one ran; none after it.
  EXPECT_EQ(Caption(TControl::lblRecording), "Recording");
  EXPECT_EQ(surface.Count(TSurfaceOp::SetCaption, TControl::lblTimeRecorded), 0);
  EXPECT_EQ(surface.Count(TSurfaceOp::SetCaption, TControl::lblHealth), 0);
  EXPECT_EQ(model->LastRecordingSeen, 1.0);
}

TEST_F(RefreshCycle, AnElapsedSpanNoDoubleCanHoldOverflows) {
  auto call = ACall();
  platform.Clock = std::numeric_limits<double>::max();
  call.StartTime = -std::numeric_limits<double>::max();
  call.LastUpdateTime = 0;
  Publish(call);
  EXPECT_THROW(
      {
        try {
          model->RefreshDisplay();
        } catch (const TFloatError& e) {
          EXPECT_STREQ(e.what(), "Floating point overflow");
          throw;
        }
      },
      TFloatError);
}

TEST_F(RefreshCycle, MeterErrorsAreSwallowed) {
  auto call = ACall();
  call.MyLevel = std::numeric_limits<double>::infinity();
  Publish(call);
  model->InitMeters();
  surface.Events.clear();
  EXPECT_NO_THROW(model->RefreshDisplay());
  // The meter step stopped at its first error and touched nothing more.
  EXPECT_EQ(surface.Count(TSurfaceOp::SetHeight, TControl::rectMeterMe), 0);
  EXPECT_EQ(surface.Count(TSurfaceOp::SetHeight, TControl::rectMeterThem), 0);
  EXPECT_EQ(surface.Count(TSurfaceOp::SetHint, TControl::rectMeterMe), 0);
  EXPECT_EQ(Caption(TControl::lblHealth), "Good");
}

TEST_F(RefreshCycle, ElapsedFreezesWhileNotRecording) {
  Publish(ACall());
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblTimeElapsed), "00:01:43");
  EXPECT_EQ(Caption(TControl::lblSecondsBehind), "8 (5/3)");

  auto stopped = ACall();
  stopped.Recording = false;
  Publish(stopped);
  platform.AdvanceSeconds(30);
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblTimeElapsed), "00:01:43");
  EXPECT_EQ(Caption(TControl::lblSecondsBehind), "8 (5/3)");
  EXPECT_EQ(Caption(TControl::lblRecording), "Not Recording");
}

TEST_F(RefreshCycle, NeverRecordingShowsZeroElapsedAndLeavesSecondsBehind) {
  auto idle = ACall();
  idle.Recording = false;
  Publish(idle);
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblTimeElapsed), "00:00:00");
  EXPECT_EQ(surface.Count(TSurfaceOp::SetCaption, TControl::lblSecondsBehind), 0);
}

TEST_F(RefreshCycle, ANegativeElapsedSpanShowsItsMagnitude) {
  auto call = ACall();
  call.StartTime = platform.Clock + 65.0 / 86400;  // the clock was set back
  Publish(call);
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblTimeElapsed), "00:01:05");
}

TEST_F(RefreshCycle, TheLocaleSeparatorIsUsedForLiveFigures) {
  platform.Separator = ".";
  model = std::make_unique<TRecMonModel>(surface, platform);
  auto owned = std::make_unique<TMemoryStatusSource>();
  owned->Bytes = EncodeStatus(ACall());
  model->Channel = std::move(owned);
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblTimeElapsed), "00.01.43");
  EXPECT_EQ(Caption(TControl::lblTimeRecorded), "00.01.35");
}

TEST_F(RefreshCycle, BufferSizeZeroKeepsTheLastPercentageButGradesGood) {
  auto call = ACall();
  call.BufferFree = 30;  // 70 %
  Publish(call);
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblPctBufFull), "70%");
  EXPECT_EQ(Caption(TControl::lblHealth), "Poor");

  call.BufferSize = 0;
  Publish(call);
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblPctBufFull), "70%");
  EXPECT_EQ(model->BufferPercent, 0);
  EXPECT_EQ(Caption(TControl::lblHealth), "Good");
  EXPECT_EQ(surface.WindowColor, 0xCCFFCCu);
}

TEST_F(RefreshCycle, HealthColoursTheWindowAndExplainsItself) {
  struct Row {
    std::int32_t free;
    const char* grade;
    TColor color;
    const char* hint;
  };
  const std::vector<Row> rows = {
      {91, "Good", 0xCCFFCC, ""},
      {90, "Fair", 0xFFDB91,
       "Recording buffer is 10% full. If the buffer fills, some audio data may be lost."},
      {40, "Poor", 0xFC969D,
       "Recording buffer is 60% full.  Close other apps to improve recording health."},
      {91, "Good", 0xCCFFCC, ""},  // recovers, and the tooltip goes away
  };
  for (const auto& row : rows) {
    auto call = ACall();
    call.BufferFree = row.free;
    Publish(call);
    model->RefreshDisplay();
    EXPECT_EQ(Caption(TControl::lblHealth), row.grade) << row.free;
    EXPECT_EQ(surface.WindowColor, row.color) << row.free;
    EXPECT_EQ(Hint(TControl::lblHealth), row.hint) << row.free;
  }
}

TEST_F(RefreshCycle, FileSizeKeepsItsLastTextWhenTheLookupFails) {
  Publish(ACall());
  surface[TControl::lblSize].Caption = "0 MB";
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblSize), "0 MB");  // not on disk yet

  platform.FileSizes["/home/user/Recordings/call.wav"] = 2560;
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblSize), "2 KB");

  platform.FileSizes.clear();  // deleted during recording
  model->RefreshDisplay();
  EXPECT_EQ(Caption(TControl::lblSize), "2 KB");
}

TEST_F(RefreshCycle, AnEmptyFileNameIsNeverLookedUp) {
  auto call = ACall();
  call.FileName.clear();
  Publish(call);
  model->RefreshDisplay();
  EXPECT_EQ(platform.FileLookups, 0);
  EXPECT_EQ(Hint(TControl::lblFile), "");
}

// What is known of the recorder beyond its record: its presence, and whether
// anything has moved. A call with the buffer 30 % full, graded "Fair" while
// the recorder is well.
class RecorderFate : public MonitorTest {
 protected:
  using TState = TWriterPresence::TState;
  static constexpr const char* FairHint =
      "Recording buffer is 30% full. If the buffer fills, some audio data may be lost.";

  enum class TMoves { Record, Beat, Nothing };

  void SetUp() override {
    MonitorTest::SetUp();
    call = ACall();
    call.BufferFree = 70;
  }
  // Refreshes every 200 ms for `seconds`, the clock and the tick counter
  // going on together, with the record's count, the presence's beat or
  // nothing moving between refreshes.
  void RunFor(double seconds, TMoves moves) {
    for (int i = 0; i < static_cast<int>(seconds * 5 + 0.5); ++i) {
      platform.AdvanceSeconds(0.2);
      platform.Ticks += 200;
      if (moves == TMoves::Record) {
        call.BytesRecorded += AudioBytesPerSecond / 5;
        call.LastUpdateTime = platform.Clock;
      } else if (moves == TMoves::Beat) {
        ++source->Presence.Beat;
      }
      Publish(call);
      model->RefreshDisplay();
    }
  }
  void ExpectWell(const char* when) {
    EXPECT_EQ(Caption(TControl::lblRecording), "Recording") << when;
    EXPECT_EQ(Caption(TControl::lblHealth), "Fair") << when;
    EXPECT_EQ(surface.WindowColor, FairColor) << when;
    EXPECT_EQ(Hint(TControl::lblHealth), FairHint) << when;
  }

  TRecMonSnapshot call;
};

TEST_F(RecorderFate, ALiveRecorderLooksTheSameWithOrWithoutAPresence) {
  const struct {
    const char* name;
    TState state;
    TMoves moves;
  } rows[] = {
      {"an older recorder, publishing", TState::Unknown, TMoves::Record},
      {"a recorder holding its presence, publishing", TState::Held, TMoves::Record},
      {"a holder with nothing new, its beat moving", TState::Held, TMoves::Beat},
  };
  for (const auto& row : rows) {
    SetUp();
    source->Presence.State = row.state;
    RunFor(30, row.moves);
    ExpectWell(row.name);
    EXPECT_EQ(surface.CloseRequests, 0) << row.name;
  }
}

TEST_F(RecorderFate, ARecorderThatEndedWithoutStoppingIsShownStoppedAndPoorAndStaysOpen) {
  source->Presence.State = TState::Held;
  RunFor(1, TMoves::Record);
  ExpectWell("while it runs");
  const std::string elapsed = Caption(TControl::lblTimeElapsed);
  const std::string behind = Caption(TControl::lblSecondsBehind);

  source->Presence.State = TState::Gone;
  RunFor(0.2, TMoves::Nothing);
  EXPECT_EQ(Caption(TControl::lblRecording), "Not Recording");
  EXPECT_EQ(Caption(TControl::lblHealth), "Poor");
  EXPECT_EQ(surface.WindowColor, PoorColor);
  EXPECT_EQ(Hint(TControl::lblHealth),
            "The recorder stopped unexpectedly; the file holds what was recorded until then.");
  EXPECT_EQ(Caption(TControl::lblPctBufFull), "30%") << "the buffer's figure stays";

  RunFor(30, TMoves::Nothing);
  EXPECT_EQ(surface.CloseRequests, 0) << "the user must get to see it";
  EXPECT_EQ(Hint(TControl::lblHealth),
            "The recorder stopped unexpectedly; the file holds what was recorded until then.")
      << "ended outranks stuck";
  EXPECT_EQ(Caption(TControl::lblTimeElapsed), elapsed) << "the time stands still";
  EXPECT_EQ(Caption(TControl::lblSecondsBehind), behind);

  // A new recorder takes over.
  source->Presence.State = TState::Held;
  call.StartTime = platform.Clock;
  RunFor(0.2, TMoves::Record);
  ExpectWell("after a new recorder started");
}

TEST_F(RecorderFate, AnEndedWriterOfARecordThatSaysStoppedChangesNothing) {
  call.Recording = false;
  source->Presence.State = TState::Gone;
  RunFor(1, TMoves::Nothing);
  EXPECT_EQ(Caption(TControl::lblRecording), "Not Recording");
  EXPECT_EQ(Caption(TControl::lblHealth), "Fair");
  EXPECT_EQ(Hint(TControl::lblHealth), FairHint);
}

TEST_F(RecorderFate, NothingMovingForFiveSecondsIsPoorWhateverThePresenceSaysUntilItMovesAgain) {
  for (const TState state : {TState::Unknown, TState::Held}) {
    SetUp();
    source->Presence.State = state;
    RunFor(1, TMoves::Record);
    RunFor(5, TMoves::Nothing);
    ExpectWell("at five seconds");
    RunFor(0.2, TMoves::Nothing);
    EXPECT_EQ(Caption(TControl::lblRecording), "Recording") << "still recording, maybe";
    EXPECT_EQ(Caption(TControl::lblHealth), "Poor");
    EXPECT_EQ(surface.WindowColor, PoorColor);
    EXPECT_EQ(Hint(TControl::lblHealth),
              "Recording may have stopped: no update from the recorder for 5 s.");
    RunFor(4, TMoves::Nothing);
    EXPECT_EQ(Hint(TControl::lblHealth),
              "Recording may have stopped: no update from the recorder for 9 s.");
    EXPECT_EQ(surface.CloseRequests, 0);

    RunFor(0.2, state == TState::Held ? TMoves::Beat : TMoves::Record);
    ExpectWell("once it moves again");
  }
}

TEST_F(RecorderFate, OnlyTimeTheMonitorWatchedCounts) {
  RunFor(1, TMoves::Record);
  // The machine slept for an hour: the tick counter jumped.
  platform.Ticks += 3600 * 1000;
  platform.AdvanceSeconds(3600);
  RunFor(0.2, TMoves::Nothing);
  ExpectWell("right after the jump");
  RunFor(5.2, TMoves::Nothing);
  EXPECT_EQ(Caption(TControl::lblHealth), "Poor") << "but more than five seconds watched do";
}

TEST_F(RecorderFate, NotRecordingNeverLooksStuck) {
  call.Recording = false;
  RunFor(8, TMoves::Nothing);
  EXPECT_EQ(Caption(TControl::lblHealth), "Fair");
}

}  // namespace
}  // namespace recmon
