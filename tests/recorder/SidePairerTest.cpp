// Pairing the two sides by time: in step, late deliveries, a held-up
// recorder with and without audio lost at the server, suspended and absent
// sides, new streams, audio ahead of the clock, holes, and the end of a
// recording. Every sample carries its side and its index in its stream, so
// each test can tell where each piece of audio landed.

#include <gtest/gtest.h>

#include <optional>

#include "SidePairer.h"

namespace recmon {
namespace {

constexpr TFramePos kMs = kSampleRate / 1000;

// A stream's samples from index `from`: the microphone's are i + 1, the
// other parties' -(i + 1), so that 0 is only ever silence put in.
std::vector<float> Run(TSide side, TFramePos from, TFramePos count) {
  std::vector<float> samples;
  for (TFramePos i = from; i < from + count; ++i) {
    samples.push_back(static_cast<float>(side == TSide::Mic ? i + 1 : -(i + 1)));
  }
  return samples;
}

// The stream index a sample came from; nothing for silence put in.
std::optional<TFramePos> Index(float value) {
  if (value == 0) {
    return std::nullopt;
  }
  return static_cast<TFramePos>(value > 0 ? value : -value) - 1;
}

struct TPairerFixture {
  explicit TPairerFixture(bool withOthers = true)
      : Pairer(withOthers, [this](std::span<const TStereoFrame> f) {
          Frames.insert(Frames.end(), f.begin(), f.end());
        }) {}
  std::vector<TStereoFrame> Frames;
  TSidePairer Pairer;
  TFramePos Next[2]{};
  // A side delivers its next `ms` of audio at clock time `nowMs`, the last
  // of it captured `ageMs` before then when the server tells.
  void Deliver(TSide side, TFramePos ms, TFramePos nowMs, std::optional<TFramePos> ageMs = {}) {
    TFramePos& next = Next[static_cast<int>(side)];
    Pairer.Deliver(side, Run(side, next, ms * kMs), nowMs * kMs,
                   ageMs ? std::optional(*ageMs * kMs) : std::nullopt);
    next += ms * kMs;
  }
  // Both sides deliver 20 ms at a time, at the pace of the clock, from
  // `fromMs` to `toMs`, ticking as the capture thread does.
  void Live(TFramePos fromMs, TFramePos toMs, bool mic = true, bool others = true) {
    for (TFramePos t = fromMs + 20; t <= toMs; t += 20) {
      if (mic) {
        Deliver(TSide::Mic, 20, t);
      }
      if (others) {
        Deliver(TSide::Others, 20, t + 3);
      }
      if (t % 100 == 0) {
        Pairer.Tick(t * kMs);
      }
    }
  }
  // The stream index of a side at a timeline position, nothing for silence.
  std::optional<TFramePos> At(TSide side, TFramePos position) const {
    const TStereoFrame& f = Frames.at(static_cast<std::size_t>(position));
    return Index(side == TSide::Mic ? f.Mic : f.Others);
  }
  // How far behind the timeline a side's stream index lies at a position.
  TFramePos ShiftAt(TSide side, TFramePos position) const {
    return position - At(side, position).value_or(position);
  }
  // Positions of a side holding silence.
  TFramePos SilentFrames(TSide side) const {
    TFramePos n = 0;
    for (const TStereoFrame& f : Frames) {
      n += (side == TSide::Mic ? f.Mic : f.Others) == 0 ? 1 : 0;
    }
    return n;
  }
  // Whether each side's stream indices follow the timeline without a jump
  // or a repeat from `from` to `to` (positions), at `shift` samples behind it.
  bool Continuous(TSide side, TFramePos from, TFramePos to, TFramePos shift = 0) const {
    for (TFramePos p = from; p < to; ++p) {
      if (At(side, p) != p - shift) {
        return false;
      }
    }
    return true;
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
  EXPECT_TRUE(p.Continuous(TSide::Mic, 0, 1020 * kMs));
  EXPECT_TRUE(p.Continuous(TSide::Others, 0, 1020 * kMs));
  EXPECT_EQ(p.Pairer.LostFrames(), 0U);
}

TEST(SidePairerTest, LateDeliveriesOfAWholeStreamLoseNothing) {
  const struct {
    const char* Proves;
    TFramePos HeldMs;  // nothing arrives for this long, then the backlog at once
    bool BothSides;
  } rows[] = {
      {"a loaded machine: one side 200 ms late", 200, false},
      {"a loaded machine: both sides 200 ms late", 200, true},
      {"the recorder held up for 3 s: the server hands over what it kept", 3000, true},
      {"the recorder held up for 20 s (a server keeps up to 4 MB)", 20000, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Proves);
    TPairerFixture p;
    p.Live(0, 1000);
    const TFramePos resume = 1000 + row.HeldMs;
    // The backlog comes at once, both sides interleaved as the server sent them.
    for (TFramePos t = 1020; t <= resume; t += 20) {
      p.Deliver(TSide::Mic, 20, resume);
      p.Deliver(TSide::Others, 20, row.BothSides ? resume : t + 3);
    }
    p.Live(resume, resume + 1500);
    EXPECT_EQ(p.Pairer.LostFrames(), 0U);
    ASSERT_GE(p.Frames.size(), static_cast<std::size_t>((resume + 1000) * kMs));
    EXPECT_TRUE(p.Continuous(TSide::Mic, 0, (resume + 1000) * kMs)) << "kept its place";
    EXPECT_TRUE(p.Continuous(TSide::Others, 0, (resume + 1000) * kMs));
  }
}

TEST(SidePairerTest, AudioTheServerDroppedForAHeldUpRecorderBecomesCountedSilence) {
  // Held up 20 s: the server kept all of the microphone but only the first
  // 11 s of the other parties, dropped the next 9 s, and goes on with audio
  // as recent as the moment the recorder runs again.
  TPairerFixture p;
  p.Live(0, 1000);
  const TFramePos resume = 21000;
  for (TFramePos t = 1020; t <= resume; t += 20) {
    p.Deliver(TSide::Mic, 20, resume);
    if (t <= 12000) {
      p.Deliver(TSide::Others, 20, resume);
    }
  }
  p.Live(resume, resume + 1500);
  EXPECT_TRUE(p.Continuous(TSide::Mic, 0, 22000 * kMs)) << "nothing lost, nothing moved";
  EXPECT_TRUE(p.Continuous(TSide::Others, 0, 12000 * kMs)) << "what the server kept, in place";
  // The rest is silence up to the moment of the resumption, then audio that
  // was recorded then: the others' stream index 12 s lies at 21 s.
  EXPECT_EQ(p.At(TSide::Others, 12000 * kMs + 1), std::nullopt);
  EXPECT_EQ(p.At(TSide::Others, 20990 * kMs), std::nullopt);
  // A side's first audio after a break can be told apart only to within
  // its delivery delay (here 3 ms).
  const TFramePos shift = p.ShiftAt(TSide::Others, 21100 * kMs);
  EXPECT_NEAR(static_cast<double>(shift), 9000 * kMs, 5 * kMs)
      << "placed by the clock, level with the microphone";
  EXPECT_TRUE(p.Continuous(TSide::Others, 21010 * kMs, 22000 * kMs, shift));
  EXPECT_NEAR(static_cast<double>(p.Pairer.LostFrames()), 9000 * kMs, 10 * kMs);
  EXPECT_EQ(static_cast<double>(p.SilentFrames(TSide::Others)),
            static_cast<double>(p.Pairer.LostFrames()))
      << "counted exactly as the silence put in";
}

TEST(SidePairerTest, ABacklogHandedOverAtThePaceOfTheClockIsLateNotLost) {
  // After a 5 s hold-up, the server hands its backlog over only as fast as
  // the clock goes, so every delivery stays 5 s late for good. Its timing
  // says how old the audio is; without that, the pairer can only take the
  // lag for audio lost.
  for (const bool serverTells : {true, false}) {
    SCOPED_TRACE(serverTells ? "the server tells the audio's age" : "no timing from the server");
    TPairerFixture p;
    for (TFramePos t = 20; t <= 1000; t += 20) {
      p.Deliver(TSide::Mic, 20, t, serverTells ? std::optional<TFramePos>(0) : std::nullopt);
      p.Deliver(TSide::Others, 20, t, serverTells ? std::optional<TFramePos>(0) : std::nullopt);
    }
    for (TFramePos t = 6020; t <= 9000; t += 20) {
      const std::optional<TFramePos> age =
          serverTells ? std::optional<TFramePos>(5000) : std::nullopt;
      p.Deliver(TSide::Mic, 20, t, age);
      p.Deliver(TSide::Others, 20, t, age);
      p.Pairer.Tick(t * kMs);
    }
    if (serverTells) {
      EXPECT_EQ(p.Pairer.LostFrames(), 0U);
      EXPECT_TRUE(p.Continuous(TSide::Mic, 0, 3000 * kMs));
    } else {
      EXPECT_NEAR(static_cast<double>(p.Pairer.LostFrames()), 5000 * kMs, 30 * kMs);
    }
    const TFramePos after = (serverTells ? 3500 : 8000) * kMs;
    ASSERT_TRUE(p.At(TSide::Mic, after));
    EXPECT_EQ(p.At(TSide::Mic, after), p.At(TSide::Others, after))
        << "the sides stay together either way";
  }
}

TEST(SidePairerTest, ASuspendedSideIsFilledAsTheOtherGoesOnAndPutLevelWhenBack) {
  TPairerFixture p;
  p.Live(0, 1000);
  p.Live(1000, 3000, true, false);  // the other side's device is suspended for 2 s
  const TFramePos filled = p.Pairer.Placed(TSide::Others);
  EXPECT_GE(filled, 2600 * kMs) << "filled as time goes by, not waited for";
  p.Live(3000, 4500);
  EXPECT_TRUE(p.Continuous(TSide::Mic, 0, 4000 * kMs));
  EXPECT_TRUE(p.Continuous(TSide::Others, 0, 1000 * kMs));
  EXPECT_EQ(p.At(TSide::Others, 2990 * kMs), std::nullopt);
  EXPECT_TRUE(p.Continuous(TSide::Others, 3005 * kMs, 4000 * kMs, 2000 * kMs))
      << "its new audio lies where it was recorded";
  EXPECT_NEAR(static_cast<double>(p.Pairer.LostFrames()), 2000 * kMs, 10 * kMs);
}

TEST(SidePairerTest, LossesOfTheTwoSidesCountOnceWhenTogetherAndAddUpWhenApart) {
  const struct {
    const char* Proves;
    TFramePos OthersFrom;  // the other side is away 1 s from here; the microphone from 1 s
    double LostSeconds;
  } rows[] = {
      {"the same second: counted once", 1000, 1.0},
      {"different seconds: added up", 3000, 2.0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Proves);
    TPairerFixture p;
    p.Live(0, 1000);
    p.Pairer.SetAbsent(TSide::Mic, true);
    if (row.OthersFrom == 1000) {
      p.Pairer.SetAbsent(TSide::Others, true);
      p.Live(1000, 2000, false, false);
      p.Pairer.Restart(TSide::Others);
      p.Pairer.SetAbsent(TSide::Others, false);
    } else {
      p.Live(1000, 2000, false, true);
    }
    p.Pairer.Restart(TSide::Mic);
    p.Pairer.SetAbsent(TSide::Mic, false);
    p.Live(2000, row.OthersFrom);
    if (row.OthersFrom != 1000) {
      p.Pairer.SetAbsent(TSide::Others, true);
      p.Live(row.OthersFrom, row.OthersFrom + 1000, true, false);
      p.Pairer.Restart(TSide::Others);
      p.Pairer.SetAbsent(TSide::Others, false);
    }
    p.Live(std::max<TFramePos>(row.OthersFrom + 1000, 2000), 6000);
    EXPECT_NEAR(static_cast<double>(p.Pairer.LostFrames()) / kSampleRate, row.LostSeconds, 0.02);
  }
}

TEST(SidePairerTest, ASideWithNoStreamIsFilledWhileTheOtherIsAwayToo) {
  // The sound server went away: no side delivers, and the timeline goes on.
  TPairerFixture p;
  p.Live(0, 1000);
  p.Pairer.SetAbsent(TSide::Mic, true);
  p.Pairer.SetAbsent(TSide::Others, true);
  for (TFramePos t = 1100; t <= 3000; t += 100) {
    p.Pairer.Tick(t * kMs);
  }
  EXPECT_GE(p.Frames.size(), static_cast<std::size_t>(2900 * kMs)) << "the file keeps growing";
  for (const TSide side : {TSide::Mic, TSide::Others}) {
    p.Pairer.Restart(side);
    p.Pairer.SetAbsent(side, false);
  }
  // The server is back; new streams start from index 0 again.
  p.Next[0] = p.Next[1] = 0;
  p.Live(3000, 4500);
  EXPECT_EQ(p.At(TSide::Mic, 3010 * kMs), 10 * kMs) << "placed by the clock";
  EXPECT_EQ(p.At(TSide::Others, 3010 * kMs), p.At(TSide::Mic, 3010 * kMs));
  EXPECT_NEAR(static_cast<double>(p.Pairer.LostFrames()), 2000 * kMs, 10 * kMs);
}

TEST(SidePairerTest, StreamsWithDelaysOfTheirOwnPairAudioCapturedTogether) {
  // PipeWire gives each stream a quantum of its own: one side's audio
  // arrives 30 ms after it was captured, the other's 2 ms, and the server's
  // timing says so. At the start, and with the delays swapped once the
  // server is back after going away, the sides pair what was captured at
  // the same moment; placed by arrival they would stand 28 ms apart.
  TPairerFixture p;
  const auto live = [&p](TFramePos fromMs, TFramePos toMs, TFramePos micMs, TFramePos othersMs) {
    for (TFramePos t = fromMs + 20; t <= toMs; t += 20) {
      p.Deliver(TSide::Mic, 20, t + micMs, micMs);
      p.Deliver(TSide::Others, 20, t + othersMs, othersMs);
      if (t % 100 == 0) {
        p.Pairer.Tick((t + 30) * kMs);
      }
    }
  };
  live(0, 2000, 2, 30);
  EXPECT_EQ(p.At(TSide::Mic, 1000 * kMs), p.At(TSide::Others, 1000 * kMs)) << "from the start";
  for (const TSide side : {TSide::Mic, TSide::Others}) {
    p.Pairer.SetAbsent(side, true);
  }
  for (TFramePos t = 2100; t <= 3000; t += 100) {
    p.Pairer.Tick(t * kMs);
  }
  for (const TSide side : {TSide::Mic, TSide::Others}) {
    p.Pairer.Restart(side);
    p.Pairer.SetAbsent(side, false);
  }
  p.Next[0] = p.Next[1] = 0;
  live(3000, 5000, 30, 2);
  ASSERT_TRUE(p.At(TSide::Mic, 4000 * kMs));
  EXPECT_EQ(p.At(TSide::Mic, 4000 * kMs), p.At(TSide::Others, 4000 * kMs))
      << "after the server came back";
}

TEST(SidePairerTest, ANewSourceIsPlacedByTheClockAndItsGapCounted) {
  // The default output changed: the other side's stream ends at 2 s and a
  // new one, on the new output's monitor, delivers from 2.1 s.
  TPairerFixture p;
  p.Live(0, 2000);
  p.Pairer.Restart(TSide::Others);
  p.Next[1] = 0;
  p.Live(2000, 2100, true, false);
  p.Live(2100, 3500);
  EXPECT_TRUE(p.Continuous(TSide::Mic, 0, 3000 * kMs));
  EXPECT_EQ(p.At(TSide::Others, 2050 * kMs), std::nullopt);
  EXPECT_TRUE(p.Continuous(TSide::Others, 2105 * kMs, 3000 * kMs, 2100 * kMs));
  EXPECT_NEAR(static_cast<double>(p.Pairer.LostFrames()), 100 * kMs, 5 * kMs);
}

TEST(SidePairerTest, AudioAheadOfTheClockIsTrimmedNotCounted) {
  TPairerFixture p;
  // An idle null output hands over two seconds at once, 100 ms into the call.
  p.Deliver(TSide::Others, 2000, 100);
  p.Live(100, 1500);
  ASSERT_GE(p.Frames.size(), static_cast<std::size_t>(1000 * kMs));
  EXPECT_EQ(p.Pairer.LostFrames(), 0U);
  EXPECT_GT(p.Pairer.TrimmedFrames(TSide::Others), static_cast<std::uint64_t>(1800 * kMs));
  EXPECT_TRUE(p.Continuous(TSide::Mic, 100 * kMs, 1000 * kMs, 100 * kMs))
      << "the microphone started at 100 ms";
  EXPECT_EQ(p.At(TSide::Others, 1000 * kMs), p.At(TSide::Others, 1000 * kMs - 1).value_or(-9) + 1)
      << "what follows keeps its order";
}

TEST(SidePairerTest, HolesBecomeCountedSilence) {
  TPairerFixture p;
  p.Live(0, 600);
  p.Pairer.Hole(TSide::Mic, 10 * kMs, 610 * kMs);
  p.Deliver(TSide::Mic, 10, 620);
  p.Live(620, 1200);
  EXPECT_EQ(p.At(TSide::Mic, 605 * kMs), std::nullopt);
  EXPECT_EQ(p.Pairer.LostFrames(), static_cast<std::uint64_t>(10 * kMs));
}

TEST(SidePairerTest, FinishEndsExactlyAtTheStopPaddingShortSidesAndDroppingWhatFollows) {
  TPairerFixture p;
  p.Live(0, 960);
  p.Deliver(TSide::Mic, 40, 1000);  // the other side's last 40 ms are still on their way
  p.Pairer.Finish(980 * kMs);
  ASSERT_EQ(p.Frames.size(), static_cast<std::size_t>(980 * kMs));
  EXPECT_EQ(p.Frames.back().Others, 0.0F) << "padded after its last sample";
  EXPECT_EQ(p.Frames.back().Mic, static_cast<float>(980 * kMs));
  EXPECT_EQ(p.Pairer.LostFrames(), static_cast<std::uint64_t>(20 * kMs));
}

TEST(SidePairerTest, ALimitHoldsBackWhatLiesBeyondItHoweverLateFinishComes) {
  TPairerFixture p;
  p.Pairer.Limit(500 * kMs);
  p.Live(0, 800);
  EXPECT_EQ(p.Frames.size(), static_cast<std::size_t>(500 * kMs));
  p.Pairer.Limit(900 * kMs);
  p.Pairer.Finish(780 * kMs);  // a stop noticed late does not lengthen the recording
  EXPECT_EQ(p.Frames.size(), static_cast<std::size_t>(500 * kMs));
  EXPECT_EQ(p.Pairer.LostFrames(), 0U);
}

TEST(SidePairerTest, ALimitBelowWhatWasEmittedCannotTakeItBack) {
  TPairerFixture p;
  p.Live(0, 600);
  const std::size_t emitted = p.Frames.size();
  ASSERT_GT(emitted, static_cast<std::size_t>(100 * kMs));
  p.Pairer.Limit(50 * kMs);
  p.Live(600, 700);
  p.Pairer.Finish(50 * kMs);
  EXPECT_EQ(p.Frames.size(), emitted);
}

TEST(SidePairerTest, WithoutTheOtherSideTheMicrophoneSetsThePaceAndRightIsSilent) {
  TPairerFixture p(false);
  p.Live(0, 600);
  ASSERT_GE(p.Frames.size(), static_cast<std::size_t>(500 * kMs));
  EXPECT_EQ(p.Frames[5], (TStereoFrame{6.0F, 0.0F}));
  EXPECT_TRUE(p.Continuous(TSide::Mic, 0, 500 * kMs));
  EXPECT_EQ(p.Pairer.LostFrames(), 0U) << "the silent right channel is not audio lost";
}

}  // namespace
}  // namespace recmon
