#pragma once

// SIGINT, SIGTERM and SIGHUP are blocked for the whole program and taken only
// while it waits, so a stop request always ends in a clean finish (the file
// closed, the channel detached) instead of killing the program wherever it
// happens to be.

#include <signal.h>

#include <chrono>
#include <optional>

namespace recmon {

// Blocks the three signals in the calling thread and every thread started
// after it (call it before any); returns their set for the waits below.
sigset_t BlockStopSignals();

// Waits until `deadline`; true when a stop signal came first.
bool StopSignalledBefore(const sigset_t& signals, std::chrono::steady_clock::time_point deadline);

// Waits `duration` (forever when nothing); false when a stop signal came first.
bool WaitUnlessStopped(const sigset_t& signals,
                       std::optional<std::chrono::duration<double>> duration);

}  // namespace recmon
