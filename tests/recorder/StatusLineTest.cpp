// The live line on a terminal.

#include <gtest/gtest.h>

#include <cmath>

#include "StatusLine.h"

namespace recmon {
namespace {

TEST(StatusLineTest, Rows) {
  const struct {
    const char* Proves;
    TStatusLineFigures Figures;
    const char* Text;
  } rows[] = {
      {"start: silence reads -inf",
       {},
       "REC 00:00:00  0.0 MB  mic -inf dB  others -inf dB  buffer 0%  dropped 0.0 s"},
      {"hours, minutes, seconds truncated; levels of sines in dBFS",
       {3725.9, 2500000, 0.5 / std::sqrt(2.0), 0.05 / std::sqrt(2.0), true, 12.4, 1.25, ""},
       "REC 01:02:05  2.5 MB  mic -6 dB  others -26 dB  buffer 12%  dropped 1.2 s"},
      {"the other side not recorded",
       {1, 0, 0.1, 0.3, false, 0, 0, ""},
       "REC 00:00:01  0.0 MB  mic -17 dB  others off  buffer 0%  dropped 0.0 s"},
      {"what is going on follows in brackets",
       {61, 0, 0, 0, true, 0, 3.04, "no sound server; waiting for it"},
       "REC 00:01:01  0.0 MB  mic -inf dB  others -inf dB  buffer 0%  dropped 3.0 s  (no sound "
       "server; waiting for it)"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(StatusLineText(row.Figures), row.Text) << row.Proves;
  }
}

}  // namespace
}  // namespace recmon
