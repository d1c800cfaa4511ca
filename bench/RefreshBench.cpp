// Cost of one refresh cycle over the in-memory record, window and platform,
// with figures that change on every call, with and without a real lookup of
// the recording file on disk.

#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "MemoryDisplaySurface.h"
#include "MemoryPlatform.h"
#include "MemoryStatusSource.h"
#include "RecMonModel.h"
#include "TypicalCall.h"

namespace recmon {
namespace {

// Like the memory platform, but the file size comes from the file system.
class TDiskPlatform final : public IRecMonPlatform {
 public:
  double Clock = 46000.5;
  std::uint32_t Ticks = 0;
  double Now() override { return Clock; }
  std::uint32_t TickCount() override { return Ticks; }
  std::optional<std::int64_t> FileSize(const std::string& path) override {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
      return std::nullopt;
    }
    return st.st_size;
  }
  void OpenFolder(const std::string&) override {}
  std::string TimeSeparator() override { return ":"; }
};

constexpr int kRecords = 256;

// Records of a call in progress in which every figure moves.
std::vector<TRecMonStatusBytes> ChangingRecords(const std::string& fileName, double now) {
  std::vector<TRecMonStatusBytes> records;
  for (int i = 0; i < kRecords; ++i) {
    TRecMonSnapshot s = TypicalCall(now, static_cast<std::uint32_t>(i * 40));
    s.FileName = fileName;
    s.StartTime = now - (600.0 + i) / 86400;
    s.LastUpdateTime = now - (i % 5) / 86400.0;
    s.BytesRecorded = 95232u * static_cast<std::uint32_t>(590 + i);
    s.BufferSize = 1000;
    s.BufferFree = 1000 - (i * 7) % 1000;  // sweeps Good, Fair and Poor
    s.BytesDropped = 95232u * static_cast<std::uint32_t>(i % 9);
    s.BytesDropped1 = 95232u * static_cast<std::uint32_t>(i % 4);
    s.BytesDropped2 = 95232u * static_cast<std::uint32_t>(i % 5);
    s.MyLevel = (i % 50) / 100.0;
    s.MyLevelBias = -0.01;
    s.TheirLevel = ((i * 3) % 50) / 100.0;
    s.TheirLevelBias = 0.02;
    records.push_back(EncodeStatus(s));
  }
  return records;
}

template <typename Platform>
void RunRefreshes(benchmark::State& state, Platform& platform, const std::string& fileName) {
  TMemoryDisplaySurface surface;
  surface.LayOutLikeTheWindow();
  surface.Logging = false;
  TRecMonModel model(surface, platform);
  auto owned = std::make_unique<TMemoryStatusSource>();
  auto* source = owned.get();
  model.Channel = std::move(owned);
  model.Start();
  model.InitMeters();

  const auto records = ChangingRecords(fileName, platform.Clock);
  std::size_t next = 0;
  for (auto _ : state) {
    source->Bytes = records[next];
    next = (next + 1) % records.size();
    platform.Clock += 0.2 / 86400;
    platform.Ticks += 200;
    model.RefreshDisplay();
    benchmark::DoNotOptimize(surface.Controls);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_RefreshDisplay(benchmark::State& state) {
  TMemoryPlatform platform;
  const std::string fileName = "/home/user/Recordings/call.wav";
  platform.FileSizes[fileName] = 123456789;
  RunRefreshes(state, platform, fileName);
}
BENCHMARK(BM_RefreshDisplay);

void BM_RefreshDisplayWithFileLookup(benchmark::State& state) {
  char path[] = "/tmp/recmon-bench-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0 || ftruncate(fd, 5 * 1024 * 1024) != 0) {
    state.SkipWithError("cannot create the recording file");
    return;
  }
  close(fd);
  TDiskPlatform platform;
  RunRefreshes(state, platform, path);
  unlink(path);
}
BENCHMARK(BM_RefreshDisplayWithFileLookup);

}  // namespace
}  // namespace recmon

BENCHMARK_MAIN();
