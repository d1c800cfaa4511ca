// The record the recorder publishes, and what happens when a publish is skipped.

#include <gtest/gtest.h>

#include "StatusPublisher.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;

TRecordingFigures Typical() {
  TRecordingFigures f;
  f.FileName = "/home/u/Music/Calls/call-2024-03-07-090501.wav";
  f.Recording = true;
  f.StartTime = 45000.25;
  f.FramesWritten = 90 * 48000;
  f.WrittenAt = 45000.26;
  f.BufferCapacity = 96000;
  f.BufferFill = 4800;
  f.DroppedByWriter = 48000;
  f.LostAtServer = 24000;
  f.MyLevel = 0.3;
  f.MyLevelBias = 0.02;
  f.TheirLevel = 0.1;
  f.TheirLevelBias = 0.01;
  f.TheirLastSoundTick = 123456;
  return f;
}

TEST(StatusPublisherTest, RecordCarriesTheFiguresInTheMonitorsUnits) {
  const TRecMonSnapshot s = SnapshotOf(Typical());
  EXPECT_EQ(s.Magic, RecMonStatusMagic);
  EXPECT_EQ(s.FileName, "/home/u/Music/Calls/call-2024-03-07-090501.wav");
  EXPECT_TRUE(s.Recording);
  EXPECT_EQ(s.BytesRecorded, 90U * AudioBytesPerSecond) << "seconds in the file x 95232";
  EXPECT_EQ(s.LastUpdateTime, 45000.26);
  EXPECT_EQ(s.StartTime, 45000.25);
  EXPECT_EQ(s.BufferSize, 96000);
  EXPECT_EQ(s.BufferFree, 91200);
  EXPECT_EQ(s.BytesDropped1, AudioBytesPerSecond) << "one second: writing fell behind";
  EXPECT_EQ(s.BytesDropped2, AudioBytesPerSecond / 2) << "half a second: lost at the server";
  EXPECT_EQ(s.BytesDropped, AudioBytesPerSecond * 3 / 2) << "the total is their sum";
  EXPECT_EQ(s.MyLevel, 0.3);
  EXPECT_EQ(s.MyLevelBias, 0.02);
  EXPECT_EQ(s.TheirLevel, 0.1);
  EXPECT_EQ(s.TheirLevelBias, 0.01);
  EXPECT_EQ(s.TheirLastSoundTick, 123456U);
  EXPECT_EQ(s.TheirRecordMode, TheirRecordModeRecorded);
}

TEST(StatusPublisherTest, MicrophoneOnlyIsRecordMode1) {
  TRecordingFigures f = Typical();
  f.WithOthers = false;
  EXPECT_EQ(SnapshotOf(f).TheirRecordMode, TheirRecordModeNotRecorded);
  EXPECT_EQ(TheirRecordModeNotRecorded, 1);
}

TEST(StatusPublisherTest, ByteCountsWrapAt32BitsLikeTheRecordsCounters) {
  TRecordingFigures f = Typical();
  // 45100 s is just past 2^32 bytes at 95232 a second.
  f.FramesWritten = 45100ULL * 48000;
  EXPECT_EQ(SnapshotOf(f).BytesRecorded,
            static_cast<std::uint32_t>(45100ULL * AudioBytesPerSecond));
}

class TFakePublisher final : public IStatusPublisher {
 public:
  bool Publish(const TRecMonSnapshot& status) override {
    Seen.push_back(status);
    return Answers.empty() ? true : [&] {
      const bool a = Answers.front();
      Answers.erase(Answers.begin());
      return a;
    }();
  }
  std::vector<bool> Answers;
  std::vector<TRecMonSnapshot> Seen;
};

TEST(StatusPublisherTest, SkippedPublishesAreCountedAndNotRetriedWhileRecording) {
  TFakePublisher fake;
  fake.Answers = {true, false, true};
  TStatusPublishing publishing(&fake);
  for (int i = 0; i < 3; ++i) {
    publishing.Publish(Typical());
  }
  EXPECT_EQ(publishing.Published(), 2U);
  EXPECT_EQ(publishing.Skipped(), 1U);
  EXPECT_EQ(fake.Seen.size(), 3U) << "a skip is not tried again";
}

TEST(StatusPublisherTest, TheFinalRecordIsTriedUntilItGetsThrough) {
  TFakePublisher fake;
  fake.Answers = {false, false, true};
  TStatusPublishing publishing(&fake);
  TRecordingFigures last = Typical();
  last.Recording = false;
  EXPECT_TRUE(publishing.PublishFinal(last, 1000ms));
  EXPECT_EQ(fake.Seen.size(), 3U);
  EXPECT_FALSE(fake.Seen.back().Recording);
  EXPECT_EQ(publishing.Skipped(), 2U);
  fake.Answers.assign(100, false);
  fake.Seen.clear();
  EXPECT_FALSE(publishing.PublishFinal(last, 120ms)) << "but not for ever";
  EXPECT_LE(fake.Seen.size(), 3U) << "tried at 0, 50 and 100 ms at the most";
}

TEST(StatusPublisherTest, WithoutAChannelNothingIsCounted) {
  TStatusPublishing publishing(nullptr);
  publishing.Publish(Typical());
  EXPECT_TRUE(publishing.PublishFinal(Typical()));
  EXPECT_EQ(publishing.Published() + publishing.Skipped(), 0U);
}

}  // namespace
}  // namespace recmon
