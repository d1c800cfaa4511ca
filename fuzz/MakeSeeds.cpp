// Writes the seed corpus: records and clock values at the edges the readouts
// care about (halves, band edges, wraps, NaN and infinity, overflow).

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "TypicalCall.h"

namespace recmon::fuzz {
namespace {

struct TSeed {
  const char* name;
  TRecMonSnapshot record;
  double clock = 46000.5;
  std::uint32_t ticks = 10000;
  std::int64_t fileSize = 1536;
  std::uint8_t flags = 0;
  bool zeroRecord = false;
  std::uint8_t everyFlags = 0;   // flags of every refresh
  std::uint32_t tickStep = 200;  // ticks between two refreshes
};

// A call three seconds after the recorder's last update.
TRecMonSnapshot Call() {
  return TypicalCall(46000.5, 10000);
}

template <typename T>
void Append(std::vector<std::uint8_t>& out, T value) {
  std::uint8_t raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  out.insert(out.end(), raw, raw + sizeof(T));
}

std::vector<TSeed> Seeds() {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kMax = std::numeric_limits<double>::max();
  std::vector<TSeed> seeds;
  seeds.push_back({"zero-record", {}, 46000.5, 0, -1, 0, true});
  seeds.push_back({"magic-only", TRecMonSnapshot{}});
  seeds.push_back({"typical-call", Call()});
  auto s = Call();
  s.BufferSize = 40, s.BufferFree = 17;
  seeds.push_back({"buffer-half-58", s});
  s = Call();
  s.BufferSize = 0;
  seeds.push_back({"buffer-size-zero", s});
  s = Call();
  s.BufferSize = std::numeric_limits<std::int32_t>::min(), s.BufferFree = 1;
  seeds.push_back({"buffer-wrap", s});
  s = Call();
  s.StartTime = kNaN;
  seeds.push_back({"start-nan", s});
  s = Call();
  s.StartTime = -kMax;
  seeds.push_back({"elapsed-overflow", s, kMax});
  s = Call();
  s.LastUpdateTime = 0;
  seeds.push_back({"update-time-unset", s});
  s = Call();
  s.MyLevel = kInf, s.TheirLevel = kNaN;
  seeds.push_back({"levels-garbage", s});
  s = Call();
  s.MyLevel = 67108864.0;
  seeds.push_back({"level-wraps", s});
  s = Call();
  s.TheirLastSoundTick = 0xFFFFFFFFu - 1000;
  seeds.push_back({"tick-wrap", s, 46000.5, 4000});
  s = Call();
  s.BytesDropped = s.BytesRecorded = 0xFFFFFFFFu;
  seeds.push_back({"counts-max", s});
  s = Call();
  s.FileName = std::string(512, 'x');
  seeds.push_back({"name-no-nul", s, 46000.5, 0, 3LL << 31, 15});
  s = Call();
  s.Recording = false;
  seeds.push_back({"stopped-long-ago", s, 46001.5, 0, -1, 2 | 16});
  // The writer presence: ended, held with its beat moving, and a record that
  // stands still for longer than the monitor allows.
  seeds.push_back({"writer-gone", Call(), 46000.5, 10000, 1536, 0, false, PresenceGoneBit});
  seeds.push_back(
      {"writer-beating", Call(), 46000.5, 10000, 1536, 0, false, PresenceHeldBit | BeatMovesBit});
  seeds.push_back({"writer-stuck", Call(), 46000.5, 10000, 1536, 0, false, PresenceHeldBit, 4000});
  seeds.push_back({"clock-nan", Call(), kNaN});
  seeds.push_back({"clock-inf", Call(), -kInf});
  return seeds;
}

}  // namespace
}  // namespace recmon::fuzz

int main(int argc, char** argv) {
  using namespace recmon;
  using namespace recmon::fuzz;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  for (const auto& seed : Seeds()) {
    std::vector<std::uint8_t> bytes;
    const TRecMonStatusBytes record =
        seed.zeroRecord ? TRecMonStatusBytes{} : EncodeStatus(seed.record);
    bytes.insert(bytes.end(), record.begin(), record.end());
    for (int i = 0; i < RefreshesPerInput; ++i) {
      Append(bytes, seed.clock + i * 0.2 / 86400);
      Append(bytes, seed.ticks + static_cast<std::uint32_t>(i) * seed.tickStep);
      Append(bytes, seed.fileSize);
      Append(bytes, static_cast<std::uint8_t>((i == 0 ? seed.flags : 0) | seed.everyFlags));
    }
    std::ofstream out(std::string(argv[1]) + "/" + seed.name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write seed %s\n", seed.name);
      return 1;
    }
  }
  return 0;
}
