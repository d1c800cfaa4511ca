// A recorder for the cost measurements: publishes a recording in progress
// five times a second for a given time, either with every figure moving or
// with one record that never changes.
//
//   recmon-bench-recorder SECONDS changing|steady

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "DateTime.h"
#include "RecMonWriter.h"
#include "TickCount.h"
#include "TypicalCall.h"

namespace {

constexpr auto kInterval = std::chrono::milliseconds(200);

recmon::TRecMonSnapshot CallAt(int step, double start) {
  recmon::TRecMonSnapshot s = recmon::TypicalCall(recmon::LocalNow(), recmon::RecMonTickCount());
  s.FileName = "/tmp/recmon-bench-call.wav";
  s.StartTime = start;
  s.LastUpdateTime = recmon::LocalNow();
  s.BytesRecorded = 95232u / 5 * static_cast<std::uint32_t>(step);
  s.BufferSize = 1000;
  s.BufferFree = 1000 - (step * 37) % 1000;  // sweeps all three grades
  s.BytesDropped1 = 95232u * static_cast<std::uint32_t>(step % 3);
  s.BytesDropped2 = 95232u * static_cast<std::uint32_t>(step % 4);
  s.BytesDropped = s.BytesDropped1 + s.BytesDropped2;
  s.MyLevel = (step % 10) / 20.0;
  s.TheirLevel = ((step * 3) % 10) / 20.0;
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[2], "changing") != 0 && std::strcmp(argv[2], "steady") != 0)) {
    std::fprintf(stderr, "usage: %s SECONDS changing|steady\n", argv[0]);
    return 2;
  }
  const double seconds = std::atof(argv[1]);
  const bool changing = std::strcmp(argv[2], "changing") == 0;
  try {
    recmon::TRecMonWriter writer;
    const double start = recmon::LocalNow();
    auto steady = CallAt(1, start);
    steady.TheirLastSoundTick = 0;
    steady.TheirRecordMode = 1;  // a constant hint, whatever the tick counter says
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double>(seconds));
    auto next = std::chrono::steady_clock::now();
    for (int step = 0; std::chrono::steady_clock::now() < until; ++step) {
      [[maybe_unused]] const bool written = writer.Publish(changing ? CallAt(step, start) : steady);
      next += kInterval;
      std::this_thread::sleep_until(next);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "recmon-bench-recorder: %s\n", e.what());
    return 1;
  }
  return 0;
}
