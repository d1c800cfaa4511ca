#pragma once

// A record of a call in progress with every figure in an ordinary range, the
// one starting point for tests, fuzz seeds and benchmarks. Vary the fields a
// case is about from here.

#include <cstdint>

#include "RecordingDefs.h"

namespace recmon {

// Started 100 s before its last update, which was 3 s before `now`, with
// 95 s of audio in the file then; buffer 5 % full (Good); 2 s dropped, of
// which 1/0; both levels a quarter; the other parties heard at `tick`.
inline TRecMonSnapshot TypicalCall(double now, std::uint32_t tick) {
  TRecMonSnapshot s;
  s.FileName = "/home/user/Recordings/call.wav";
  s.Recording = true;
  s.LastUpdateTime = now - DaysFromSeconds(3);
  s.StartTime = s.LastUpdateTime - DaysFromSeconds(100);
  s.BytesRecorded = 95 * AudioBytesPerSecond;
  s.BufferSize = 100;
  s.BufferFree = 95;
  s.BytesDropped = 2 * AudioBytesPerSecond;
  s.BytesDropped1 = AudioBytesPerSecond;
  s.MyLevel = 0.25;
  s.TheirLevel = 0.25;
  s.TheirLastSoundTick = tick;
  s.TheirRecordMode = TheirRecordModeRecorded;
  return s;
}

}  // namespace recmon
