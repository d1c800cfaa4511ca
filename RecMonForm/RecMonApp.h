#pragma once

// The program: application object, title and style, the one window, the
// event loop until that window closes.

namespace recmon {

inline constexpr const char* ApplicationTitle = "Kestrum Recording Monitor";

// Runs the monitor; returns the process exit code: 0 once the window closed,
// 1 when there is no display to show it on (one line on stderr says why).
int RunRecMon(int argc, char** argv);

}  // namespace recmon
