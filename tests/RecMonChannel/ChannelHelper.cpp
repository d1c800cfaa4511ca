// A second program for the channel tests, so that locks and records really
// cross a process boundary:
//   lock-hold   attach, take the lock, print "locked", wait to be killed
//   lock-once   attach, take the lock (printing "busy" once if it has to try
//               again), print "locked", release, detach
//   gate-hold   take the channel directory's gate, print "gated", wait to be
//               killed
//   write-loop  publish self-consistent records as fast as possible until killed
//   older-recorder  publish a recording five times a second, its count and
//               LastUpdateTime moving, as a recorder of the protocol before
//               the writer presence did: no presence; until killed

#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "ChannelDirectory.h"
#include "DateTime.h"
#include "RecMonChannel.h"
#include "RecMonWriter.h"
#include "StatusLock.h"
#include "TickCount.h"
#include "TrustedFiles.h"

int main(int argc, char** argv) {
  using namespace recmon;
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "lock-hold" || mode == "lock-once") {
    TRecMonChannel channel;
    channel.Create();
    for (bool told = false;;) {
      try {
        channel.Lock();
        break;
      } catch (const TStatusLockBusy&) {
        if (!told) {
          std::printf("busy\n");
          std::fflush(stdout);
          told = true;
        }
      }
    }
    std::printf("locked\n");
    std::fflush(stdout);
    while (mode == "lock-hold") {
      ::pause();
    }
    channel.Unlock();
    return 0;
  }
  if (mode == "gate-hold") {
    const TUniqueFd gate = OpenChannelDirectory(RecMonChannelDirectory());
    if (!gate || !FlockRetrying(gate.Get(), LOCK_EX)) {
      std::fprintf(stderr, "cannot take the gate\n");
      return 1;
    }
    std::printf("gated\n");
    std::fflush(stdout);
    for (;;) {
      ::pause();
    }
  }
  if (mode == "write-loop") {
    TRecMonWriter writer;
    for (std::uint32_t i = 0;; ++i) {
      TRecMonSnapshot s;
      s.FileName.assign(i % RecMonFileNameSize, 'x');
      s.BytesRecorded = i;
      s.BytesDropped = i;
      s.TheirLastSoundTick = i;
      [[maybe_unused]] const bool written = writer.Publish(s);
      if (i == 0) {
        std::printf("writing\n");
        std::fflush(stdout);
      }
    }
  }
  if (mode == "older-recorder") {
    TRecMonChannel channel;
    channel.Create();
    TRecMonSnapshot s;
    s.FileName = "/tmp/older-recorder.wav";
    s.Recording = true;
    s.StartTime = LocalNow();
    s.BufferSize = 100;
    s.BufferFree = 99;
    s.TheirRecordMode = TheirRecordModeRecorded;
    for (bool first = true;; first = false) {
      s.BytesRecorded += AudioBytesPerSecond / 5;
      s.LastUpdateTime = LocalNow();
      s.TheirLastSoundTick = RecMonTickCount();
      try {
        const TStatusLock lock(channel);
        channel.Write(EncodeStatus(s));
      } catch (const TStatusLockBusy&) {
      }
      if (first) {
        std::printf("writing\n");
        std::fflush(stdout);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  }
  std::fprintf(stderr, "unknown mode '%s'\n", mode.c_str());
  return 2;
}
