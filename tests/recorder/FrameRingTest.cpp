// The bounded buffer: order, wrap-around, refusal when full, and a real
// producer and consumer on two threads.

#include <gtest/gtest.h>

#include <thread>

#include "FrameRing.h"

namespace recmon {
namespace {

std::vector<TStereoFrame> Numbered(int from, int count) {
  std::vector<TStereoFrame> frames;
  for (int i = from; i < from + count; ++i) {
    frames.push_back({static_cast<float>(i), static_cast<float>(-i)});
  }
  return frames;
}

TEST(FrameRingTest, KeepsOrderAcrossTheWrap) {
  TFrameRing ring(5);
  std::vector<TStereoFrame> out(5);
  EXPECT_EQ(ring.Offer(Numbered(0, 4)), 4U);
  EXPECT_EQ(ring.Take(std::span(out).first(3)), 3U);
  EXPECT_EQ(ring.Offer(Numbered(4, 4)), 4U);  // wraps round the end
  EXPECT_EQ(ring.Fill(), 5U);
  ASSERT_EQ(ring.Take(out), 5U);
  EXPECT_EQ(out, Numbered(3, 5));
  EXPECT_EQ(ring.Fill(), 0U);
}

TEST(FrameRingTest, RefusesWhatDoesNotFitAndCountsIt) {
  TFrameRing ring(4);
  EXPECT_EQ(ring.Offer(Numbered(0, 3)), 3U);
  EXPECT_EQ(ring.Offer(Numbered(3, 3)), 1U) << "only the leading frame fits";
  EXPECT_EQ(ring.Offer(Numbered(6, 2)), 0U);
  EXPECT_EQ(ring.Offered(), 8U);
  EXPECT_EQ(ring.Refused(), 4U);
  EXPECT_EQ(ring.PeakFill(), 4U);
  std::vector<TStereoFrame> out(4);
  ASSERT_EQ(ring.Take(out), 4U);
  EXPECT_EQ(out, Numbered(0, 4)) << "the oldest frames are kept, later ones refused";
}

TEST(FrameRingTest, TwoThreadsLoseNothingWhenTheConsumerKeepsUp) {
  TFrameRing ring(64);
  constexpr int kFrames = 200000;
  std::thread producer([&] {
    for (int next = 0; next < kFrames;) {
      const auto batch = Numbered(next, std::min(7, kFrames - next));
      next += static_cast<int>(ring.Offer(batch));
    }
  });
  std::vector<TStereoFrame> out(13);
  int expected = 0;
  bool inOrder = true;
  while (expected < kFrames) {
    const std::size_t got = ring.Take(out);
    for (std::size_t i = 0; i < got; ++i, ++expected) {
      inOrder = inOrder &&
                out[i] == TStereoFrame{static_cast<float>(expected), static_cast<float>(-expected)};
    }
  }
  producer.join();
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(ring.Offered() - ring.Refused(), static_cast<std::uint64_t>(kFrames));
}

TEST(FrameRingTest, ALargeRingHoldsMemoryOnlyForWhatItHolds) {
  // Thirty seconds of room (11.5 MB), cycled through twice while it never
  // holds more than a quarter second, as in an ordinary recording.
  TFrameRing ring(30 * kSampleRate);
  std::vector<TStereoFrame> out(kSampleRate / 4);
  int next = 0;
  for (int i = 0; i < 240; ++i) {
    ring.Offer(Numbered(next, kSampleRate / 4));
    next += kSampleRate / 4;
    ring.Take(out);
  }
  EXPECT_LT(ring.ResidentBytes(), 256U << 10U) << "emptied pages go back to the system";
  // A burst fills it far and is still taken whole and in order afterwards.
  const int burst = next;
  for (int i = 0; i < 80; ++i) {
    ASSERT_EQ(ring.Offer(Numbered(next, kSampleRate / 4)), kSampleRate / 4);
    next += kSampleRate / 4;
  }
  bool inOrder = true;
  for (int expected = burst; expected < next;) {
    const std::size_t got = ring.Take(out);
    ASSERT_GT(got, 0U);
    for (std::size_t i = 0; i < got; ++i, ++expected) {
      inOrder = inOrder && out[i].Mic == static_cast<float>(expected);
    }
  }
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(ring.Refused(), 0U);
}

TEST(FrameRingTest, TwoThreadsLoseNothingInARingThatHandsPagesBack) {
  TFrameRing ring(64 * 1024);  // large enough to hand pages back
  constexpr int kFrames = 3'000'000;
  std::thread producer([&] {
    for (int next = 0; next < kFrames;) {
      const auto batch = Numbered(next, std::min(960, kFrames - next));
      next += static_cast<int>(ring.Offer(batch));
    }
  });
  std::vector<TStereoFrame> out(1000);
  int expected = 0;
  bool inOrder = true;
  while (expected < kFrames) {
    const std::size_t got = ring.Take(out);
    for (std::size_t i = 0; i < got; ++i, ++expected) {
      inOrder = inOrder &&
                out[i] == TStereoFrame{static_cast<float>(expected), static_cast<float>(-expected)};
    }
  }
  producer.join();
  EXPECT_TRUE(inOrder) << "no frame of the producer's was dropped with a page";
}

}  // namespace
}  // namespace recmon
