#include "TimeCode.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace recmon::test {

namespace {

constexpr int kRate = 48000;
constexpr double kLow = 0.05;
constexpr double kHigh = 0.95;
constexpr std::size_t kWindow = kRate / 10;
constexpr std::size_t kBlock = kRate / 100;
// Quieter than this is silence; the ramp never comes near it.
constexpr double kSilence = 1e-4;
// Within a stretch of audio the offset varies by less than this: 16-bit
// steps of the ramp are 2 ms apart.
constexpr double kWhole = 0.005;

double PlayedAt(double value) {
  return (value - kLow) / (kHigh - kLow) * kRampSeconds;
}

std::vector<float> Samples(const std::string& file) {
  SF_INFO info{};
  SNDFILE* f = sf_open(file.c_str(), SFM_READ, &info);
  if (f == nullptr || info.channels != 2) {
    throw std::runtime_error("cannot read " + file + " as stereo: " + sf_strerror(nullptr));
  }
  std::vector<float> samples(static_cast<std::size_t>(info.frames) * 2);
  samples.resize(static_cast<std::size_t>(sf_readf_float(f, samples.data(), info.frames)) * 2);
  sf_close(f);
  return samples;
}

}  // namespace

void MakeTimeCode(const std::string& path, double fromSeconds, double seconds) {
  std::ofstream out(path, std::ios::binary);
  const auto frames = static_cast<std::size_t>(seconds * kRate);
  std::vector<float> data(frames * 2);
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = fromSeconds + static_cast<double>(i) / kRate;
    data[2 * i] = data[2 * i + 1] =
        static_cast<float>(kLow + (kHigh - kLow) * std::min(t, kRampSeconds) / kRampSeconds);
  }
  out.write(reinterpret_cast<const char*>(data.data()),
            static_cast<std::streamsize>(data.size() * sizeof(float)));
}

std::unique_ptr<TChildProcess> PlayTimeCode(const std::string& path, const std::string& sink) {
  std::vector<std::string> args{"--playback",   "--raw",        "--format=float32le",
                                "--rate=48000", "--channels=2", "--latency-msec=200"};
  if (!sink.empty()) {
    args.push_back("--device=" + sink);
  }
  args.push_back(path);
  return std::make_unique<TChildProcess>("/usr/bin/pacat", args);
}

std::vector<TPiece> ReadTimeCode(const std::string& file, int channel) {
  const std::vector<float> samples = Samples(file);
  const std::size_t frames = samples.size() / 2;
  std::vector<TPiece> stretches;
  for (std::size_t start = 0; start + kWindow <= frames; start += kWindow) {
    TPiece s;
    s.FileTime = static_cast<double>(start) / kRate;
    double least = 1e9;
    double most = -1e9;
    bool silent = true;
    std::vector<double> offsets;
    for (std::size_t i = start; i < start + kWindow; ++i) {
      const double v = samples[2 * i + static_cast<std::size_t>(channel)];
      silent = silent && std::abs(v) < kSilence;
      const double offset = static_cast<double>(i) / kRate - PlayedAt(v);
      least = std::min(least, offset);
      most = std::max(most, offset);
      offsets.push_back(offset);
    }
    if (silent) {
      s.Kind = TPiece::Silent;
    } else if (most - least < kWhole) {
      s.Kind = TPiece::Audio;
      std::nth_element(offsets.begin(), offsets.begin() + static_cast<std::ptrdiff_t>(kWindow / 2),
                       offsets.end());
      s.Offset = offsets[kWindow / 2];
    }
    stretches.push_back(s);
  }
  return stretches;
}

double SilentSeconds(const std::string& file, int channel, double from, double to) {
  const std::vector<float> samples = Samples(file);
  const std::size_t frames = std::min(samples.size() / 2, static_cast<std::size_t>(to * kRate));
  std::size_t silent = 0;
  for (std::size_t start = static_cast<std::size_t>(from * kRate); start + kBlock <= frames;
       start += kBlock) {
    bool quiet[2] = {true, true};
    for (std::size_t i = start; i < start + kBlock; ++i) {
      for (int c = 0; c < 2; ++c) {
        quiet[c] = quiet[c] && std::abs(samples[2 * i + static_cast<std::size_t>(c)]) < kSilence;
      }
    }
    const bool counted = channel < 0 ? (quiet[0] || quiet[1]) : quiet[channel];
    silent += counted ? kBlock : 0;
  }
  return static_cast<double>(silent) / kRate;
}

namespace {

double Median(std::vector<double> values) {
  if (values.empty()) {
    return NAN;
  }
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

}  // namespace

double OffsetIn(const std::vector<TPiece>& channel, double from, double to) {
  std::vector<double> offsets;
  for (const TPiece& s : channel) {
    if (s.Kind == TPiece::Audio && s.FileTime >= from && s.FileTime < to) {
      offsets.push_back(s.Offset);
    }
  }
  return Median(offsets);
}

double ApartIn(const std::vector<TPiece>& left, const std::vector<TPiece>& right, double from,
               double to) {
  std::vector<double> apart;
  for (std::size_t i = 0; i < std::min(left.size(), right.size()); ++i) {
    if (left[i].Kind == TPiece::Audio && right[i].Kind == TPiece::Audio &&
        left[i].FileTime >= from && left[i].FileTime < to) {
      apart.push_back(left[i].Offset - right[i].Offset);
    }
  }
  return Median(apart);
}

bool InOrder(const std::vector<TPiece>& channel) {
  double last = -1e9;
  for (const TPiece& s : channel) {
    if (s.Kind != TPiece::Audio) {
      continue;
    }
    const double played = s.FileTime - s.Offset;
    if (played <= last) {
      return false;
    }
    last = played;
  }
  return true;
}

double LongestGap(const std::vector<TPiece>& channel, double from, double to) {
  double longest = 0;
  double run = 0;
  for (const TPiece& s : channel) {
    if (s.FileTime < from || s.FileTime >= to) {
      continue;
    }
    run = s.Kind == TPiece::Audio ? 0 : run + 0.1;
    longest = std::max(longest, run);
  }
  return longest;
}

}  // namespace recmon::test
