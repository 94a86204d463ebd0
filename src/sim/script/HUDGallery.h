#pragma once

// The HUD gallery of `orbitchat-sim --hud-gallery`: a script (examples/hud-gallery.script) that
// shows a progress HUD over the pane in each mode and with each option, one picture per
// `screenshot`. Headless, the script simply runs and records its pictures and animations. With a
// display, RunHUDGalleryWindow shows it in a window one picture at a time: each step runs the
// script's commands up to its next screenshot, its waits on the real clock, and a click or a key
// press moves on to the next step (after the last, the gallery starts over).

#include "platform/foundation/Result.h"
#include "sim/script/ScriptRunner.h"
#include "sim/settings/Simulator.h"

#include <string>
#include <vector>

struct HUDGalleryStep {
    std::string name; // the screenshot's file name, without its folder and extension
    std::vector<ScriptCommand> commands;
};

// Splits a script at its screenshots: each step ends with one (commands after the last one make
// a final step of their own).
std::vector<HUDGalleryStep> HUDGallerySteps(const std::vector<ScriptCommand>& commands);

// Shows the gallery until the window closes; fails (with the reason) when no window can be opened.
Result<> RunHUDGalleryWindow(const Simulator::Options& options, const std::vector<ScriptCommand>& commands);
