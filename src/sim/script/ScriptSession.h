#pragma once

// Carries out script commands one at a time on a simulator (ScriptRunner runs whole scripts
// through it; the HUD gallery's window steps through one as the user clicks). Each command is
// looked up in ScriptCommandRegistry and runs its handler here. Commands that look at the screen
// use the given SimScreen; without one, a session that meets such a command makes its own,
// following the run loop's frames, as a headless script needs.
//
//     ScriptSession session(simulator, nullptr, "out", std::cout);
//     session.perform(command);     // an error message for the script's author, or nothing
//     session.finish();             // ends a recording the commands left running

#include "platform/foundation/Result.h"
#include "sim/script/ScriptRunner.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class HUDCommands;
class ScreenCommands;
class SimScreen;
class Simulator;

class ScriptSession {
public:
    // `screen` may be null; `needsScreen` makes one at once (for a script with screen commands).
    ScriptSession(Simulator& simulator, SimScreen* screen, std::string outputFolder, std::ostream& out,
                  bool needsScreen);
    ~ScriptSession();
    ScriptSession(const ScriptSession&) = delete;
    ScriptSession& operator=(const ScriptSession&) = delete;

    // Whether a command needs the drawn screen.
    static bool needsScreen(const std::string& name);

    // Carries out one parsed command, then runs what it made due and lets the screen catch up.
    // "wait" advances the simulator's clock.
    std::optional<std::string> perform(const ScriptCommand& command);
    // Ends what the script left running; fails when a recording cannot be written.
    Result<> finish();
    // The files the screen commands wrote, in order.
    std::vector<std::string> written() const;

    // What a command's handler reaches (ScriptCommandRegistry). The screen's commands exist once
    // the session has a screen: always for a command that needs one.
    Simulator& simulator() { return simulator_; }
    std::ostream& out() { return out_; }
    ScreenCommands* screenCommands() { return screenCommands_.get(); }
    HUDCommands* hudCommands() { return hudCommands_.get(); }

private:
    void makeScreen();

    Simulator& simulator_;
    std::ostream& out_;
    std::string outputFolder_;
    std::unique_ptr<SimScreen> ownScreen_;
    SimScreen* screen_ = nullptr;
    std::unique_ptr<ScreenCommands> screenCommands_;
    std::unique_ptr<HUDCommands> hudCommands_;
};
