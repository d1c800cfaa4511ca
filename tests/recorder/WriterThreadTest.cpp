// The writer thread against sinks that are slow or fail: capture never waits,
// and every frame captured is either written, in order, or counted as dropped.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "WriterThread.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;

// A disk that takes `slowness` times real time for what it writes.
class TSlowSink final : public IFrameSink {
 public:
  explicit TSlowSink(double slowness) : Slowness_(slowness) {}
  void Write(std::span<const TStereoFrame> frames) override {
    std::this_thread::sleep_for(std::chrono::duration<double>(
        Slowness_ * static_cast<double>(frames.size()) / kSampleRate));
    const std::lock_guard lock(Mutex_);
    for (const TStereoFrame& f : frames) {
      Values.push_back(f.Mic);
    }
  }
  void Checkpoint() override {
    const std::lock_guard lock(Mutex_);
    ++Checkpoints;
    Checkpointed = Values.size();
  }
  void Sync() override {}
  std::uint64_t Durable() const override { return Checkpointed; }
  std::vector<float> Values;
  int Checkpoints = 0;
  std::uint64_t Checkpointed = 0;

 private:
  double Slowness_;
  std::mutex Mutex_;
};

// Plays capture: 10 ms fragments of numbered frames at real-time pace.
void Capture(TFrameRing& ring, std::chrono::milliseconds length, float& next) {
  const auto start = std::chrono::steady_clock::now();
  for (int fragment = 0; std::chrono::steady_clock::now() - start < length; ++fragment) {
    std::vector<TStereoFrame> frames(kSampleRate / 100);
    for (TStereoFrame& f : frames) {
      f.Mic = next++;
    }
    ring.Offer(frames);
    std::this_thread::sleep_until(start + (fragment + 1) * 10ms);
  }
}

TEST(WriterThreadTest, ASlowDiskFillsTheBufferAndTheOverflowIsCountedNotWaitedFor) {
  TFrameRing ring(kSampleRate / 10);  // 100 ms
  TSlowSink sink(3.0);                // a third of real time
  float next = 0;
  {
    TWriterThread writer(ring, sink);
    Capture(ring, 600ms, next);
    writer.Finish();
    EXPECT_FALSE(writer.Failure());
    EXPECT_GT(ring.Refused(), 0U) << "the buffer overflowed";
    EXPECT_EQ(ring.Offered(), writer.Written() + ring.Refused()) << "captured = written + dropped";
    EXPECT_EQ(sink.Values.size(), writer.Written());
  }
  EXPECT_EQ(ring.Offered(), static_cast<std::uint64_t>(next));
  bool increasing = true;
  for (std::size_t i = 1; i < sink.Values.size(); ++i) {
    increasing = increasing && sink.Values[i] > sink.Values[i - 1];
  }
  EXPECT_TRUE(increasing) << "what is written keeps its order; only whole runs are missing";
  EXPECT_EQ(ring.PeakFill(), ring.Capacity());
}

TEST(WriterThreadTest, AFastEnoughDiskGetsEverythingAndCheckpointsWhileRunning) {
  TFrameRing ring(kSampleRate);
  TSlowSink sink(0.1);
  float next = 0;
  TWriterThread writer(ring, sink);
  Capture(ring, 1200ms, next);
  const int checkpointsWhileRunning = [&] {
    std::this_thread::sleep_for(50ms);
    return sink.Checkpoints;
  }();
  const std::uint64_t durableWhileRunning = writer.Durable();
  EXPECT_GT(durableWhileRunning, 0U) << "what the file holds is published while recording";
  EXPECT_LE(durableWhileRunning, writer.Written()) << "never more than was written";
  writer.Finish();
  EXPECT_EQ(writer.Durable(), static_cast<std::uint64_t>(next)) << "all of it once finished";
  EXPECT_EQ(ring.Refused(), 0U);
  EXPECT_EQ(writer.Written(), static_cast<std::uint64_t>(next)) << "Finish writes the rest";
  EXPECT_GE(checkpointsWhileRunning, 1) << "the header is brought up to date while recording";
  EXPECT_GT(sink.Checkpoints, checkpointsWhileRunning) << "and once more at the end";
}

class TFailingSink final : public IFrameSink {
 public:
  void Write(std::span<const TStereoFrame> frames) override {
    Written += frames.size();
    if (Written > kSampleRate / 10) {
      throw std::runtime_error("writing /x.wav failed: No space left on device");
    }
  }
  void Checkpoint() override {}
  void Sync() override {}
  std::uint64_t Durable() const override { return 0; }
  std::size_t Written = 0;
};

TEST(WriterThreadTest, AWriteErrorStopsTheWriterAndIsReportedOnce) {
  TFrameRing ring(kSampleRate / 10);
  TFailingSink sink;
  float next = 0;
  TWriterThread writer(ring, sink);
  Capture(ring, 400ms, next);
  writer.Finish();
  ASSERT_TRUE(writer.Failure());
  EXPECT_EQ(*writer.Failure(), "writing /x.wav failed: No space left on device");
  EXPECT_GT(ring.Refused(), 0U) << "capture went on, refusing what no longer fit";
}

}  // namespace
}  // namespace recmon
