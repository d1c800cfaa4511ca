#pragma once

// SIGTERM, SIGINT and SIGHUP end the program as closing the window does: the
// event loop stops, the window is destroyed and the monitor detaches from the
// shared record, so a monitor that is the last user still removes it.

class QCoreApplication;

namespace recmon {

void QuitOnStopSignals(QCoreApplication& app);

}  // namespace recmon
