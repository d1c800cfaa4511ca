#pragma once

// The three things recmon-sim does, each attached to the channel only while
// it runs. Each returns the exit status and raises std::runtime_error when the
// channel is unavailable or a write fails.

#include <signal.h>

#include <iosfwd>

#include "SimArgs.h"

namespace recmon {

int RunPlay(const TSimCommand& command, const sigset_t& stopSignals, std::ostream& out);
int RunSet(const TSimCommand& command, const sigset_t& stopSignals, std::ostream& out);
int RunShow(std::ostream& out);

}  // namespace recmon
