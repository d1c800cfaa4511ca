// Pairing the two sides by time: in step, a side stalled, ahead, late, holes,
// and the end of a recording.

#include <gtest/gtest.h>

#include "SidePairer.h"

namespace recmon {
namespace {

constexpr TFramePos kMs = kSampleRate / 1000;

// Samples whose values say which side and which frame they are.
std::vector<float> Run(TSide side, TFramePos from, TFramePos count) {
  std::vector<float> samples;
  for (TFramePos i = from; i < from + count; ++i) {
    samples.push_back(static_cast<float>(side == TSide::Mic ? i + 1 : -(i + 1)));
  }
  return samples;
}

struct TPairerFixture {
  explicit TPairerFixture(bool withOthers = true)
      : Pairer(withOthers, [this](std::span<const TStereoFrame> f) {
          Frames.insert(Frames.end(), f.begin(), f.end());
        }) {}
  std::vector<TStereoFrame> Frames;
  TSidePairer Pairer;
  TFramePos Next[2]{};
  // A side delivers its next `ms` of audio at clock time `nowMs`.
  void Deliver(TSide side, TFramePos ms, TFramePos nowMs) {
    TFramePos& next = Next[static_cast<int>(side)];
    Pairer.Deliver(side, Run(side, next, ms * kMs), nowMs * kMs);
    next += ms * kMs;
  }
};

TEST(SidePairerTest, SidesInStepPairFrameByFrameWhateverTheirFragmentSizes) {
  TPairerFixture p;
  for (TFramePos t = 20; t <= 1020; t += 20) {
    p.Deliver(TSide::Mic, 20, t);
    if (t % 60 == 0) {
      p.Deliver(TSide::Others, 60, t + 5);  // larger fragments, a little later
    }
  }
  ASSERT_EQ(p.Frames.size(), static_cast<std::size_t>(1020 * kMs));
  bool paired = true;
  for (std::size_t i = 0; i < p.Frames.size(); ++i) {
    const auto expected = static_cast<float>(i + 1);
    paired = paired && p.Frames[i] == TStereoFrame{expected, -expected};
  }
  EXPECT_TRUE(paired);
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Mic) + p.Pairer.LostFrames(TSide::Others), 0U);
}

TEST(SidePairerTest, JitterWithinTheWindowIsNotCorrected) {
  TPairerFixture p;
  p.Deliver(TSide::Mic, 20, 20);
  p.Deliver(TSide::Others, 20, 220);  // 200 ms late: inside the 250 ms window
  p.Deliver(TSide::Mic, 20, 240);     // mic already 200 ms behind its clock
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Mic) + p.Pairer.LostFrames(TSide::Others), 0U);
  EXPECT_EQ(p.Frames.size(), static_cast<std::size_t>(20 * kMs));
}

TEST(SidePairerTest, AStalledSideIsFilledWithSilenceAsTheOtherGoesOnAndCounted) {
  TPairerFixture p;
  for (TFramePos t = 20; t <= 1000; t += 20) {
    p.Deliver(TSide::Mic, 20, t);
  }
  // The other side never came; it is padded to 40 ms behind the microphone
  // whenever it lags by more than the window.
  const TFramePos padded = p.Pairer.Placed(TSide::Others);
  EXPECT_GE(padded, (1000 - 250) * kMs);
  EXPECT_LE(padded, (1000 - 40) * kMs);
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Others), static_cast<std::uint64_t>(padded));
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Mic), 0U);
  ASSERT_EQ(p.Frames.size(), static_cast<std::size_t>(padded));
  EXPECT_EQ(p.Frames.back().Others, 0.0F);
  EXPECT_EQ(p.Frames.back().Mic, static_cast<float>(padded)) << "the microphone keeps its place";
}

TEST(SidePairerTest, AStalledSideThatResumesIsPutLevelWithTheOther) {
  TPairerFixture p;
  p.Deliver(TSide::Others, 20, 20);
  for (TFramePos t = 20; t <= 1040; t += 20) {
    p.Deliver(TSide::Mic, 20, t);
  }
  // The other side said nothing for a second, then resumes with fresh audio.
  p.Deliver(TSide::Others, 20, 1040);
  EXPECT_EQ(p.Pairer.Placed(TSide::Others), 1040 * kMs);
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Others), static_cast<std::uint64_t>(1000 * kMs));
  ASSERT_EQ(p.Frames.size(), static_cast<std::size_t>(1040 * kMs));
  EXPECT_EQ(p.Frames.back().Others, -40.0F * kMs) << "its newest sample is last";
  EXPECT_EQ(p.Frames[1020 * kMs - 1].Others, 0.0F);
}

TEST(SidePairerTest, BothSidesLateTogetherLoseNothing) {
  // The whole process was held up for 1.5 s; the server kept the audio and
  // hands it over at once, the sides interleaved as it produced them.
  TPairerFixture p;
  for (TFramePos t = 20; t <= 1000; t += 20) {
    p.Deliver(TSide::Mic, 20, t);
    p.Deliver(TSide::Others, 20, t);
  }
  for (TFramePos t = 1020; t <= 2500; t += 20) {
    p.Deliver(TSide::Mic, 20, 2500);
    p.Deliver(TSide::Others, 20, 2500);
  }
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Mic) + p.Pairer.LostFrames(TSide::Others), 0U);
  ASSERT_EQ(p.Frames.size(), static_cast<std::size_t>(2500 * kMs));
  EXPECT_EQ(p.Frames.back(), (TStereoFrame{2500.0F * kMs, -2500.0F * kMs}));
}

TEST(SidePairerTest, ASideAheadOfTheClockLosesItsOldestSurplus) {
  TPairerFixture p;
  // An idle null sink hands over two seconds at once, 100 ms into the call.
  p.Deliver(TSide::Others, 2000, 100);
  EXPECT_EQ(p.Pairer.Placed(TSide::Others), 60 * kMs) << "kept up to 40 ms behind the clock";
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Others), static_cast<std::uint64_t>(1940 * kMs));
  p.Deliver(TSide::Mic, 60, 100);
  ASSERT_EQ(p.Frames.size(), static_cast<std::size_t>(60 * kMs));
  EXPECT_EQ(p.Frames.back().Others, -static_cast<float>(2000 * kMs)) << "the newest are kept";
}

TEST(SidePairerTest, HolesBecomeCountedSilence) {
  TPairerFixture p;
  p.Deliver(TSide::Mic, 20, 20);
  p.Pairer.Hole(TSide::Mic, 10 * kMs);
  p.Deliver(TSide::Others, 30, 30);
  ASSERT_EQ(p.Frames.size(), static_cast<std::size_t>(30 * kMs));
  EXPECT_EQ(p.Frames[20 * kMs].Mic, 0.0F);
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Mic), static_cast<std::uint64_t>(10 * kMs));
}

TEST(SidePairerTest, FinishEndsExactlyAtTheStopPaddingShortSidesAndDroppingWhatFollows) {
  TPairerFixture p;
  for (TFramePos t = 20; t <= 960; t += 20) {
    p.Deliver(TSide::Mic, 20, t);
    p.Deliver(TSide::Others, 20, t);
  }
  p.Deliver(TSide::Mic, 40, 1000);  // the other side's last 40 ms are still on their way
  p.Pairer.Finish(980 * kMs);
  ASSERT_EQ(p.Frames.size(), static_cast<std::size_t>(980 * kMs));
  EXPECT_EQ(p.Frames.back().Others, 0.0F) << "padded after its last sample";
  EXPECT_EQ(p.Frames.back().Mic, static_cast<float>(980 * kMs));
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Others), static_cast<std::uint64_t>(20 * kMs));
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Mic), 0U) << "what lies beyond the stop is not lost audio";
}

TEST(SidePairerTest, ALimitHoldsBackWhatLiesBeyondItHoweverLateFinishComes) {
  TPairerFixture p;
  p.Pairer.Limit(500 * kMs);
  for (TFramePos t = 20; t <= 800; t += 20) {
    p.Deliver(TSide::Mic, 20, t);
    p.Deliver(TSide::Others, 20, t);
  }
  EXPECT_EQ(p.Frames.size(), static_cast<std::size_t>(500 * kMs));
  p.Pairer.Limit(900 * kMs);
  p.Pairer.Finish(780 * kMs);  // a stop noticed late does not lengthen the recording
  EXPECT_EQ(p.Frames.size(), static_cast<std::size_t>(500 * kMs));
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Mic) + p.Pairer.LostFrames(TSide::Others), 0U);
}

TEST(SidePairerTest, ALimitBelowWhatWasEmittedCannotTakeItBack) {
  TPairerFixture p;
  p.Deliver(TSide::Mic, 100, 100);
  p.Deliver(TSide::Others, 100, 100);
  p.Pairer.Limit(50 * kMs);
  p.Deliver(TSide::Mic, 20, 120);
  p.Deliver(TSide::Others, 20, 120);
  p.Pairer.Finish(50 * kMs);
  EXPECT_EQ(p.Frames.size(), static_cast<std::size_t>(100 * kMs));
}

TEST(SidePairerTest, WithoutTheOtherSideTheMicrophoneSetsThePaceAndRightIsSilent) {
  TPairerFixture p(false);
  p.Deliver(TSide::Mic, 20, 20);
  p.Deliver(TSide::Others, 20, 20);  // ignored
  ASSERT_EQ(p.Frames.size(), static_cast<std::size_t>(20 * kMs));
  EXPECT_EQ(p.Frames[5], (TStereoFrame{6.0F, 0.0F}));
  EXPECT_EQ(p.Pairer.LostFrames(TSide::Others), 0U);
}

}  // namespace
}  // namespace recmon
