// Meter levels, the noise floor that biases them, and the downmix.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "CaptureSink.h"
#include "Levels.h"

namespace recmon {
namespace {

// The RMS of a sine of this peak amplitude.
double SineRms(double amplitude) {
  return amplitude / std::numbers::sqrt2;
}

double DbToAmplitude(double db) {
  return std::pow(10.0, db / 20);
}

// The monitor's bar for a net level: 15 pixels, full at 0.5.
int BarPixels(double net) {
  const double rounded = std::nearbyint(15 * net);
  return std::clamp(2 * static_cast<int>(rounded), 0, 15);
}

TEST(LevelsTest, MappingFromSoundToBar) {
  const struct {
    const char* Proves;
    double Rms;
    double Level;
  } rows[] = {
      {"digital silence is an empty bar", 0, 0},
      {"at the floor still empty", SineRms(DbToAmplitude(-54)), 0},
      {"below the floor clamps to zero", SineRms(DbToAmplitude(-80)), 0},
      {"a -6 dBFS tone reads 0.6", SineRms(DbToAmplitude(-6)), 0.6},
      {"speech at -25 dBFS about a third", SineRms(DbToAmplitude(-25)), 0.3625},
      {"halfway in dB, halfway to 0.6", SineRms(DbToAmplitude(-30)), 0.3},
      {"far beyond full scale clamps at 1", 100.0, 1.0},
  };
  for (const auto& row : rows) {
    EXPECT_NEAR(MeterLevel(row.Rms), row.Level, 1e-9) << row.Proves;
  }
}

TEST(LevelsTest, BarsAsTheMonitorDrawsThem) {
  // A tone of half full scale fills the bar even after the largest bias.
  EXPECT_EQ(BarPixels(MeterLevel(SineRms(0.5)) - kMaxBias), 15);
  EXPECT_EQ(BarPixels(MeterLevel(SineRms(0.5))), 15);
  // Normal speech fills it partly, quiet speech less.
  const int speech = BarPixels(MeterLevel(SineRms(DbToAmplitude(-25))));
  const int quiet = BarPixels(MeterLevel(SineRms(DbToAmplitude(-40))));
  EXPECT_GT(speech, 4);
  EXPECT_LT(speech, 15);
  EXPECT_GT(quiet, 0);
  EXPECT_LT(quiet, speech);
}

TEST(LevelsTest, NoiseFloorIsTheQuietestRecentWindowAtMostTheCap) {
  TNoiseFloor floor(5);  // five windows a slot, ten slots
  EXPECT_DOUBLE_EQ(floor.Add(0.05), 0.05) << "the first window is all there is";
  EXPECT_DOUBLE_EQ(floor.Add(0.4), 0.05) << "speech does not raise it";
  EXPECT_DOUBLE_EQ(floor.Add(0.03), 0.03) << "a quieter pause lowers it";
  // Ten seconds of steady speech: the pause falls out of the window, and the
  // estimate stops at the cap instead of swallowing the speech.
  double bias = 0;
  for (int i = 0; i < 5 * 11; ++i) {
    bias = floor.Add(0.4);
  }
  EXPECT_DOUBLE_EQ(bias, kMaxBias);
  // Noise at 0.08 for a few seconds: the estimate follows it down again.
  for (int i = 0; i < 5 * 3; ++i) {
    bias = floor.Add(0.08);
  }
  EXPECT_DOUBLE_EQ(bias, 0.08);
}

TEST(LevelsTest, WindowAveragesPowerUntilTakenThenStartsAfresh) {
  TLevelWindow window;
  const std::vector<float> loud(100, 0.5F);
  const std::vector<float> quiet(300, 0.0F);
  EXPECT_DOUBLE_EQ(window.Add(loud), 0.5);
  EXPECT_DOUBLE_EQ(window.Add(quiet), 0.0);
  EXPECT_NEAR(window.Take(), std::sqrt(0.25 * 100 / 400), 1e-12);
  EXPECT_EQ(window.Take(), 0.0) << "nothing came since";
}

TEST(LevelsTest, DownmixWeightsFollowTheSpeakers) {
  using enum TSpeaker;
  const struct {
    const char* Proves;
    std::vector<TSpeaker> Layout;
    unsigned Channels;
    std::vector<float> Weights;
  } rows[] = {
      {"mono as it is", {Mono}, 1, {1.0F}},
      {"a stereo pair averaged: a sound on both keeps its level",
       {FrontLeft, FrontRight},
       2,
       {0.5F, 0.5F}},
      {"5.1: the centre at its level, surrounds 3 dB down, no LFE",
       {FrontLeft, FrontRight, FrontCenter, Lfe, Surround, Surround},
       6,
       {0.5F, 0.5F, 1.0F, 0.0F, 0.35355339F, 0.35355339F}},
      {"an unknown layout: every channel alike", {}, 4, {0.25F, 0.25F, 0.25F, 0.25F}},
      {"auxiliary channels: every channel alike", {FrontLeft, Other}, 2, {0.5F, 0.5F}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Proves);
    const std::vector<float> weights = DownmixWeights(row.Layout, row.Channels);
    ASSERT_EQ(weights.size(), row.Weights.size());
    for (std::size_t i = 0; i < weights.size(); ++i) {
      EXPECT_FLOAT_EQ(weights[i], row.Weights[i]) << i;
    }
  }
}

TEST(LevelsTest, SpeechInTheCentreOfASurroundOutputKeepsItsLevel) {
  using enum TSpeaker;
  const std::vector<float> weights =
      DownmixWeights(std::vector{FrontLeft, FrontRight, FrontCenter, Lfe, Surround, Surround}, 6);
  std::vector<float> interleaved;
  for (int i = 0; i < 4800; ++i) {
    const auto v = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 440 * i / 48000.0));
    interleaved.insert(interleaved.end(), {0, 0, v, 0.3F, 0, 0});  // the LFE rumbles
  }
  std::vector<float> mono;
  DownmixToMono(interleaved, weights, mono);
  ASSERT_EQ(mono.size(), 4800U);
  double sum = 0;
  for (const float v : mono) {
    sum += static_cast<double>(v) * v;
  }
  EXPECT_NEAR(std::sqrt(sum / 4800), SineRms(0.5), 0.001);
  DownmixToMono(std::vector<float>{0.1F, 0.2F}, std::vector<float>{1.0F}, mono);
  EXPECT_EQ(mono, (std::vector<float>{0.1F, 0.2F})) << "mono passes as it is";
}

}  // namespace
}  // namespace recmon
