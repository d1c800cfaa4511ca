// The processes of the load tests, all on the real channel:
//   writer SECONDS   publishes a new checksummed record a thousand times a second
//   monitor SECONDS  a monitor's snapshot intake every millisecond; checks each
//                    valid snapshot's checksum; prints "snapshots=N torn=M"
//   holder           attaches, takes the lock, says "locked" and waits to be killed

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "Checksum.h"
#include "MemoryDisplaySurface.h"
#include "MemoryPlatform.h"
#include "RecMonChannel.h"
#include "RecMonModel.h"
#include "RecMonWriter.h"

namespace recmon::load {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline(const char* seconds) {
  return Clock::now() + std::chrono::milliseconds(static_cast<long>(std::atof(seconds) * 1000));
}

int Writer(const char* seconds) {
  TRecMonWriter writer;
  const auto until = Deadline(seconds);
  auto next = Clock::now();
  for (std::uint32_t n = 1; Clock::now() < until; ++n) {
    [[maybe_unused]] const bool written = writer.Publish(LoadRecord(n));
    next += std::chrono::milliseconds(1);
    std::this_thread::sleep_until(next);
  }
  return 0;
}

int Monitor(const char* seconds) {
  TMemoryDisplaySurface surface;
  TMemoryPlatform platform;
  TRecMonModel model(surface, platform);
  auto channel = std::make_unique<TRecMonChannel>();
  channel->Create();
  model.Channel = std::move(channel);
  const auto until = Deadline(seconds);
  long snapshots = 0;
  long torn = 0;
  while (Clock::now() < until) {
    model.ReadSnapshot();
    if (model.Valid) {
      ++snapshots;
      if (ChecksumOf(model) != model.BytesDropped2) {
        ++torn;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::printf("snapshots=%ld torn=%ld\n", snapshots, torn);
  return 0;
}

int Holder() {
  TRecMonChannel channel;
  channel.Create();
  channel.Lock();
  std::printf("locked\n");
  std::fflush(stdout);
  for (;;) {
    pause();
  }
}

}  // namespace
}  // namespace recmon::load

int main(int argc, char** argv) {
  using namespace recmon::load;
  try {
    if (argc == 3 && std::strcmp(argv[1], "writer") == 0) {
      return Writer(argv[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "monitor") == 0) {
      return Monitor(argv[2]);
    }
    if (argc == 2 && std::strcmp(argv[1], "holder") == 0) {
      return Holder();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "recmon-load-peer: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: %s writer SECONDS | monitor SECONDS | holder\n", argv[0]);
  return 2;
}
