#include "sim/script/ScriptCommandRegistry.h"

#include "platform/foundation/StringHelpers.h"
#include "platform/net/URLLoadingSystem.h"
#include "platform/ui/UITableView.h"
#include "sim/screen/SimScreen.h"
#include "sim/script/ConfettiCommands.h"
#include "sim/script/ExpectCommands.h"
#include "sim/script/HUDCommands.h"
#include "sim/script/ScreenCommands.h"
#include "sim/script/ScriptNumbers.h"
#include "sim/script/ScriptRunner.h"
#include "sim/script/ScriptSession.h"
#include "sim/script/SimDump.h"
#include "sim/settings/Simulator.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace {

using Arguments = std::vector<std::string>;
using Problem = std::optional<std::string>;

// How long "network wait" waits for the network, in real time.
constexpr double kNetworkWaitSeconds = 10;

constexpr const char* kOpenUsage = "open | open settings | open bundle \"LABEL\"";

Problem problemOf(const Result<>& result) {
    if (result)
        return std::nullopt;
    return result.failure().reason;
}

Problem checkOpen(const Arguments& args) {
    bool settings = args.size() == 1 && args[0] == "settings";
    bool bundle = args.size() == 2 && args[0] == "bundle";
    if (!args.empty() && !settings && !bundle)
        return std::string("open takes nothing, settings, or bundle \"LABEL\": ") + kOpenUsage;
    return std::nullopt;
}

Problem checkWait(const Arguments& args) {
    auto seconds = scriptNumber(args[0]);
    if (!seconds || *seconds < 0 || *seconds > ScriptRunner::kLongestWait)
        return "wait takes a number of seconds from 0 to " +
               std::to_string(static_cast<long>(ScriptRunner::kLongestWait)) + ", not " +
               doubleQuoted(args[0]);
    return std::nullopt;
}

double waitSeconds(const Arguments& args) {
    return scriptNumber(args[0]).value_or(0);
}

Problem checkNetwork(const Arguments& args) {
    if (args[0] != "wait" && args[0] != "hold" && args[0] != "release")
        return "network takes wait, hold or release, not " + doubleQuoted(args[0]);
    return std::nullopt;
}

// The handlers, in the table's order.

Problem open(ScriptSession& session, const Arguments& args) {
    SettingsApp& app = session.simulator().settings();
    if (args.empty())
        app.open();
    else if (args[0] == "settings")
        app.openSettings();
    else
        app.openBundle(args[1]);
    return std::nullopt;
}

Problem tap(ScriptSession& session, const Arguments& args) {
    ScreenCommands* screen = session.screenCommands();
    if (!screen || !screen->tap(args[0]))
        session.simulator().settings().tap(args[0]);
    return std::nullopt;
}

Problem set(ScriptSession& session, const Arguments& args) {
    SettingsApp& app = session.simulator().settings();
    app.set(args[0], args[1]);
    // A drawn cell shows its new value, as the real control would after the change.
    if (auto list = app.visibleList(); session.screenCommands() && list)
        list->table()->reloadData();
    return std::nullopt;
}

Problem wait(ScriptSession& session, const Arguments& args) {
    session.simulator().runUntilIdle();
    session.simulator().advanceBy(waitSeconds(args));
    return std::nullopt;
}

Problem burst(ScriptSession& session, const Arguments&) {
    ConfettiCommands::settle();
    session.simulator().settings().burst();
    ConfettiCommands::settle();
    return std::nullopt;
}

Problem dump(ScriptSession& session, const Arguments&) {
    session.out() << SimDumpText(SimDump(session.simulator())) << '\n';
    session.out().flush();
    return std::nullopt;
}

Problem network(ScriptSession& session, const Arguments& args) {
    if (args[0] == "hold" || args[0] == "release") {
        URLLoadingSystem::shared().setHoldsResponses(args[0] == "hold");
        return std::nullopt;
    }
    if (auto settled = session.simulator().settleNetwork(kNetworkWaitSeconds); !settled)
        return "network wait: " + settled.failure().reason;
    return std::nullopt;
}

Problem screenshot(ScriptSession& session, const Arguments& args) {
    return problemOf(session.screenCommands()->screenshot(args[0]));
}

Problem record(ScriptSession& session, const Arguments& args) {
    return problemOf(session.screenCommands()->record(args[0]));
}

Problem stop(ScriptSession& session, const Arguments&) {
    return problemOf(session.screenCommands()->stop());
}

Problem scroll(ScriptSession& session, const Arguments& args) {
    return problemOf(session.screenCommands()->scroll(args[0]));
}

Problem type(ScriptSession& session, const Arguments& args) {
    return problemOf(session.screenCommands()->type(args[0]));
}

Problem views(ScriptSession& session, const Arguments&) {
    session.screenCommands()->views(session.out());
    return std::nullopt;
}

// The HUD's commands see the screen as the last command left it.
Problem hud(ScriptSession& session, const Arguments& args) {
    session.screenCommands()->screen().update();
    return session.hudCommands()->runHUD(args);
}

Problem rotate(ScriptSession& session, const Arguments&) {
    session.screenCommands()->screen().update();
    session.hudCommands()->rotate();
    return std::nullopt;
}

Problem tilt(ScriptSession& session, const Arguments& args) {
    session.screenCommands()->screen().update();
    session.hudCommands()->tilt(args);
    return std::nullopt;
}

Problem confetti(ScriptSession& session, const Arguments& args) {
    ConfettiCommands::run(session.simulator().settings(), args);
    return std::nullopt;
}

// Every command, in the order messages list them. Usage lines are shown to the script's author
// as they are written here.
constexpr ScriptCommandDefinition kCommands[] = {
    {.name = "open", .arguments = std::nullopt, .usage = kOpenUsage, .check = checkOpen, .run = open},
    {.name = "tap", .arguments = 1, .usage = "tap \"TEXT\" | tap \"ROW\"#N | tap key=KEY", .run = tap},
    {.name = "set",
     .arguments = 2,
     .usage = "set \"ROW\" VALUE | set \"ROW\"#N VALUE | set key=KEY VALUE",
     .run = set},
    {.name = "wait",
     .arguments = 1,
     .usage = "wait SECONDS",
     .check = checkWait,
     .run = wait,
     .clockAdvance = waitSeconds},
    {.name = "burst", .arguments = 0, .usage = "burst", .run = burst},
    {.name = "dump", .arguments = 0, .usage = "dump", .writesOutput = true, .run = dump},
    {.name = "network",
     .arguments = 1,
     .usage = "network wait|hold|release",
     .check = checkNetwork,
     .run = network},
    {.name = "screenshot",
     .arguments = 1,
     .usage = "screenshot FILE",
     .needsScreen = true,
     .writesOutput = true,
     .run = screenshot},
    {.name = "record",
     .arguments = 1,
     .usage = "record FILE",
     .needsScreen = true,
     .writesOutput = true,
     .run = record},
    {.name = "stop", .arguments = 0, .usage = "stop", .needsScreen = true, .writesOutput = true, .run = stop},
    {.name = "scroll", .arguments = 1, .usage = "scroll \"ROW\"", .needsScreen = true, .run = scroll},
    {.name = "type",
     .arguments = 1,
     .usage = "type \"TEXT\" (into the field of the text row tapped last)",
     .needsScreen = true,
     .run = type},
    {.name = "views",
     .arguments = 0,
     .usage = "views",
     .needsScreen = true,
     .writesOutput = true,
     .run = views},
    {.name = "hud",
     .arguments = std::nullopt,
     .usage = "hud show|hide|mode|label|details|button|progress|offset|margin|minsize|square|grace|"
              "minshow|background|animation ...",
     .needsScreen = true,
     .check = HUDCommands::checkHUD,
     .run = hud},
    {.name = "rotate", .arguments = 0, .usage = "rotate", .needsScreen = true, .run = rotate},
    {.name = "tilt",
     .arguments = 2,
     .usage = "tilt X Y",
     .needsScreen = true,
     .check = HUDCommands::checkTilt,
     .run = tilt},
    {.name = "confetti",
     .arguments = std::nullopt,
     .usage = "confetti burst|blast|typed ...",
     .check = ConfettiCommands::check,
     .run = confetti},
    {.name = "expect",
     .arguments = std::nullopt,
     .usage = "expect value|stored|file|notification|title|alert|action|rows|log|no-placeholders ...",
     .check = ExpectCommands::check,
     .run = ExpectCommands::run},
};

} // namespace

std::span<const ScriptCommandDefinition> ScriptCommandRegistry::all() {
    return kCommands;
}

const ScriptCommandDefinition* ScriptCommandRegistry::find(std::string_view name) {
    for (const auto& command : kCommands)
        if (command.name == name)
            return &command;
    return nullptr;
}

bool ScriptCommandRegistry::needsScreen(std::string_view name) {
    const ScriptCommandDefinition* command = find(name);
    return command && command->needsScreen;
}

std::optional<std::string> ScriptCommandRegistry::check(const std::vector<std::string>& words) {
    if (words.empty())
        return std::string("an empty line is no command");
    const ScriptCommandDefinition* command = find(words[0]);
    if (!command) {
        std::vector<std::string> known;
        for (const auto& c : kCommands)
            known.emplace_back(c.name);
        return "unknown command " + doubleQuoted(words[0]) + " (known: " + joined(known, ", ") + ")";
    }
    const Arguments arguments(words.begin() + 1, words.end());
    if (command->arguments && arguments.size() != *command->arguments)
        return doubleQuoted(words[0]) + " takes " + std::to_string(*command->arguments) +
               " argument(s): " + std::string(command->usage);
    return command->check ? command->check(arguments) : std::nullopt;
}
