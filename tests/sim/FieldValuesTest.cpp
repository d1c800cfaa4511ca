#include "FieldValues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "DateTime.h"

namespace recmon {
namespace {

constexpr TSimClock kClock{45000.5, 10000};

TRecMonSnapshot Build(const std::vector<TAssignment>& assignments, bool noMagic = false) {
  return BuildRecord(assignments, noMagic, kClock);
}

TEST(FieldValuesTest, EveryFieldTakesItsValueAndTheRestStayZero) {
  const TRecMonSnapshot r = Build({{"FileName", "/tmp/a b.wav"},
                                   {"Recording", "yes"},
                                   {"StartTime", "now-95s"},
                                   {"BytesRecorded", "90s"},
                                   {"LastUpdateTime", "45000.25"},
                                   {"BufferSize", "-5"},
                                   {"BufferFree", "0x10"},
                                   {"BytesDropped", "4294967295"},
                                   {"BytesDropped1", "1.5s"},
                                   {"Magic", "0x1234"},
                                   {"MyLevel", "0.25"},
                                   {"MyLevelBias", "-0.1"},
                                   {"TheirLevel", "inf"},
                                   {"TheirLastSoundTick", "now-12s"},
                                   {"TheirRecordMode", "2"}});
  TRecMonSnapshot expected;
  expected.FileName = "/tmp/a b.wav";
  expected.Recording = true;
  expected.StartTime = 45000.5 - 95.0 / 86400;
  expected.BytesRecorded = 90 * AudioBytesPerSecond;
  expected.LastUpdateTime = 45000.25;
  expected.BufferSize = -5;
  expected.BufferFree = 16;
  expected.BytesDropped = 4294967295U;
  expected.BytesDropped1 = 142848;
  expected.Magic = 0x1234;
  expected.MyLevel = 0.25;
  expected.MyLevelBias = -0.1;
  expected.TheirLevel = std::numeric_limits<double>::infinity();
  expected.TheirLastSoundTick = 10000U - 12000U;  // wraps like the counter
  expected.TheirRecordMode = 2;
  EXPECT_EQ(r, expected);

  EXPECT_EQ(Build({}), TRecMonSnapshot{}) << "all zero, valid marker";
  EXPECT_EQ(Build({}, true).Magic, 0U);
  EXPECT_TRUE(std::isnan(Build({{"MyLevel", "nan"}}).MyLevel));
}

TEST(FieldValuesTest, TimesAndTicksAreRelativeToTheClockInAnyUnit) {
  const struct {
    const char* Text;
    double Seconds;
  } rows[] = {{"now", 0},     {"now+2m", 120},      {"-1.5h", -5400},
              {"+1d", 86400}, {"now-250ms", -0.25}, {"now+0s", 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Text);
    const TRecMonSnapshot r = Build({{"StartTime", row.Text}, {"TheirLastSoundTick", row.Text}});
    EXPECT_DOUBLE_EQ(r.StartTime, kClock.Now + DaysFromSeconds(row.Seconds));
    EXPECT_EQ(
        r.TheirLastSoundTick,
        kClock.Tick + static_cast<std::uint32_t>(static_cast<std::int64_t>(row.Seconds * 1000)));
  }
}

TEST(FieldValuesTest, RefusesBadFieldsAndValuesNamingTheArgument) {
  const struct {
    std::vector<TAssignment> Assignments;
    bool NoMagic;
    const char* Message;
  } rows[] = {
      {{{"Filename", "x"}}, false, "unknown field 'Filename'; the fields are FileName, Recording"},
      {{{"Recording", "1"}, {"Recording", "0"}}, false, "Recording is given twice"},
      {{{"Magic", "1"}}, true, "contradict"},
      {{{"Recording", "maybe"}}, false, "Recording=maybe"},
      {{{"Recording", "256"}}, false, "out of range 0 to 255"},
      {{{"BytesRecorded", "-1"}}, false, "out of range 0 to 4294967295"},
      {{{"BytesRecorded", "4294967296"}}, false, "out of range"},
      {{{"BytesDropped", "1e10s"}}, false, "seconds of audio out of range"},
      {{{"BufferSize", "2147483648"}}, false, "out of range -2147483648 to 2147483647"},
      {{{"BufferFree", "1.5"}}, false, "not a whole number"},
      {{{"StartTime", "yesterday"}}, false, "not a number"},
      {{{"StartTime", "now-95"}}, false, "unit"},
      {{{"StartTime", "now-infs"}}, false, "finite"},
      {{{"TheirLastSoundTick", "now-25d"}}, false, "within 24 days"},
      {{{"TheirLastSoundTick", "1.5"}}, false, "not a whole number"},
      {{{"MyLevel", ""}}, false, "not a number"},
      {{{"FileName", std::string(513, 'x')}}, false, "513 bytes; at most 512"},
  };
  for (const auto& row : rows) {
    try {
      BuildRecord(row.Assignments, row.NoMagic, kClock);
      ADD_FAILURE() << "accepted: " << row.Assignments[0].Field << "=" << row.Assignments[0].Value;
    } catch (const TUsageError& e) {
      EXPECT_NE(std::string(e.what()).find(row.Message), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(Build({{"FileName", std::string(512, 'x')}}).FileName.size(), 512U);
}

}  // namespace
}  // namespace recmon
