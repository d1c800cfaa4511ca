// The recording file through libsndfile: each format reads back as written;
// the file is the user's alone and never replaces anything; and whenever the
// program could be killed, or when the disk fills, a reader finds at least
// what Durable() says the file holds, and not much more.

#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "CallFile.h"
#include "SoundFile.h"

namespace recmon {
namespace {

namespace fs = std::filesystem;

class SoundFileTest : public ::testing::Test {
 protected:
  SoundFileTest() {
    char pattern[] = "/tmp/recmon-soundfile-XXXXXX";
    Dir = ::mkdtemp(pattern);
  }
  ~SoundFileTest() override { fs::remove_all(Dir); }
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
  bool Opened = false;
};

// What a reader finds: the length the file states and every frame it decodes.
TReadBack ReadBack(const std::string& path) {
  TReadBack r;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &r.Info);
  if (f == nullptr) {
    return r;
  }
  r.Opened = true;
  std::vector<float> chunk(4096 * 2);
  for (sf_count_t n; (n = sf_readf_float(f, chunk.data(), 4096)) > 0;) {
    r.Samples.insert(r.Samples.end(), chunk.begin(), chunk.begin() + n * 2);
  }
  sf_close(f);
  return r;
}

const char* const kNames[] = {"c.wav", "c.flac", "c.opus"};

TEST_F(SoundFileTest, EveryFormatReadsBackAsStereoWithTheSidesApart) {
  for (const char* name : {"c.wav", "c.flac", "c.ogg", "c.opus"}) {
    SCOPED_TRACE(name);
    const std::string path = Dir + "/" + name;
    {
      TSoundFile file(path, CallFileFormat(path));
      file.Write(ToneSecond());
      file.Close();
      EXPECT_NEAR(static_cast<double>(file.Durable()), kSampleRate, 1000);
    }
    const TReadBack r = ReadBack(path);
    ASSERT_TRUE(r.Opened) << sf_strerror(nullptr);
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
  std::ifstream wav(Dir + "/c.wav", std::ios::binary);
  char magic[4]{};
  wav.read(magic, 4);
  EXPECT_EQ(std::string(magic, 4), "RIFF") << "a WAV file below 4 GB stays a plain WAV file";
}

TEST_F(SoundFileTest, TheFileIsPrivateAndNothingThereIsEverReplacedOrFollowed) {
  const std::string path = Dir + "/call.wav";
  { TSoundFile file(path, CallFileFormat(path)); }
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);

  const std::string earlier = Dir + "/earlier.wav";
  std::ofstream(earlier) << "an earlier call";
  const std::string target = Dir + "/target.wav";
  std::ofstream(target) << "someone else's file";
  fs::create_symlink(target, Dir + "/link.wav");
  fs::create_symlink(Dir + "/nowhere.wav", Dir + "/dangling.wav");
  for (const std::string name : {"earlier.wav", "link.wav", "dangling.wav"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(TSoundFile(Dir + "/" + name, CallFileFormat(name)), TFileExistsError);
  }
  std::ifstream in(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "someone else's file");
  EXPECT_FALSE(fs::exists(Dir + "/nowhere.wav")) << "no file made through the dangling link";
}

TEST_F(SoundFileTest, AKilledRecorderLeavesWhatDurableSaidEvenBeforeTheFileIsClosed) {
  for (const char* name : kNames) {
    SCOPED_TRACE(name);
    const std::string path = Dir + "/" + name;
    TSoundFile file(path, CallFileFormat(path));
    const std::vector<TStereoFrame> tone = ToneSecond();
    std::uint64_t lastDurable = 0;
    for (int step = 0; step < 12; ++step) {
      // Quarter seconds, with a checkpoint now and then, as the writer does.
      file.Write(std::span(tone).subspan(static_cast<std::size_t>(step % 4) * kSampleRate / 4,
                                         kSampleRate / 4));
      if (step % 3 == 2) {
        file.Checkpoint();
      }
      // A kill now leaves the file as it is on disk.
      const std::string copy = Dir + "/copy-" + name;
      fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
      const TReadBack r = ReadBack(copy);
      const std::uint64_t durable = file.Durable();
      EXPECT_GE(durable, lastDurable);
      lastDurable = durable;
      if (durable == 0) {
        continue;  // nothing promised yet
      }
      ASSERT_TRUE(r.Opened) << "after " << step << " steps";
      EXPECT_GE(r.Info.frames, static_cast<sf_count_t>(durable)) << "its length says so";
      EXPECT_GE(r.Samples.size() / 2, durable) << "and it decodes that far";
      // Behind by at most a checkpoint's worth, or an Ogg page.
      EXPECT_LE(r.Samples.size() / 2, durable + 3 * kSampleRate / 4 + kSampleRate / 4);
    }
    EXPECT_GT(lastDurable, kSampleRate * 2) << "it grew while recording";
    file.Close();
  }
}

// Writes tone seconds to `path` in a child process whose files may not grow
// beyond `limit` bytes, as on a full disk; returns Durable() after Close.
std::uint64_t FillDisk(const std::string& path, rlim_t limit) {
  int pipeFds[2];
  EXPECT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit fsize{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &fsize);
    std::uint64_t durable = 0;
    bool failed = false;
    try {
      TSoundFile file(path, CallFileFormat(path));
      try {
        for (int i = 0; i < 60; ++i) {
          file.Write(ToneSecond());
          file.Checkpoint();
        }
      } catch (const std::runtime_error&) {
        failed = true;
      }
      file.Close();
      durable = failed ? file.Durable() : 0;
    } catch (const std::exception&) {
    }
    const ssize_t sent = ::write(pipeFds[1], &durable, sizeof durable);
    ::_exit(sent == static_cast<ssize_t>(sizeof durable) ? 0 : 1);
  }
  ::close(pipeFds[1]);
  std::uint64_t durable = 0;
  EXPECT_EQ(::read(pipeFds[0], &durable, sizeof durable), static_cast<ssize_t>(sizeof durable));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return durable;
}

TEST_F(SoundFileTest, AFullDiskLeavesAWholeFileThatSaysHowLongItIs) {
  for (const char* name : kNames) {
    SCOPED_TRACE(name);
    const std::string path = Dir + "/" + name;
    const std::uint64_t durable = FillDisk(path, 300000);
    ASSERT_GT(durable, 0U) << "the write failed, and the file kept what was whole";
    const TReadBack r = ReadBack(path);
    ASSERT_TRUE(r.Opened);
    EXPECT_EQ(r.Info.frames, static_cast<sf_count_t>(durable)) << "its length is what it holds";
    EXPECT_EQ(r.Samples.size() / 2, durable) << "and all of it decodes";
    EXPECT_LE(fs::file_size(path), 300000U);
  }
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
  try {
    TSoundFile file(Dir + "/line\nbreak.wav", CallFileFormat("c.wav"));
    TSoundFile again(Dir + "/line\nbreak.wav", CallFileFormat("c.wav"));
    ADD_FAILURE() << "created twice";
  } catch (const TFileExistsError& e) {
    EXPECT_NE(std::string(e.what()).find(Dir + "/line\\nbreak.wav already exists"),
              std::string::npos)
        << "a newline in the name is shown, not printed: " << e.what();
  }
}

}  // namespace
}  // namespace recmon
