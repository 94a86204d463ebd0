#include "sim/script/ScriptSession.h"
#include "sim/script/ScriptNumbers.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/net/URLLoadingSystem.h"
#include "platform/ui/UITableView.h"
#include "sim/screen/SimScreen.h"
#include "sim/script/ConfettiCommands.h"
#include "sim/script/HUDCommands.h"
#include "sim/script/ScreenCommands.h"
#include "sim/script/SimDump.h"
#include "sim/settings/Simulator.h"

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <ostream>

namespace {
// How long "network wait" waits for the network, in real time.
constexpr double kNetworkWaitSeconds = 10;
} // namespace

ScriptSession::ScriptSession(Simulator& simulator, SimScreen* screen, std::string outputFolder,
                             std::ostream& out, bool needsScreen)
    : simulator_(simulator), out_(out), screen_(screen) {
    if (!screen_ && needsScreen) {
        ownScreen_ = std::make_unique<SimScreen>(simulator);
        ownScreen_->followRunLoopFrames();
        screen_ = ownScreen_.get();
    }
    if (screen_) {
        screenCommands_ = std::make_unique<ScreenCommands>(simulator, *screen_, std::move(outputFolder));
        hudCommands_ = std::make_unique<HUDCommands>(simulator.settings(), *screen_);
    }
}

ScriptSession::~ScriptSession() {
    // The screen commands hold a frame subscription into the screen: they go first.
    screenCommands_.reset();
    hudCommands_.reset();
}

bool ScriptSession::needsScreen(const std::string& name) {
    return ScreenCommands::isScreenCommand(name) || HUDCommands::isHUDCommand(name);
}

std::optional<std::string> ScriptSession::perform(const ScriptCommand& command) {
    SettingsApp& app = simulator_.settings();
    const auto& args = command.arguments;
    try {
        if (hudCommands_ && HUDCommands::isHUDCommand(command.name)) {
            screen_->update();
            if (auto problem = hudCommands_->run(command.name, args))
                return problem;
        } else if (screenCommands_ && ScreenCommands::isScreenCommand(command.name)) {
            if (auto problem = screenCommands_->run(command.name, args, out_))
                return problem;
        } else if (command.name == "open") {
            if (args.empty())
                app.open();
            else if (args[0] == "settings")
                app.openSettings();
            else
                app.openBundle(args[1]);
        } else if (command.name == "tap") {
            if (!screenCommands_ || !screenCommands_->tap(args[0]))
                app.tap(args[0]);
        } else if (command.name == "set") {
            app.set(args[0], args[1]);
            // A drawn cell shows its new value, as the real control would after the change.
            if (auto list = app.visibleList(); screenCommands_ && list)
                list->table()->reloadData();
        } else if (command.name == "wait") {
            simulator_.runUntilIdle();
            simulator_.advanceBy(scriptNumber(args[0]).value_or(0));
        } else if (ConfettiCommands::isConfettiCommand(command.name)) {
            ConfettiCommands::run(app, args);
        } else if (command.name == "burst") {
            ConfettiCommands::settle();
            app.burst();
            ConfettiCommands::settle();
        } else if (command.name == "network") {
            if (args[0] == "hold" || args[0] == "release") {
                URLLoadingSystem::shared().setHoldsResponses(args[0] == "hold");
            } else if (auto settled = simulator_.settleNetwork(kNetworkWaitSeconds); !settled) {
                return "network wait: " + settled.failure().reason;
            }
        } else if (command.name == "dump") {
            out_ << SimDumpText(SimDump(simulator_)) << '\n';
            out_.flush();
        }
        // The main run loop, not necessarily the simulator's own: a window runs on a real clock.
        if (auto loop = NSRunLoop::main())
            loop->runUntilIdle();
        if (screenCommands_)
            screenCommands_->afterCommand();
    } catch (const SettingsApp::Error& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

std::optional<std::string> ScriptSession::finish() {
    return screenCommands_ ? screenCommands_->finish() : std::nullopt;
}

std::vector<std::string> ScriptSession::written() const {
    return screenCommands_ ? screenCommands_->written() : std::vector<std::string>{};
}
