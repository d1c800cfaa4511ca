#include "CaptureSink.h"

#include <algorithm>
#include <cmath>

namespace recmon {

void DownmixToMono(std::span<const float> interleaved, unsigned channels,
                   std::vector<float>& mono) {
  const std::size_t frames = interleaved.size() / channels;
  mono.resize(frames);
  if (channels == 1) {
    std::copy_n(interleaved.begin(), frames, mono.begin());
    return;
  }
  const float scale = 1.0F / static_cast<float>(channels);
  for (std::size_t f = 0; f < frames; ++f) {
    float sum = 0;
    for (unsigned c = 0; c < channels; ++c) {
      sum += interleaved[f * channels + c];
    }
    mono[f] = sum * scale;
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

void TCaptureSink::OnSamples(TSide side, std::span<const float> interleaved, unsigned channels,
                             TClock::time_point now, std::uint32_t tick) {
  DownmixToMono(interleaved, channels, Mono_);
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
  Pairer_.Deliver(side, Mono_, PositionAt(now));
  Publish();
}

void TCaptureSink::OnHole(TSide side, std::size_t frames) {
  Pairer_.Hole(side, static_cast<TFramePos>(frames));
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
  Lost_.store(std::max(Pairer_.LostFrames(TSide::Mic), Pairer_.LostFrames(TSide::Others)),
              std::memory_order_relaxed);
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
