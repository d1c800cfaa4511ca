// The channel under load, with real processes: a writer publishing a
// thousand records a second while four monitors take snapshots, and a lock
// holder killed a hundred times while it holds the lock.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Checksum.h"
#include "RecMonChannel.h"

extern char** environ;

namespace recmon::load {
namespace {

using Clock = std::chrono::steady_clock;

// A child process running the load peer, with its standard output on a pipe.
class TPeer {
 public:
  explicit TPeer(std::vector<std::string> args) {
    int fds[2];
    if (pipe(fds) != 0) {
      throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv;
    args.insert(args.begin(), RECMON_LOAD_PEER);
    for (auto& a : args) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, RECMON_LOAD_PEER, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      throw std::runtime_error("cannot start the load peer");
    }
    out_ = fdopen(fds[0], "r");
  }
  ~TPeer() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (out_ != nullptr) {
      fclose(out_);
    }
  }
  TPeer(const TPeer&) = delete;
  TPeer& operator=(const TPeer&) = delete;

  std::string ReadLine() {
    char line[256] = {};
    if (fgets(line, sizeof line, out_) == nullptr) {
      return {};
    }
    return line;
  }
  void Kill() { kill(pid_, SIGKILL); }
  // Exit code, or 128 + signal number.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
};

class ChannelUnderLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/recmon-load-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    setenv("XDG_RUNTIME_DIR", dir, 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static double Seconds() {
    const char* s = std::getenv("RECMON_LOAD_SECONDS");
    return s != nullptr ? std::atof(s) : 60;
  }

 private:
  std::string dir_;
};

TEST(LoadChecksum, CatchesARecordMixedFromTwoWrites) {
  const TRecMonSnapshot first = LoadRecord(1000);
  const TRecMonSnapshot second = LoadRecord(1001);
  EXPECT_EQ(ChecksumOf(first), first.BytesDropped2);
  TRecMonSnapshot mixed = second;
  mixed.FileName = first.FileName;  // the start of one write, the rest of the next
  EXPECT_NE(ChecksumOf(mixed), mixed.BytesDropped2);
  mixed = second;
  mixed.TheirRecordMode = first.TheirRecordMode;
  EXPECT_NE(ChecksumOf(mixed), mixed.BytesDropped2);
}

TEST_F(ChannelUnderLoad, FourMonitorsNeverSeeATornRecord) {
  const double seconds = Seconds();
  TPeer writer({"writer", std::to_string(seconds + 1)});
  std::vector<std::unique_ptr<TPeer>> monitors;
  for (int i = 0; i < 4; ++i) {
    monitors.push_back(
        std::make_unique<TPeer>(std::vector<std::string>{"monitor", std::to_string(seconds)}));
  }
  long total = 0;
  for (auto& m : monitors) {
    long snapshots = -1;
    long torn = -1;
    const std::string line = m->ReadLine();
    ASSERT_EQ(std::sscanf(line.c_str(), "snapshots=%ld torn=%ld", &snapshots, &torn), 2) << line;
    EXPECT_EQ(torn, 0) << "a monitor saw a record mixed from two writes";
    // At a snapshot every millisecond or so, far more than a handful.
    EXPECT_GT(snapshots, static_cast<long>(seconds * 50));
    EXPECT_EQ(m->Wait(), 0);
    total += snapshots;
  }
  EXPECT_EQ(writer.Wait(), 0);
  std::printf("[ figures  ] %ld checked snapshots by 4 monitors in %.0f s\n", total, seconds);
}

TEST_F(ChannelUnderLoad, AKilledLockHolderNeverBlocksTheNextReader) {
  TRecMonChannel reader;
  reader.Create();
  ASSERT_TRUE(reader.Mutex);
  auto worst = Clock::duration::zero();
  for (int i = 0; i < 100; ++i) {
    TPeer holder({"holder"});
    ASSERT_EQ(holder.ReadLine(), "locked\n");
    const auto killedAt = Clock::now();
    holder.Kill();
    // Until the kernel has taken the dead holder apart (slow for a large
    // address space on a busy machine) the lock is busy: a monitor is told
    // so and tries again at its next refresh, as here.
    bool taken = false;
    while (!taken && Clock::now() - killedAt < std::chrono::seconds(10)) {
      try {
        reader.Lock();
        taken = true;
      } catch (const TStatusLockBusy&) {
      }
    }
    const auto waited = Clock::now() - killedAt;
    ASSERT_TRUE(taken) << "a killed holder's lock was never released";
    reader.Unlock();
    EXPECT_EQ(holder.Wait(), 128 + SIGKILL);
    worst = std::max(worst, waited);
    // Once the holder is reaped its lock is free at the first try, and the
    // record outlives it, since the reader is still attached.
    reader.Lock();
    EXPECT_EQ(reader.View().size(), RecMonStatusSize);
    reader.Unlock();
  }
  std::printf("[ figures  ] longest wait for a dead holder's lock: %.2f ms\n",
              std::chrono::duration<double, std::milli>(worst).count());
}

}  // namespace
}  // namespace recmon::load
