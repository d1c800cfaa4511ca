#include "RecordText.h"

#include <gtest/gtest.h>

#include <cstring>

namespace recmon {
namespace {

TEST(RecordTextTest, DateTimesReadAsLocalCalendarTimes) {
  const struct {
    double Value;
    const char* Text;
  } rows[] = {
      {0, "1899-12-30 00:00:00.000"},
      {1.75, "1899-12-31 18:00:00.000"},
      {45000.5, "2023-03-15 12:00:00.000"},
      {45000.9999999999, "2023-03-16 00:00:00.000"},  // the millisecond rounds into the next day
      {-0.5, "1899-12-29 12:00:00.000"},
      {1e300, ""},
      {std::numeric_limits<double>::quiet_NaN(), ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DateTimeText(row.Value), row.Text) << row.Value;
  }
}

TEST(RecordTextTest, ShowsEveryFieldEvenWhenTheMarkerIsWrong) {
  TRecMonSnapshot s;
  s.FileName = "/tmp/call.wav";
  s.Recording = true;
  s.StartTime = 45000.5 - 95.0 / 86400;
  s.BytesRecorded = 95232 * 3;
  s.BufferSize = 200;
  s.BufferFree = 50;
  SetDropped(s, 95232, 0);
  s.TheirLastSoundTick = 4000;
  s.TheirRecordMode = 2;
  const TSimClock clock{45000.5, 10000};

  const std::string valid = RecordText(EncodeStatus(s), clock);
  for (const char* line :
       {"Status: valid\nFileName=/tmp/call.wav\nRecording=1\n",
        "\nStartTime=45000.49890046296  (2023-03-15 11:58:25.000 local, 95.0 s ago)\n",
        "\nBytesRecorded=285696  (3.000 s of audio)\n", "\nBufferFree=50  (75.0 % used)\n",
        "\nBytesDropped1=95232  (1.000 s of audio; buffer full: writing fell behind)\n",
        "\nBytesDropped2=0  (0.000 s of audio; lost at the sound server)\n", "\nMagic=0x004ED9FE\n",
        "\nTheirLastSoundTick=4000  (6000 ms ago)\n", "\nTheirRecordMode=2  (recorded)\n"}) {
    EXPECT_NE(valid.find(line), std::string::npos) << "missing " << line << " in\n" << valid;
  }

  s.Magic = 0;
  const std::string invalid = RecordText(EncodeStatus(s), clock);
  EXPECT_TRUE(invalid.starts_with("Status: not valid")) << invalid;
  EXPECT_NE(invalid.find("\nMagic=0x00000000\n"), std::string::npos) << invalid;
  EXPECT_NE(invalid.find("\nFileName=/tmp/call.wav\n"), std::string::npos) << invalid;
}

}  // namespace
}  // namespace recmon
