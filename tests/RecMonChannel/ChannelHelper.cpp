// A second program for the channel tests, so that locks and records really
// cross a process boundary:
//   lock-hold   attach, take the lock, print "locked", wait to be killed
//   lock-once   attach, take the lock, print "locked", release, detach
//   write-loop  publish self-consistent records as fast as possible until killed

#include <unistd.h>

#include <cstdio>
#include <string>

#include "RecMonChannel.h"
#include "RecMonWriter.h"

int main(int argc, char** argv) {
  using namespace recmon;
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "lock-hold" || mode == "lock-once") {
    TRecMonChannel channel;
    channel.Create();
    channel.Lock();
    std::printf("locked\n");
    std::fflush(stdout);
    while (mode == "lock-hold") {
      ::pause();
    }
    channel.Unlock();
    return 0;
  }
  if (mode == "write-loop") {
    TRecMonWriter writer;
    for (std::uint32_t i = 0;; ++i) {
      TRecMonSnapshot s;
      s.FileName.assign(i % RecMonFileNameSize, 'x');
      s.BytesRecorded = i;
      s.BytesDropped = i;
      s.TheirLastSoundTick = i;
      writer.Publish(s);
      if (i == 0) {
        std::printf("writing\n");
        std::fflush(stdout);
      }
    }
  }
  std::fprintf(stderr, "unknown mode '%s'\n", mode.c_str());
  return 2;
}
