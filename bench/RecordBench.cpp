// The recorder's own cost: records from the sound server for a given time
// through the same code as recmon-record, then prints its CPU time (user +
// system, all threads) per minute of recording, its peak resident memory, the
// largest fill of the buffer between capture and writer, and what was
// captured, written and dropped.
//
//   recmon-bench-record SECONDS FILE

#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "RecordingSession.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// VmHWM: the largest resident set the process has had.
long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmHWM:")) {
      return std::strtol(line.c_str() + 6, nullptr, 10);
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace recmon;
  if (argc != 3) {
    std::cerr << "usage: recmon-bench-record SECONDS FILE\n";
    return 2;
  }
  const sigset_t stopSignals = BlockStopSignals();
  TRecorderOptions options;
  options.DurationSeconds = std::strtod(argv[1], nullptr);
  options.File = argv[2];
  const double cpuBefore = CpuSeconds();
  std::ostringstream out;
  const TRecordingResult r = RunRecorder(options, stopSignals, out, std::cerr, false);
  const double cpu = CpuSeconds() - cpuBefore;
  if (r.ExitStatus != 0) {
    return r.ExitStatus;
  }
  const double minutes = static_cast<double>(r.Written) / kSampleRate / 60;
  std::printf("file            %s\n", r.Path.c_str());
  std::printf("recorded        %.2f s\n", static_cast<double>(r.Written) / kSampleRate);
  std::printf("cpu per minute  %.3f s (%.2f %% of one core)\n", cpu / minutes,
              100 * cpu / (minutes * 60));
  std::printf("peak rss        %.1f MB\n", static_cast<double>(PeakRssKb()) / 1024);
  std::printf("largest fill    %zu of %zu frames (%.2f %%)\n", r.PeakBufferFill, kBufferFrames,
              100.0 * static_cast<double>(r.PeakBufferFill) / kBufferFrames);
  std::printf("frames          captured %llu = written %llu + dropped %llu\n",
              static_cast<unsigned long long>(r.Captured),
              static_cast<unsigned long long>(r.Written),
              static_cast<unsigned long long>(r.DroppedByWriter));
  std::printf("lost at server  %llu frames\n", static_cast<unsigned long long>(r.LostAtServer));
  std::printf("publishes       %llu, skipped %llu\n", static_cast<unsigned long long>(r.Published),
              static_cast<unsigned long long>(r.PublishesSkipped));
  return 0;
}
