// The other side mixed from a call program's playback streams: placed by
// arrival, one after another while a stream keeps up, summed, silent where
// nothing plays, and never held up by a stream that stopped.

#include <gtest/gtest.h>

#include "StreamMixer.h"

namespace recmon {
namespace {

constexpr TMixPos kLatency = 100;

std::vector<float> Fragment(std::size_t frames, float value) {
  return std::vector<float>(frames, value);
}

// Runs of equal samples, as "value x count", so a table can say what came out.
std::vector<std::pair<float, std::size_t>> Runs(const std::vector<float>& samples) {
  std::vector<std::pair<float, std::size_t>> runs;
  for (const float s : samples) {
    if (runs.empty() || runs.back().first != s) {
      runs.emplace_back(s, 0);
    }
    ++runs.back().second;
  }
  return runs;
}

using TRuns = std::vector<std::pair<float, std::size_t>>;

TEST(StreamMixerTest, OneStreamKeepsItsSamplesInOrderAtItsArrival) {
  TStreamMixer mixer(kLatency);
  std::vector<float> out;
  mixer.Add(1, Fragment(50, 0.5f), 250);   // ends at 250: placed at 200..250
  mixer.Add(1, Fragment(50, 0.25f), 310);  // jitter of 10: still right after
  mixer.Take(400, out);
  EXPECT_EQ(Runs(out), (TRuns{{0.0f, 200}, {0.5f, 50}, {0.25f, 50}}));
  EXPECT_EQ(mixer.Emitted(), 300);
}

TEST(StreamMixerTest, StreamsAreSummedAndLimitedToFullScale) {
  TStreamMixer mixer(kLatency);
  std::vector<float> out;
  mixer.Add(1, Fragment(100, 0.25f), 100);
  mixer.Add(2, Fragment(100, 0.5f), 100);
  mixer.Add(1, Fragment(100, 0.75f), 200);
  mixer.Add(2, Fragment(100, 0.5f), 200);
  mixer.Take(300, out);
  EXPECT_EQ(Runs(out), (TRuns{{0.75f, 100}, {1.0f, 100}}));
}

TEST(StreamMixerTest, SilenceGoesOnWhileNothingPlays) {
  TStreamMixer mixer(kLatency);
  std::vector<float> out;
  mixer.Take(1000, out);
  EXPECT_EQ(Runs(out), (TRuns{{0.0f, 900}}));
  mixer.Take(950, out);
  EXPECT_EQ(out.size(), 900U) << "the clock going back gives nothing";
}

TEST(StreamMixerTest, AStreamThatPausedIsPlacedAnewWhenItResumes) {
  TStreamMixer mixer(kLatency);
  std::vector<float> out;
  mixer.Add(1, Fragment(100, 0.5f), 100);
  mixer.Take(2000, out);  // paused for a long while: the side goes on silent
  mixer.Add(1, Fragment(100, 0.25f), 20000);
  mixer.Take(20100, out);
  EXPECT_EQ(Runs(out), (TRuns{{0.5f, 100}, {0.0f, 19800}, {0.25f, 100}}))
      << "at its arrival, not right after its last sample";
  EXPECT_EQ(mixer.Late(), 0U);
}

TEST(StreamMixerTest, WhatComesAfterItsTimeIsLeftOutAndCounted) {
  TStreamMixer mixer(kLatency);
  std::vector<float> out;
  mixer.Add(1, Fragment(100, 0.5f), 100);
  mixer.Take(250, out);                     // emitted up to 150
  mixer.Add(1, Fragment(100, 0.25f), 200);  // belongs at 100..200: half already out
  mixer.Take(300, out);
  EXPECT_EQ(Runs(out), (TRuns{{0.5f, 100}, {0.0f, 50}, {0.25f, 50}}));
  EXPECT_EQ(mixer.Late(), 50U);
}

TEST(StreamMixerTest, AStreamRemovedAndBackUnderItsNumberStartsAfresh) {
  TStreamMixer mixer(kLatency);
  std::vector<float> out;
  mixer.Add(7, Fragment(100, 0.5f), 100);
  mixer.Remove(7);
  mixer.Add(7, Fragment(100, 0.25f), 1000);
  mixer.Take(1100, out);
  EXPECT_EQ(Runs(out), (TRuns{{0.5f, 100}, {0.0f, 800}, {0.25f, 100}}));
}

}  // namespace
}  // namespace recmon
