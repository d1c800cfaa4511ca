#include "StatusLine.h"

#include <cmath>
#include <cstdio>

#include "Levels.h"

namespace recmon {

namespace {

std::string Db(double rms) {
  const double db = SineDbfs(rms);
  if (!std::isfinite(db) || db < -99) {
    return "-inf dB";
  }
  char text[16];
  std::snprintf(text, sizeof text, "%.0f dB", db);
  return text;
}

}  // namespace

std::string StatusLineText(const TStatusLineFigures& f) {
  const auto whole = static_cast<std::uint64_t>(f.RecordedSeconds);
  char head[96];
  std::snprintf(head, sizeof head, "REC %02llu:%02llu:%02llu  %.1f MB  ",
                static_cast<unsigned long long>(whole / 3600),
                static_cast<unsigned long long>(whole / 60 % 60),
                static_cast<unsigned long long>(whole % 60),
                static_cast<double>(f.FileBytes) / 1e6);
  char tail[64];
  std::snprintf(tail, sizeof tail, "  buffer %.0f%%  dropped %.1f s", f.BufferPercent,
                f.DroppedSeconds);
  std::string text = head + ("mic " + Db(f.MicRms)) + "  others " +
                     (f.WithOthers ? Db(f.OthersRms) : "off") + tail;
  if (!f.Note.empty()) {
    text += "  (" + f.Note + ")";
  }
  return text;
}

}  // namespace recmon
