#pragma once

// SIGTERM, SIGINT and SIGHUP end the program as closing the window does: the
// event loop stops, the window is destroyed and the monitor detaches from the
// shared record, so a monitor that is the last user still removes it.

class QCoreApplication;

namespace recmon {

void QuitOnStopSignals(QCoreApplication& app);

// Whether a stop signal has come. A signal that arrives while an error box
// opened during start-up is showing ends only that box's loop (the main loop
// has not started yet), so start-up asks this before it goes on.
bool StopRequested();

}  // namespace recmon
