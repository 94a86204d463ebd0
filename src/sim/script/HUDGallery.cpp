#include "sim/script/HUDGallery.h"

#include "sim/script/ScriptRunner.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "sim/screen/SDLWindowBackend.h"
#include "sim/screen/SimScreen.h"
#include "sim/script/ScriptCommandRegistry.h"
#include "sim/script/ScriptSession.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

std::vector<HUDGalleryStep> HUDGallerySteps(const std::vector<ScriptCommand>& commands) {
    std::vector<HUDGalleryStep> steps;
    HUDGalleryStep current;
    for (const auto& command : commands) {
        current.commands.push_back(command);
        if (command.name == "screenshot") {
            current.name = std::filesystem::path(command.arguments.at(0)).stem().string();
            steps.push_back(std::move(current));
            current = {};
        }
    }
    if (!current.commands.empty()) {
        current.name = "end";
        steps.push_back(std::move(current));
    }
    return steps;
}

namespace {

// Plays the steps on the window's real-clock run loop. The files a headless run writes are no
// business of the window, so commands that write files or print are skipped.
class GalleryPlayer : public std::enable_shared_from_this<GalleryPlayer> {
public:
    GalleryPlayer(Simulator& simulator, SimScreen& screen, std::vector<HUDGalleryStep> steps)
        : simulator_(simulator), screen_(screen), steps_(std::move(steps)) {}

    void start(std::size_t step) {
        if (steps_.empty())
            return;
        if (step >= steps_.size() || !session_) {
            // From the top with a fresh configuration, as a new run of the script would be.
            step = 0;
            session_ = std::make_unique<ScriptSession>(simulator_, &screen_, "", discard_, true);
        }
        step_ = step;
        wait_.reset();
        std::cerr << "orbitchat-sim: HUD gallery " << (step_ + 1) << "/" << steps_.size() << ": "
                  << steps_[step_].name << "\n";
        play(0);
    }

    // The user wants the next picture: what is left of this step runs at once, without its
    // waits, so the next one starts from the state the script expects.
    void next() {
        wait_.reset();
        const auto& commands = steps_[step_].commands;
        for (std::size_t i = resume_; i < commands.size(); ++i)
            if (!clockAdvance(commands[i]))
                perform(commands[i]);
        start(step_ + 1);
    }

private:
    // How long a command advances the clock, when it is one that does (a wait).
    static std::optional<double> clockAdvance(const ScriptCommand& command) {
        const ScriptCommandDefinition* definition = ScriptCommandRegistry::find(command.name);
        if (!definition || !definition->clockAdvance)
            return std::nullopt;
        return definition->clockAdvance(command.arguments);
    }

    void perform(const ScriptCommand& command) {
        const ScriptCommandDefinition* definition = ScriptCommandRegistry::find(command.name);
        if (definition && definition->writesOutput)
            return;
        // In the window a gallery goes on after a line that fails or an expectation that is not
        // met: it says so and shows the next step.
        try {
            if (auto problem = session_->perform(command))
                std::cerr << "orbitchat-sim: line " << command.line << ": " << *problem << "\n";
        } catch (const ScriptExpectationFailure& unmet) {
            std::cerr << "orbitchat-sim: line " << command.line << ": " << unmet.what() << "\n";
        }
    }

    void play(std::size_t from) {
        const auto& commands = steps_[step_].commands;
        for (std::size_t i = from; i < commands.size(); ++i) {
            resume_ = i;
            if (auto seconds = clockAdvance(commands[i])) {
                auto loop = NSRunLoop::main();
                // Held, so a step left early cancels the rest of its waits; the task holds the
                // player weakly, so one still queued when the window closes does nothing.
                wait_ = loop->enqueueAt(loop->now() + *seconds, [weak = weak_from_this(), i] {
                    if (auto self = weak.lock())
                        self->play(i + 1);
                });
                return;
            }
            perform(commands[i]);
        }
        resume_ = commands.size();
    }

    Simulator& simulator_;
    SimScreen& screen_;
    std::vector<HUDGalleryStep> steps_;
    std::unique_ptr<ScriptSession> session_;
    std::ostringstream discard_;
    std::size_t step_ = 0, resume_ = 0;
    Subscription wait_;
};

} // namespace

Result<> RunHUDGalleryWindow(const Simulator::Options& options, const std::vector<ScriptCommand>& commands) {
    Simulator simulator(options);
    auto loop = NSRunLoop::installMain(RealClock::create());
    SimScreen screen(simulator);
    std::string why;
    auto window = SDLWindowBackend::open(
        screen, "orbitchat-sim HUD gallery: click or press a key for the next picture", why);
    if (!window)
        return Failure{why};
    auto player = std::make_shared<GalleryPlayer>(simulator, screen, HUDGallerySteps(commands));
    window->setAdvanceHandler([&player] { player->next(); });
    player->start(0);
    window->run();
    return {};
}
