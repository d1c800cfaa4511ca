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

}  // namespace
}  // namespace recmon
