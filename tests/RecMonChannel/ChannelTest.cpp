#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "ChannelDirectory.h"
#include "RecMonChannel.h"
#include "StatusLock.h"
#include "TestProcess.h"
#include "TypicalCall.h"

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

}  // namespace
}  // namespace recmon
