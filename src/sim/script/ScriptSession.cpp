#include "sim/script/ScriptSession.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/graphics/DrawingLibraries.h"
#include "sim/screen/SimScreen.h"
#include "sim/script/HUDCommands.h"
#include "sim/script/ScreenCommands.h"
#include "sim/script/ScriptCommandRegistry.h"
#include "sim/settings/SettingsApp.h"
#include "sim/settings/Simulator.h"

ScriptSession::ScriptSession(Simulator& simulator, SimScreen* screen, std::string outputFolder,
                             std::ostream& out, bool needsScreen)
    : simulator_(simulator), out_(out), outputFolder_(std::move(outputFolder)), screen_(screen) {
    if (screen_ || needsScreen)
        makeScreen();
}

ScriptSession::~ScriptSession() {
    // The screen commands hold a frame subscription into the screen: they go first.
    screenCommands_.reset();
    hudCommands_.reset();
}

void ScriptSession::makeScreen() {
    if (!screen_) {
        ownScreen_ = std::make_unique<SimScreen>(simulator_);
        ownScreen_->followRunLoopFrames();
        screen_ = ownScreen_.get();
    }
    screenCommands_ = std::make_unique<ScreenCommands>(simulator_, *screen_, outputFolder_);
    hudCommands_ = std::make_unique<HUDCommands>(simulator_.settings(), *screen_);
}

bool ScriptSession::needsScreen(const std::string& name) {
    return ScriptCommandRegistry::needsScreen(name);
}

std::optional<std::string> ScriptSession::perform(const ScriptCommand& command) {
    const ScriptCommandDefinition* definition = ScriptCommandRegistry::find(command.name);
    if (!definition)
        return "unknown command " + doubleQuoted(command.name);
    // The drawing libraries are loaded when the first command that draws comes (or the first at
    // all, where the screen is made in advance); a run without them fails there, saying why,
    // instead of drawing with none.
    if (definition->needsScreen || screenCommands_) {
        if (auto loaded = DrawingLibraries::load(); !loaded)
            return loaded.reason();
    }
    if (definition->needsScreen && !screenCommands_)
        makeScreen();
    try {
        if (auto problem = definition->run(*this, command.arguments))
            return problem;
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

Result<> ScriptSession::finish() {
    return screenCommands_ ? screenCommands_->finish() : Result<>();
}

std::vector<std::string> ScriptSession::written() const {
    return screenCommands_ ? screenCommands_->written() : std::vector<std::string>{};
}
