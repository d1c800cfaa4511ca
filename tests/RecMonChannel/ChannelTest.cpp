#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "ChannelDirectory.h"
#include "RecMonChannel.h"
#include "RecMonWriter.h"
#include "StatusLock.h"
#include "TestProcess.h"
#include "TypicalCall.h"
#include "WriterPresence.h"

namespace recmon {
namespace {

using test::Exists;

TRecMonStatusBytes ReadRecord(TRecMonChannel& channel) {
  const TStatusLock lock(channel);
  const auto view = channel.View();
  TRecMonStatusBytes bytes{};
  EXPECT_EQ(view.size(), RecMonStatusSize);
  std::copy(view.begin(), view.end(), bytes.begin());
  return bytes;
}

TRecMonSnapshot SampleRecord() {
  TRecMonSnapshot s = TypicalCall(46000.5, 1234);
  s.FileName = "/home/u/calls/call 1.wav";
  return s;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(ChannelDirectoryTest, FollowsAnAbsoluteRuntimeDirAndFallsBackPerUser) {
  const std::string fallback = "/dev/shm/VardimexKestrumRecMon-" + std::to_string(::getuid());
  const struct {
    const char* Runtime;  // nullptr: unset
    std::string Expected;
  } rows[] = {
      {"/run/user/7", "/run/user/7/VardimexKestrumRecMon"},
      {"/run/user/7/", "/run/user/7/VardimexKestrumRecMon"},
      {"", fallback},
      {"relative/dir", fallback},
      {nullptr, fallback},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Runtime ? row.Runtime : "(unset)");
    if (row.Runtime) {
      ::setenv("XDG_RUNTIME_DIR", row.Runtime, 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    EXPECT_EQ(RecMonChannelDirectory(), row.Expected);
  }
  ::unsetenv("XDG_RUNTIME_DIR");
}

class ChannelTest : public ::testing::Test {
 protected:
  test::TRuntimeDir Runtime;
};

TEST_F(ChannelTest, UnattachedChannelHasNothing) {
  TRecMonChannel channel;
  EXPECT_FALSE(channel.Mutex);
  EXPECT_FALSE(channel.Mapping);
  channel.Lock();  // returns at once: no lock to wait for
  EXPECT_TRUE(channel.View().empty());
  channel.Unlock();
  EXPECT_THROW(channel.Write(TRecMonStatusBytes{}), std::runtime_error);
  EXPECT_FALSE(Exists(Runtime.Channel));
}

TEST_F(ChannelTest, FirstToAttachCreatesPrivateObjectsThatReadAsZeros) {
  TRecMonChannel channel;
  channel.Create();
  ASSERT_TRUE(channel.Mutex);
  ASSERT_TRUE(channel.Mapping);
  EXPECT_EQ(ModeOf(Runtime.Channel), 0700U);
  EXPECT_EQ(ModeOf(Runtime.MapPath()), 0600U);
  EXPECT_EQ(ModeOf(Runtime.MutexPath()), 0600U);
  const TRecMonStatusBytes bytes = ReadRecord(channel);
  EXPECT_EQ(bytes, TRecMonStatusBytes{});
  EXPECT_FALSE(DecodeStatus(bytes).has_value());
}

TEST_F(ChannelTest, LaterArrivalsSeeTheRecordAndTheLastOneOutRemovesBoth) {
  TRecMonChannel writer;
  writer.Create();
  writer.Lock();
  writer.Write(EncodeStatus(SampleRecord()));
  writer.Unlock();

  TRecMonChannel monitor;
  monitor.Create();
  EXPECT_EQ(DecodeStatus(ReadRecord(monitor)), SampleRecord());

  writer.Destroy();
  EXPECT_TRUE(Exists(Runtime.MapPath()));
  EXPECT_EQ(DecodeStatus(ReadRecord(monitor)), SampleRecord()) << "the record outlives the writer";

  monitor.Destroy();
  EXPECT_FALSE(Exists(Runtime.MapPath()));
  EXPECT_FALSE(Exists(Runtime.MutexPath()));
  EXPECT_TRUE(Exists(Runtime.Channel)) << "the directory is never removed";
  EXPECT_FALSE(monitor.Mapping);
  monitor.Destroy();  // again: harmless
}

TEST_F(ChannelTest, LeftoversOfUsersThatDiedAreZeroFilledToTheRightSize) {
  ASSERT_EQ(::mkdir(Runtime.Channel.c_str(), 0700), 0);
  std::ofstream(Runtime.MapPath()) << std::string(700, '\xFF');
  ::chmod(Runtime.MapPath().c_str(), 0600);
  TRecMonChannel channel;
  channel.Create();
  EXPECT_EQ(ReadRecord(channel), TRecMonStatusBytes{});
}

TEST_F(ChannelTest, ResizedRecordGivesErrorsAndIsNeverRegrown) {
  TRecMonChannel writer;
  TRecMonChannel monitor;
  writer.Create();
  monitor.Create();
  for (const off_t size : {0, 100, 607, 609}) {
    SCOPED_TRACE(size);
    ASSERT_EQ(::truncate(Runtime.MapPath().c_str(), size), 0);
    monitor.Lock();
    EXPECT_THROW(monitor.View(), std::runtime_error);
    monitor.Unlock();
    EXPECT_THROW(writer.Write(EncodeStatus(SampleRecord())), std::runtime_error);
    struct stat st {};
    ::stat(Runtime.MapPath().c_str(), &st);
    EXPECT_EQ(st.st_size, size);
  }
}

TEST_F(ChannelTest, LockExcludesEveryOtherHolder) {
  TRecMonChannel a;
  TRecMonChannel b;
  a.Create();
  b.Create();
  a.Lock();
  EXPECT_NE(::flock(b.Mutex.Get(), LOCK_EX | LOCK_NB), 0);
  a.Unlock();
  EXPECT_EQ(::flock(b.Mutex.Get(), LOCK_EX | LOCK_NB), 0);
}

// The writer presence as a monitor reads it, with writers in this process
// (their locks belong to their own open files, so they exclude each other as
// separate programs would; killed writers are in ChannelProcessTest).
class WriterPresenceTest : public ChannelTest {
 protected:
  using TState = TWriterPresence::TState;

  void SetUp() override { Monitor.Create(); }
  TWriterPresence Presence() {
    const TStatusLock lock(Monitor);
    Monitor.View();
    return Monitor.WriterPresence();
  }
  std::string PresencePath() const { return Runtime.Channel + "/" + RecMonWriterName; }
  TRecMonSnapshot Call(bool recording) const {
    TRecMonSnapshot s = SampleRecord();
    s.Recording = recording;
    return s;
  }

  TRecMonChannel Monitor;
};

TEST_F(WriterPresenceTest, AMonitorAloneKnowsNothingAndCreatesNoPresence) {
  EXPECT_EQ(Presence().State, TState::Unknown);
  EXPECT_FALSE(Exists(PresencePath())) << "only writers create it";
}

TEST_F(WriterPresenceTest, TheFirstRecorderHoldsTheRecordAndASecondIsRefused) {
  EXPECT_EQ(Presence().State, TState::Unknown);  // probed before any writer came
  TRecMonWriter first;
  EXPECT_TRUE(first.OwnsRecord());
  EXPECT_EQ(ModeOf(PresencePath()), 0600U);
  EXPECT_EQ(Presence().State, TState::Held) << "held before anything is published";
  try {
    TRecMonWriter second;
    FAIL() << "a second recorder was let in";
  } catch (const TRecordOwnedElsewhere& e) {
    EXPECT_STREQ(e.what(), "another recorder owns the monitor's record");
  }
  EXPECT_FALSE(TRecMonWriter(TWriterClaim::IfFree).OwnsRecord());
  EXPECT_FALSE(TRecMonWriter(TWriterClaim::None).OwnsRecord());
  EXPECT_TRUE(first.Publish(Call(true)));
  EXPECT_EQ(Presence().State, TState::Held);
}

TEST_F(WriterPresenceTest, AnEndedWriterIsGoneUntilTheRecordIsWrittenWithoutOne) {
  {
    TRecMonWriter writer;
    ASSERT_TRUE(writer.Publish(Call(true)));
  }  // ends without clearing Recording, as after a crash
  EXPECT_EQ(Presence().State, TState::Gone);

  // An older recorder writes the record without a presence of its own.
  TRecMonChannel older;
  older.Create();
  TRecMonSnapshot its = Call(true);
  its.StartTime += 1;
  older.Lock();
  older.Write(EncodeStatus(its));
  older.Unlock();
  EXPECT_EQ(Presence().State, TState::Unknown) << "its record is not the ended writer's";

  TRecMonWriter next;
  EXPECT_TRUE(next.OwnsRecord()) << "an ended presence is free to take";
  EXPECT_EQ(Presence().State, TState::Held);
}

TEST_F(WriterPresenceTest, AnEditBesideTheHolderBecomesPartOfItsRecord) {
  auto holder = std::make_unique<TRecMonWriter>(TWriterClaim::IfFree);
  ASSERT_TRUE(holder->OwnsRecord());
  ASSERT_TRUE(holder->Publish(Call(true)));
  TRecMonWriter edit(TWriterClaim::None);
  TRecMonSnapshot edited = Call(true);
  edited.BufferFree = 10;
  ASSERT_TRUE(edit.Publish(edited));
  holder.reset();
  EXPECT_EQ(Presence().State, TState::Gone);
  EXPECT_EQ(DecodeStatus(ReadRecord(Monitor))->BufferFree, 10);
}

TEST_F(WriterPresenceTest, EveryPublishAndEveryKeepAliveMovesTheBeat) {
  TRecMonWriter writer;
  ASSERT_TRUE(writer.Publish(Call(true)));
  const std::uint32_t first = Presence().Beat;
  ASSERT_TRUE(writer.Publish(Call(true)));
  EXPECT_EQ(Presence().Beat, first + 1) << "the same record again";
  ASSERT_TRUE(writer.KeepAlive());
  EXPECT_EQ(Presence().Beat, first + 2);
  EXPECT_EQ(DecodeStatus(ReadRecord(Monitor)), Call(true)) << "a beat changes no record";
}

TEST_F(WriterPresenceTest, AForeignPresenceFileSaysNothingAndTheLastOneOutRemovesIt) {
  TRecMonWriter writer;
  ASSERT_TRUE(writer.Publish(Call(true)));
  writer.Channel().Destroy();
  ASSERT_EQ(Presence().State, TState::Gone);
  for (const off_t size : {0, 615, 617}) {
    SCOPED_TRACE(size);
    ASSERT_EQ(::truncate(PresencePath().c_str(), size), 0);
    EXPECT_EQ(Presence().State, TState::Unknown);
  }
  std::ofstream(PresencePath(), std::ios::in | std::ios::out | std::ios::binary) << '\x02';
  ASSERT_EQ(::truncate(PresencePath().c_str(), WriterPresenceSize), 0);
  EXPECT_EQ(Presence().State, TState::Unknown) << "another version";

  Monitor.Destroy();
  EXPECT_FALSE(Exists(PresencePath()));
}

}  // namespace
}  // namespace recmon
