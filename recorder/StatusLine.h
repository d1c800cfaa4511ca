#pragma once

// The one live line shown on a terminal while recording.

#include <cstdint>
#include <string>

namespace recmon {

struct TStatusLineFigures {
  double RecordedSeconds = 0;
  std::uint64_t FileBytes = 0;
  double MicRms = 0;
  double OthersRms = 0;
  bool WithOthers = true;
  double BufferPercent = 0;
  double DroppedSeconds = 0;
  std::string Note;  // what is going on, when something is
};

// "REC 00:01:05  1.2 MB  mic -23 dB  others -41 dB  buffer 0%  dropped 0.0 s";
// a silent side reads "-inf dB", a side not recorded "off"; a note follows
// in brackets.
std::string StatusLineText(const TStatusLineFigures& f);

}  // namespace recmon
