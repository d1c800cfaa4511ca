#include "CaptureSink.h"

#include <algorithm>
#include <cmath>

namespace recmon {

std::vector<float> DownmixWeights(std::span<const TSpeaker> layout, unsigned channels) {
  const bool known =
      layout.size() == channels &&
      std::none_of(layout.begin(), layout.end(), [](TSpeaker s) { return s == TSpeaker::Other; });
  if (!known) {
    return std::vector<float>(channels, 1.0F / static_cast<float>(channels));
  }
  constexpr float kHalf = 0.5F;
  constexpr float kSurround = 0.5F * 0.70710678F;  // 3 dB below a front channel
  std::vector<float> weights;
  for (const TSpeaker speaker : layout) {
    switch (speaker) {
      case TSpeaker::Mono:
      case TSpeaker::FrontCenter:
        weights.push_back(1.0F);
        break;
      case TSpeaker::FrontLeft:
      case TSpeaker::FrontRight:
      case TSpeaker::FrontSide:
        weights.push_back(kHalf);
        break;
      case TSpeaker::Surround:
        weights.push_back(kSurround);
        break;
      case TSpeaker::RearCenter:
        weights.push_back(2 * kSurround);
        break;
      case TSpeaker::Lfe:
      case TSpeaker::Other:
        weights.push_back(0.0F);
        break;
    }
  }
  return weights;
}

void DownmixToMono(std::span<const float> interleaved, std::span<const float> weights,
                   std::vector<float>& mono) {
  const std::size_t channels = weights.size();
  const std::size_t frames = interleaved.size() / channels;
  mono.resize(frames);
  if (channels == 1 && weights[0] == 1.0F) {
    std::copy_n(interleaved.begin(), frames, mono.begin());
    return;
  }
  for (std::size_t f = 0; f < frames; ++f) {
    float sum = 0;
    for (std::size_t c = 0; c < channels; ++c) {
      sum += interleaved[f * channels + c] * weights[c];
    }
    mono[f] = sum;
  }
}

TCaptureSink::TCaptureSink(TFrameRing& ring, bool withOthers, std::optional<TFramePos> end)
    : Ring_(ring),
      Pairer_(withOthers, [this](std::span<const TStereoFrame> frames) { Ring_.Offer(frames); }),
      WithOthers_(withOthers) {
  if (end) {
    Pairer_.Limit(*end);
  }
}

void TCaptureSink::OnSamples(TSide side, std::span<const float> interleaved,
                             std::span<const float> weights, TClock::time_point now,
                             std::uint32_t tick, std::optional<TClock::duration> age) {
  DownmixToMono(interleaved, weights, Mono_);
  if (!Started_.load(std::memory_order_relaxed)) {
    // The first fragment ends now; the timeline starts where it began.
    Origin_ = now - std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(
                        static_cast<double>(Mono_.size()) / kSampleRate));
    TheirTick_.store(tick, std::memory_order_relaxed);
    Started_.store(true, std::memory_order_release);
  }
  const double rms = Windows_[static_cast<std::size_t>(side)].Add(Mono_);
  if (side == TSide::Others && SineDbfs(rms) > kSoundThresholdDbfs) {
    TheirTick_.store(tick, std::memory_order_relaxed);
  }
  std::optional<TFramePos> ageFrames;
  if (age) {
    ageFrames = static_cast<TFramePos>(
        std::llround(std::chrono::duration<double>(*age).count() * kSampleRate));
  }
  Pairer_.Deliver(side, Mono_, PositionAt(now), ageFrames);
  Publish();
}

void TCaptureSink::OnHole(TSide side, std::size_t frames, TClock::time_point now) {
  if (!Started_.load(std::memory_order_relaxed)) {
    return;  // nothing is recorded before the first audio
  }
  Pairer_.Hole(side, static_cast<TFramePos>(frames), PositionAt(now));
  Publish();
}

void TCaptureSink::OnTick(TClock::time_point now) {
  if (!Started_.load(std::memory_order_relaxed)) {
    return;
  }
  Pairer_.Tick(PositionAt(now));
  Publish();
}

void TCaptureSink::Finish(TFramePos end) {
  Pairer_.Finish(end);
  Publish();
}

void TCaptureSink::Publish() {
  for (const TSide side : {TSide::Mic, TSide::Others}) {
    Placed_[static_cast<std::size_t>(side)].store(Pairer_.Placed(side), std::memory_order_relaxed);
  }
  Lost_.store(Pairer_.LostFrames(), std::memory_order_relaxed);
}

std::optional<TCaptureSink::TClock::time_point> TCaptureSink::Origin() const {
  if (!Started_.load(std::memory_order_acquire)) {
    return std::nullopt;
  }
  return Origin_;
}

TFramePos TCaptureSink::PositionAt(TClock::time_point t) const {
  const auto origin = Origin();
  if (!origin) {
    return 0;
  }
  const std::chrono::duration<double> since = t - *origin;
  return static_cast<TFramePos>(std::llround(since.count() * kSampleRate));
}

bool TCaptureSink::Reached(TFramePos position) const {
  return Placed_[0].load(std::memory_order_relaxed) >= position &&
         (!WithOthers_ || Placed_[1].load(std::memory_order_relaxed) >= position);
}

TFramePos TCaptureSink::Furthest() const {
  return std::max(Placed_[0].load(std::memory_order_relaxed),
                  Placed_[1].load(std::memory_order_relaxed));
}

}  // namespace recmon
