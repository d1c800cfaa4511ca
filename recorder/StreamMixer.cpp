#include "StreamMixer.h"

#include <algorithm>

namespace recmon {

TStreamMixer::TStreamMixer(TMixPos latency) : Latency_(latency) {}

void TStreamMixer::Add(std::uint32_t id, std::span<const float> samples, TMixPos now) {
  const auto count = static_cast<TMixPos>(samples.size());
  auto [cursor, fresh] = Cursors_.try_emplace(id, now - count);
  // A fragment ends about when it arrives; one far from that is a stream
  // that paused, or a clock that ran apart, and is placed where it belongs.
  if (!fresh && (cursor->second + count > now + kDriftFrames ||
                 cursor->second + count < now - kDriftFrames)) {
    cursor->second = now - count;
  }
  TMixPos at = cursor->second;
  cursor->second += count;
  std::size_t first = 0;
  if (at < Emitted_) {
    const auto late = std::min<TMixPos>(Emitted_ - at, count);
    Late_ += static_cast<std::uint64_t>(late);
    first = static_cast<std::size_t>(late);
    at = Emitted_;
  }
  const auto end = static_cast<std::size_t>(at - Emitted_) + (samples.size() - first);
  if (Pending_.size() < end) {
    Pending_.resize(end, 0.0f);
  }
  auto into = Pending_.begin() + (at - Emitted_);
  for (std::size_t i = first; i < samples.size(); ++i, ++into) {
    *into += samples[i];
  }
}

void TStreamMixer::Remove(std::uint32_t id) {
  Cursors_.erase(id);
}

void TStreamMixer::Take(TMixPos now, std::vector<float>& out) {
  const TMixPos upTo = now - Latency_;
  if (upTo <= Emitted_) {
    return;
  }
  const auto count = static_cast<std::size_t>(upTo - Emitted_);
  const std::size_t held = std::min(count, Pending_.size());
  for (std::size_t i = 0; i < held; ++i) {
    out.push_back(std::clamp(Pending_[i], -1.0f, 1.0f));
  }
  out.insert(out.end(), count - held, 0.0f);
  Pending_.erase(Pending_.begin(), Pending_.begin() + static_cast<std::ptrdiff_t>(held));
  Emitted_ = upTo;
}

}  // namespace recmon
