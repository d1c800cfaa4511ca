#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "RecordingDefs.h"

namespace recmon {
namespace {

template <typename T>
void Poke(TRecMonStatusBytes& bytes, std::size_t offset, T value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

template <typename T>
T Peek(const TRecMonStatusBytes& bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

TRecMonStatusBytes WithMagic() {
  TRecMonStatusBytes bytes{};
  Poke<std::uint32_t>(bytes, 564, RecMonStatusMagic);
  return bytes;
}

TEST(DecodeStatus, AllZeroRecordIsNotValid) {
  const TRecMonStatusBytes zeros{};
  EXPECT_FALSE(DecodeStatus(zeros).has_value());
}

TEST(DecodeStatus, MagicAloneGivesAValidEmptyRecord) {
  const auto s = DecodeStatus(WithMagic());
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(*s, TRecMonSnapshot{});
}

TEST(DecodeStatus, MagicMustMatchExactly) {
  for (const std::uint32_t magic :
       {RecMonStatusMagic + 1, RecMonStatusMagic - 1, 0xFED94E00u, 0xFFFFFFFFu}) {
    TRecMonStatusBytes bytes{};
    Poke(bytes, 564, magic);
    EXPECT_FALSE(DecodeStatus(bytes).has_value()) << std::hex << magic;
  }
}

// Offsets are written out here rather than taken from the struct, so a
// layout fault in the header cannot hide behind itself.
TEST(DecodeStatus, ReadsEveryFieldFromItsOffset) {
  auto bytes = WithMagic();
  std::memcpy(bytes.data(), "/rec/call.wav", 14);
  Poke<std::uint8_t>(bytes, 512, 1);
  Poke(bytes, 520, 46000.25);
  Poke<std::uint32_t>(bytes, 528, 0xFFFFFFFFu);
  Poke(bytes, 536, 46000.5);
  Poke<std::int32_t>(bytes, 544, 1000);
  Poke<std::int32_t>(bytes, 548, -7);
  Poke<std::uint32_t>(bytes, 552, 0xFFFFFFFEu);
  Poke<std::uint32_t>(bytes, 556, 95232);
  Poke<std::uint32_t>(bytes, 560, 3);
  Poke(bytes, 568, 0.25);
  Poke(bytes, 576, -0.125);
  Poke(bytes, 584, 0.75);
  Poke(bytes, 592, 0.0625);
  Poke<std::uint32_t>(bytes, 600, 0x80000001u);
  Poke<std::int32_t>(bytes, 604, -2);

  const auto s = DecodeStatus(bytes);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->FileName, "/rec/call.wav");
  EXPECT_TRUE(s->Recording);
  EXPECT_EQ(s->StartTime, 46000.25);
  EXPECT_EQ(s->BytesRecorded, 4294967295u);
  EXPECT_EQ(s->LastUpdateTime, 46000.5);
  EXPECT_EQ(s->BufferSize, 1000);
  EXPECT_EQ(s->BufferFree, -7);
  EXPECT_EQ(s->BytesDropped, 4294967294u);
  EXPECT_EQ(s->BytesDropped1, 95232u);
  EXPECT_EQ(s->BytesDropped2, 3u);
  EXPECT_EQ(s->MyLevel, 0.25);
  EXPECT_EQ(s->MyLevelBias, -0.125);
  EXPECT_EQ(s->TheirLevel, 0.75);
  EXPECT_EQ(s->TheirLevelBias, 0.0625);
  EXPECT_EQ(s->TheirLastSoundTick, 0x80000001u);
  EXPECT_EQ(s->TheirRecordMode, -2);
}

TEST(DecodeStatus, AnyNonZeroRecordingByteMeansRecording) {
  for (const int value : {1, 2, 0x80, 0xFF}) {
    auto bytes = WithMagic();
    Poke<std::uint8_t>(bytes, 512, static_cast<std::uint8_t>(value));
    EXPECT_TRUE(DecodeStatus(bytes)->Recording) << value;
  }
}

TEST(DecodeStatus, FileNameEndsAtFirstNulOrFillsTheField) {
  struct Row {
    const char* name;
    std::vector<char> field;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"cut at first NUL", {'a', 'b', '\0', 'c', 'd'}, "ab"},
      {"leading NUL gives empty", {'\0', 'x'}, ""},
      {"spaces and backslashes kept", {' ', 'C', ':', '\\', 'a', ' '}, " C:\\a "},
      {"no NUL at all: 512 characters", std::vector<char>(512, 'x'), std::string(512, 'x')},
  };
  for (const auto& row : rows) {
    auto bytes = WithMagic();
    std::memcpy(bytes.data(), row.field.data(), row.field.size());
    EXPECT_EQ(DecodeStatus(bytes)->FileName, row.expected) << row.name;
  }
}

TEST(DecodeStatus, ReservedBytesNeverMatter) {
  auto bytes = WithMagic();
  const auto clean = DecodeStatus(bytes);
  std::memset(bytes.data() + 513, 0xFF, 7);
  std::memset(bytes.data() + 532, 0xFF, 4);
  EXPECT_EQ(DecodeStatus(bytes), clean);
}

TEST(DecodeStatus, RefusesInputThatIsNotOneWholeRecord) {
  for (const std::size_t size : {0u, 1u, 564u, 607u, 609u, 1216u}) {
    const std::vector<std::uint8_t> bytes(size, 0);
    EXPECT_THROW(DecodeStatus(bytes), TRecMonStatusSizeError) << size;
  }
}

TEST(EncodeStatus, RoundTripsEveryField) {
  TRecMonSnapshot s;
  s.FileName = "/home/user/Recordings/call 1.wav";
  s.Recording = true;
  s.StartTime = 46001.125;
  s.BytesRecorded = 123456789;
  s.LastUpdateTime = 46001.5;
  s.BufferSize = 4096;
  s.BufferFree = 1024;
  s.BytesDropped = 190464;
  s.BytesDropped1 = 95232;
  s.BytesDropped2 = 95232;
  s.MyLevel = 0.3;
  s.MyLevelBias = -0.1;
  s.TheirLevel = 0.2;
  s.TheirLevelBias = 0.05;
  s.TheirLastSoundTick = 4000000000u;
  s.TheirRecordMode = TheirRecordModeRecorded;
  const auto bytes = EncodeStatus(s);
  EXPECT_EQ(DecodeStatus(bytes), s);
  EXPECT_EQ(Peek<std::uint32_t>(bytes, 528), 123456789u);
  EXPECT_EQ(Peek<std::int32_t>(bytes, 604), 2);
}

TEST(EncodeStatus, WritesTheMagicItIsGiven) {
  TRecMonSnapshot s;
  s.Magic = 0;
  EXPECT_FALSE(DecodeStatus(EncodeStatus(s)).has_value());
}

TEST(EncodeStatus, FileNameMustFitAndHoldNoNul) {
  TRecMonSnapshot s;
  s.FileName = std::string(512, 'y');
  EXPECT_EQ(DecodeStatus(EncodeStatus(s))->FileName, s.FileName);
  s.FileName = std::string(513, 'y');
  EXPECT_THROW(EncodeStatus(s), std::invalid_argument);
  s.FileName = std::string("a\0b", 3);
  EXPECT_THROW(EncodeStatus(s), std::invalid_argument);
}

}  // namespace
}  // namespace recmon
