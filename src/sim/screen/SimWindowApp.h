#pragma once

// orbitchat-sim with a display: the simulated device in an SDL window on a real clock, until the
// window closes. Fails (with the reason) when no window can be opened, so the caller can record
// the tour instead.
//
// With `stateFile`, the views dump and the window's scale are written there (atomically) after
// every drawn frame, for tests that drive the window from outside. With `idleReportSeconds`,
// after that long the CPU time used (getrusage) over the last half of it goes to standard error.

#include "platform/foundation/Result.h"
#include "sim/settings/Simulator.h"

#include <string>

struct SimWindowOptions {
    std::string stateFile;
    double idleReportSeconds = 0;
};

Result<> RunSimulatorWindow(const Simulator::Options& options, const SimWindowOptions& window);
