// The channel between real processes: recmon-sim as the recorder, a small
// helper for holding the lock, the test itself as one or two monitors.

#include <gtest/gtest.h>
#include <signal.h>

#include <set>
#include <thread>

#include "RecMonChannel.h"
#include "RecMonWriter.h"
#include "StatusLock.h"
#include "TestProcess.h"

namespace recmon {
namespace {

using namespace std::chrono_literals;
using test::Exists;
using test::TChildProcess;

std::optional<TRecMonSnapshot> Snapshot(TRecMonChannel& channel) {
  const TStatusLock lock(channel);
  return DecodeStatus(channel.View());
}

class ChannelProcessTest : public ::testing::Test {
 protected:
  // Starts `recmon-sim set ...` and waits until the record is written.
  std::unique_ptr<TChildProcess> Recorder(const std::vector<std::string>& args) {
    std::vector<std::string> all{"set"};
    all.insert(all.end(), args.begin(), args.end());
    auto sim = std::make_unique<TChildProcess>(RECMON_SIM, all);
    const auto line = sim->ReadLine(5s);
    EXPECT_TRUE(line && line->starts_with("holding")) << sim->Errors();
    return sim;
  }

  test::TRuntimeDir Runtime;
};

TEST_F(ChannelProcessTest, TwoMonitorsAndShowSeeWhatTheRecorderWrote) {
  const auto sim = Recorder({"Recording=1", "FileName=/tmp/a call.wav", "BytesRecorded=95s",
                             "TheirRecordMode=2", "--hold", "30"});
  TRecMonChannel first;
  TRecMonChannel second;
  first.Create();
  second.Create();
  TRecMonSnapshot expected;
  expected.Recording = true;
  expected.FileName = "/tmp/a call.wav";
  expected.BytesRecorded = 95 * AudioBytesPerSecond;
  expected.TheirRecordMode = TheirRecordModeRecorded;
  EXPECT_EQ(Snapshot(first), expected);
  EXPECT_EQ(Snapshot(second), expected);

  TChildProcess show(RECMON_SIM, {"show"});
  ASSERT_EQ(show.Wait(5s), 0) << show.Errors();
  EXPECT_NE(show.Output().find("Status: valid\nFileName=/tmp/a call.wav\nRecording=1\n"),
            std::string::npos)
      << show.Output();
  EXPECT_NE(show.Output().find("\nWriter: running (beat "), std::string::npos) << show.Output();

  // The recorder leaves; the monitors keep the record as it was.
  sim->Signal(SIGTERM);
  EXPECT_EQ(sim->Wait(3s), 0);
  EXPECT_EQ(Snapshot(first), expected);
  first.Destroy();
  second.Destroy();
  EXPECT_FALSE(Exists(Runtime.MapPath()));
  EXPECT_FALSE(Exists(Runtime.MutexPath()));
}

TEST_F(ChannelProcessTest, RecorderAloneRemovesBothFilesWhenItLeaves) {
  const auto sim = Recorder({"Recording=1", "--hold", "0.1"});
  EXPECT_EQ(sim->Wait(5s), 0) << sim->Errors();
  EXPECT_FALSE(Exists(Runtime.MapPath()));
  EXPECT_FALSE(Exists(Runtime.MutexPath()));
}

TEST_F(ChannelProcessTest, KilledLastUserLeavesFilesThatTheNextOneZeroFills) {
  const auto sim = Recorder({"Recording=1", "--hold", "30"});
  sim->Signal(SIGKILL);
  ASSERT_EQ(sim->Wait(3s), 128 + SIGKILL);
  ASSERT_TRUE(Exists(Runtime.MapPath()));

  TRecMonChannel monitor;
  monitor.Create();
  EXPECT_EQ(Snapshot(monitor), std::nullopt) << "no stale \"Recording\" after a crash";
}

TEST_F(ChannelProcessTest, LockOfAKilledHolderPassesToTheNextAttempt) {
  TChildProcess holder(RECMON_CHANNEL_HELPER, {"lock-hold"});
  ASSERT_EQ(holder.ReadLine(5s), "locked") << holder.Errors();
  TChildProcess waiter(RECMON_CHANNEL_HELPER, {"lock-once"});
  EXPECT_EQ(waiter.ReadLine(5s), "busy") << "a held lock is given up on, not waited for";
  EXPECT_EQ(waiter.ReadLine(300ms), std::nullopt) << "and not taken while it is held";

  holder.Signal(SIGKILL);
  EXPECT_EQ(waiter.ReadLine(5s), "locked");
  EXPECT_EQ(waiter.Wait(5s), 0) << waiter.Errors();
}

// A peer stopped while it holds the lock (SIGSTOP, a debugger) costs a reader
// and a writer one bounded wait each, and nothing once it goes on.
TEST_F(ChannelProcessTest, AStoppedLockHolderNeverBlocksReadersOrWriters) {
  const auto sim = Recorder({"Recording=1", "BytesRecorded=5s", "--hold", "30"});
  TRecMonWriter writer(TWriterClaim::None);
  TRecMonChannel monitor;
  monitor.Create();
  TChildProcess holder(RECMON_CHANNEL_HELPER, {"lock-hold"});
  ASSERT_EQ(holder.ReadLine(5s), "locked") << holder.Errors();
  holder.Signal(SIGSTOP);

  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(Snapshot(monitor), TStatusLockBusy);
    EXPECT_FALSE(writer.Publish(TRecMonSnapshot{})) << "nothing written while the lock is held";
    // Far above the bound, far below a hang: a wait without a limit fails here.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  }

  holder.Signal(SIGCONT);
  holder.Signal(SIGKILL);
  ASSERT_EQ(holder.Wait(3s), 128 + SIGKILL);
  const auto s = Snapshot(monitor);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->BytesRecorded, 5 * AudioBytesPerSecond) << "the skipped publish wrote nothing";
  TRecMonSnapshot next;
  next.BytesRecorded = 6 * AudioBytesPerSecond;
  EXPECT_TRUE(writer.Publish(next));
  EXPECT_EQ(Snapshot(monitor)->BytesRecorded, 6 * AudioBytesPerSecond);
}

TEST_F(ChannelProcessTest, AHeldGateDelaysAttachingOnlyUntilItIsFree) {
  TChildProcess gate(RECMON_CHANNEL_HELPER, {"gate-hold"});
  ASSERT_EQ(gate.ReadLine(5s), "gated") << gate.Errors();
  TRecMonChannel monitor;
  monitor.Create();
  EXPECT_TRUE(monitor.AttachPending());
  EXPECT_FALSE(monitor.Mapping);
  EXPECT_TRUE(monitor.View().empty()) << "no record yet: read as none";
  EXPECT_THROW(TRecMonWriter{}, std::runtime_error) << "a recorder is told, not hung";

  gate.Signal(SIGKILL);
  ASSERT_EQ(gate.Wait(3s), 128 + SIGKILL);
  EXPECT_EQ(Snapshot(monitor), std::nullopt) << "attached on the next access: a fresh record";
  EXPECT_FALSE(monitor.AttachPending());
  EXPECT_TRUE(monitor.Mapping);
}

TEST_F(ChannelProcessTest, AHeldGateAtDetachLeavesFilesThatTheNextOneResets) {
  const auto sim = Recorder({"Recording=1", "--hold", "30"});
  sim->Signal(SIGKILL);
  ASSERT_EQ(sim->Wait(3s), 128 + SIGKILL);
  TRecMonChannel monitor;
  monitor.Create();
  TChildProcess gate(RECMON_CHANNEL_HELPER, {"gate-hold"});
  ASSERT_EQ(gate.ReadLine(5s), "gated") << gate.Errors();
  monitor.Destroy();  // returns although it cannot take the gate
  EXPECT_TRUE(Exists(Runtime.MapPath())) << "not removed without the gate";

  gate.Signal(SIGKILL);
  ASSERT_EQ(gate.Wait(3s), 128 + SIGKILL);
  TRecMonChannel next;
  next.Create();
  EXPECT_EQ(Snapshot(next), std::nullopt);
}

TEST_F(ChannelProcessTest, ReadsUnderTheLockNeverSeeAHalfWrittenRecord) {
  TRecMonChannel monitor;
  monitor.Create();
  TChildProcess writer(RECMON_CHANNEL_HELPER, {"write-loop"});
  ASSERT_EQ(writer.ReadLine(5s), "writing") << writer.Errors();

  // Reads back to back for a while, checking every field against the others.
  std::set<std::uint32_t> seen;
  for (const auto until = std::chrono::steady_clock::now() + 200ms;
       std::chrono::steady_clock::now() < until;) {
    std::optional<TRecMonSnapshot> s;
    try {
      s = Snapshot(monitor);
    } catch (const TStatusLockBusy&) {
      // A writer preempted while it holds the lock outlasts the wait on a
      // loaded machine; that read is skipped, as the monitor skips it.
      continue;
    }
    ASSERT_TRUE(s.has_value());
    ASSERT_EQ(s->BytesDropped, s->BytesRecorded);
    ASSERT_EQ(s->TheirLastSoundTick, s->BytesRecorded);
    ASSERT_EQ(s->FileName.size(), s->BytesRecorded % RecMonFileNameSize);
    seen.insert(s->BytesRecorded);
    std::this_thread::yield();
  }
  EXPECT_GT(seen.size(), 10U) << "the writer must have made progress between reads";
}

}  // namespace
}  // namespace recmon
