// The recording file through libsndfile: each format reads back as written,
// and a WAV file is playable up to its last checkpoint while still open, as
// it would be after the recorder was killed.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "CallFile.h"
#include "SoundFile.h"

namespace recmon {
namespace {

class SoundFileTest : public ::testing::Test {
 protected:
  SoundFileTest() {
    char pattern[] = "/tmp/recmon-soundfile-XXXXXX";
    Dir = ::mkdtemp(pattern);
  }
  ~SoundFileTest() override { std::filesystem::remove_all(Dir); }
  std::string Dir;
};

float Sine(double hz, std::size_t i) {
  return static_cast<float>(std::sin(2 * M_PI * hz * static_cast<double>(i) / kSampleRate));
}

// A second of 440 Hz at half scale on the left, 1 kHz at a quarter on the right.
std::vector<TStereoFrame> ToneSecond() {
  std::vector<TStereoFrame> frames(kSampleRate);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    frames[i] = {0.5F * Sine(440, i), 0.25F * Sine(1000, i)};
  }
  return frames;
}

struct TReadBack {
  SF_INFO Info{};
  std::vector<float> Samples;
};

TReadBack ReadBack(const std::string& path) {
  TReadBack r;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &r.Info);
  if (f == nullptr) {
    ADD_FAILURE() << "cannot read " << path << ": " << sf_strerror(nullptr);
    return r;
  }
  r.Samples.resize(static_cast<std::size_t>(r.Info.frames * r.Info.channels));
  r.Samples.resize(static_cast<std::size_t>(sf_readf_float(f, r.Samples.data(), r.Info.frames) *
                                            r.Info.channels));
  sf_close(f);
  return r;
}

TEST_F(SoundFileTest, EveryFormatReadsBackAsStereoWithTheSidesApart) {
  for (const char* name : {"c.wav", "c.flac", "c.ogg", "c.opus"}) {
    SCOPED_TRACE(name);
    const std::string path = Dir + "/" + name;
    {
      TSoundFile file(path, CallFileFormat(path));
      file.Write(ToneSecond());
      file.Close();
    }
    const TReadBack r = ReadBack(path);
    EXPECT_EQ(r.Info.channels, 2);
    EXPECT_EQ(r.Info.samplerate, 48000);
    // Opus adds a little padding; all formats hold the second.
    EXPECT_NEAR(static_cast<double>(r.Info.frames), kSampleRate, 1000);
    double left = 0;
    double right = 0;
    const std::size_t frames = r.Samples.size() / 2;
    for (std::size_t i = frames / 4; i < frames * 3 / 4; ++i) {
      left += r.Samples[2 * i] * r.Samples[2 * i];
      right += r.Samples[2 * i + 1] * r.Samples[2 * i + 1];
    }
    EXPECT_NEAR(std::sqrt(left / static_cast<double>(frames / 2)), 0.5 / std::sqrt(2), 0.02);
    EXPECT_NEAR(std::sqrt(right / static_cast<double>(frames / 2)), 0.25 / std::sqrt(2), 0.02);
  }
}

TEST_F(SoundFileTest, AnOpenWavFileIsPlayableUpToItsLastCheckpoint) {
  const std::string path = Dir + "/open.wav";
  TSoundFile file(path, CallFileFormat(path));
  file.Write(ToneSecond());
  file.Write(ToneSecond());
  file.Checkpoint();
  file.Write(ToneSecond());  // not yet in the header
  EXPECT_EQ(ReadBack(path).Info.frames, 2 * static_cast<sf_count_t>(kSampleRate));
  file.Close();
  EXPECT_EQ(ReadBack(path).Info.frames, 3 * static_cast<sf_count_t>(kSampleRate));
}

TEST_F(SoundFileTest, FailuresNameTheFile) {
  try {
    TSoundFile file(Dir + "/no/such/folder/c.wav", CallFileFormat("c.wav"));
    ADD_FAILURE() << "created";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("cannot create " + Dir + "/no/such/folder/c.wav"),
              std::string::npos)
        << e.what();
  }
  TSoundFile full("/dev/full", CallFileFormat("x.flac"));
  std::string message;
  try {
    // FLAC buffers; enough audio forces a write to the full device.
    for (int i = 0; i < 20; ++i) {
      full.Write(ToneSecond());
    }
    full.Close();
  } catch (const std::runtime_error& e) {
    message = e.what();
  }
  EXPECT_NE(message.find("/dev/full"), std::string::npos) << message;
}

}  // namespace
}  // namespace recmon
