#pragma once

// The program: application object, title and style, the one window, the
// event loop until that window closes.

namespace recmon {

inline constexpr const char* ApplicationTitle = "Kestrum Recording Monitor";

// Runs the monitor; returns the process exit code (0 once the window closed).
int RunRecMon(int argc, char** argv);

}  // namespace recmon
