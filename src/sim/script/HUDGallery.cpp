#include "sim/script/HUDGallery.h"
#include "sim/script/ScriptNumbers.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "sim/screen/SDLWindowBackend.h"
#include "sim/screen/SimScreen.h"
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
// business of the window, so screenshots, recordings and dumps are skipped.
class GalleryPlayer {
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
            if (commands[i].name != "wait")
                perform(commands[i]);
        start(step_ + 1);
    }

private:
    void perform(const ScriptCommand& command) {
        const std::string& n = command.name;
        if (n == "screenshot" || n == "record" || n == "stop" || n == "dump" || n == "views")
            return;
        if (auto problem = session_->perform(command))
            std::cerr << "orbitchat-sim: line " << command.line << ": " << *problem << "\n";
    }

    void play(std::size_t from) {
        const auto& commands = steps_[step_].commands;
        for (std::size_t i = from; i < commands.size(); ++i) {
            resume_ = i;
            if (commands[i].name == "wait") {
                auto loop = NSRunLoop::main();
                double seconds = scriptNumber(commands[i].arguments.at(0)).value_or(0);
                // Held, so a step left early (or the player gone) cancels the rest of its waits.
                wait_ = loop->enqueueAt(loop->now() + seconds, [this, i] { play(i + 1); });
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

bool RunHUDGalleryWindow(const Simulator::Options& options, const std::vector<ScriptCommand>& commands,
                         std::string& why) {
    Simulator simulator(options);
    auto loop = NSRunLoop::installMain(RealClock::create());
    SimScreen screen(simulator);
    auto window = SDLWindowBackend::open(
        screen, "orbitchat-sim HUD gallery: click or press a key for the next picture", why);
    if (!window)
        return false;
    GalleryPlayer player(simulator, screen, HUDGallerySteps(commands));
    window->setAdvanceHandler([&] { player.next(); });
    player.start(0);
    window->run();
    return true;
}
