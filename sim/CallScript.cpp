#include "CallScript.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace recmon {

namespace {

// The sound server loses half a second (a stalled source, as when a headset
// reconnects).
constexpr double kGlitchAt = 12;
constexpr double kGlitchSeconds = 0.5;
constexpr double kSilentFrom = 18;  // the other party sends no sound data
constexpr double kSilentUntil = 26;
constexpr double kOverflowFrom = 39;  // the buffer is full; new audio is dropped
constexpr double kOverflowUntil = 41;
constexpr double kTurnSeconds = 4;  // speakers take turns this long

struct TFillPoint {
  double At;
  double Fill;  // used part of the buffer
};
// Never rising faster than audio arrives (1/8 of the buffer per second), and
// not at all while the sound server delivers nothing, so the recorded count
// never goes back.
constexpr std::array<TFillPoint, 10> kFill{{{0, 0.02},
                                            {kGlitchAt, 0.025},
                                            {kGlitchAt + kGlitchSeconds, 0.025},
                                            {28, 0.03},
                                            {33, 0.38},
                                            {37, 0.76},
                                            {kOverflowFrom, 1.0},
                                            {kOverflowUntil, 1.0},
                                            {49, 0.03},
                                            {CallEndsAt, 0.02}}};

double BufferFill(double t) {
  for (std::size_t i = 1; i < kFill.size(); ++i) {
    if (t <= kFill[i].At) {
      const TFillPoint& a = kFill[i - 1];
      const TFillPoint& b = kFill[i];
      return a.Fill + (b.Fill - a.Fill) * (t - a.At) / (b.At - a.At);
    }
  }
  return kFill.back().Fill;
}

// Seconds of audio lost in [from, until] up to t.
double LostBy(double t, double from, double until) {
  return std::clamp(t, from, until) - from;
}

double SpeakingLevel(double t) {
  const double tau = 2 * std::numbers::pi;
  return 0.14 + 0.2 * std::abs(std::sin(tau * 1.3 * t)) + 0.1 * std::abs(std::sin(tau * 0.37 * t));
}

double ListeningLevel(double t) {
  return 0.025 + 0.01 * std::abs(std::sin(5 * t));
}

constexpr std::array<TCallEvent, 11> kEvents{{
    {0, "Recording started"},
    {kGlitchAt, "The sound server loses half a second of audio"},
    {kSilentFrom, "The other party sends no sound for a while"},
    {kSilentUntil, "The other party is back"},
    {28, "The buffer starts filling (Fair from 10 %)"},
    {33, "The buffer keeps filling (Poor from 60 %)"},
    {kOverflowFrom, "The buffer is full: writing fell behind and audio is dropped"},
    {kOverflowUntil, "The buffer drains"},
    {49, "The buffer is healthy again"},
    {CallStopsAt, "Recording stopped"},
    {CallEndsAt, "Done"},
}};

}  // namespace

TCallFrame CallAt(double t) {
  t = std::clamp(t, 0.0, CallEndsAt);
  const double counted = std::min(t, CallStopsAt);
  TCallFrame f;
  f.Recording = t < CallStopsAt;
  f.CountAt = counted;

  const double glitch = LostBy(counted, kGlitchAt, kGlitchAt + kGlitchSeconds);
  const double overflow = LostBy(counted, kOverflowFrom, kOverflowUntil);
  f.DroppedBufferFull = static_cast<std::uint32_t>(overflow * AudioBytesPerSecond);
  f.DroppedAtServer = static_cast<std::uint32_t>(glitch * AudioBytesPerSecond);

  // Once recording stops the buffer is flushed to the file.
  const double buffered = f.Recording ? BufferFill(t) * CallBufferSize : 0;
  f.BufferFree = CallBufferSize - static_cast<std::int32_t>(std::lround(buffered));
  const double captured = counted * AudioBytesPerSecond;
  f.BytesRecorded = static_cast<std::uint32_t>(
      std::max(0.0, std::round(captured - buffered - (glitch + overflow) * AudioBytesPerSecond)));

  const bool silent = t >= kSilentFrom && t < kSilentUntil;
  f.TheirLastSoundAt = silent ? kSilentFrom : counted;
  if (f.Recording) {
    const bool myTurn = static_cast<int>(t / kTurnSeconds) % 2 == 0;
    f.MyLevel = myTurn ? SpeakingLevel(t) : ListeningLevel(t);
    f.TheirLevel = silent ? 0 : (myTurn ? ListeningLevel(t) : SpeakingLevel(t + 1.7));
  }
  return f;
}

std::span<const TCallEvent> CallEvents() {
  return kEvents;
}

}  // namespace recmon
