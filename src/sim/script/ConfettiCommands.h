#pragma once

// The script commands that throw confetti over the pane as its callers would (ScriptRunner
// hands them here), and the "confetti" part of the dump:
//
//   confetti burst X Y WIDTH N               burstAt:confettiWidth:numberOfConfetti:
//   confetti blast X Y ANGLE FORCE WIDTH N   blastFrom:towards:withForce:confettiWidth:numberOfConfetti:
//   confetti typed X Y ANGLE FORCE N TYPE    blastConfettiType:... with a piece type of the
//                                            simulator's own: SimStarView (a small gold star) or
//                                            SimNotAView (an object that is not a view, so the
//                                            emit makes nothing)
//
// Points are in the area's coordinates (the whole screen), angles in radians (0 to the right,
// π/2 straight up), forces in points per second. Counts of 0 or less are accepted and make
// nothing; counts above 100,000 are refused. Each command, and the pane's `burst`, starts only once the work already handed to
// the global queue has finished and what it posted to the main queue has run, and returns once
// its own pieces are attached: the same `--seed` gives the same pieces on every run, and a
// `dump` right after shows them before any simulation step.

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <vector>

class SettingsApp;

class ConfettiCommands {
public:
    static bool isConfettiCommand(const std::string& name) { return name == "confetti"; }
    // Checks a whole line (the command's name first); answers the problem, or nothing.
    static std::optional<std::string> check(const std::vector<std::string>& words);
    // Carries out a checked line; throws SettingsApp::Error when the pane is not open.
    static void run(SettingsApp& app, const std::vector<std::string>& arguments);
    // Waits for the global queue, then runs the main queue until it is idle.
    static void settle();
    // Registers the simulator's piece types in the current device (safe to call again).
    static void registerPieceTypes();

    // {"live": N, "pieces": [...]} for the pane's confetti area, or null without an open pane.
    static nlohmann::ordered_json dump(SettingsApp& app);
};
