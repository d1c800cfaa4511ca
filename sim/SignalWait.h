#pragma once

// SIGINT, SIGTERM and SIGHUP are blocked for the whole program and taken only
// while it waits, so a stop request always ends in a clean detach instead of
// killing the program wherever it happens to be.

#include <signal.h>

#include <chrono>
#include <optional>

namespace recmon {

// Blocks the three signals; returns their set for the waits below.
sigset_t BlockStopSignals();

// Waits `duration` (forever when nothing); false when a stop signal came first.
bool WaitUnlessStopped(const sigset_t& signals,
                       std::optional<std::chrono::duration<double>> duration);

}  // namespace recmon
