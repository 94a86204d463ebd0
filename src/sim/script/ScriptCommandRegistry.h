#pragma once

// Every command a simulator script knows, registered once: its name, how many arguments it
// takes, its usage line, whether it needs the drawn screen, whether it writes files or prints,
// how its arguments are checked before anything runs, and the handler that carries it out in a
// ScriptSession. The parser (ScriptRunner), the session, the HUD gallery's window, `shot` and the
// script fuzzer all ask here, so a new command is one more entry in the table of
// ScriptCommandRegistry.cpp, and its usage shows in every message that lists commands.
//
//     const ScriptCommandDefinition* tap = ScriptCommandRegistry::find("tap");
//     tap->usage;                                           // tap "TEXT"
//     ScriptCommandRegistry::check({"tap"});                // "\"tap\" takes 1 argument(s): ..."
//
// The table is constant: nothing here changes while the program runs.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class ScriptSession;

struct ScriptCommandDefinition {
    // The problem with a line's arguments for the script's author, or nothing.
    using Check = std::optional<std::string> (*)(const std::vector<std::string>& arguments);
    // Carries out a checked line; answers the problem for the script's author, or nothing.
    using Handler = std::optional<std::string> (*)(ScriptSession& session,
                                                   const std::vector<std::string>& arguments);
    // How far a line moves the simulated clock, in seconds.
    using ClockAdvance = double (*)(const std::vector<std::string>& arguments);

    std::string_view name;
    // The number of arguments, checked before `check` runs; none for a command whose `check`
    // decides it alone (a word that picks what follows: "open bundle", "hud mode").
    std::optional<std::size_t> arguments;
    std::string_view usage;
    // Looks at or draws on the screen: a session makes one before it runs the command.
    bool needsScreen = false;
    // Writes a file or prints: a window that plays a script for the user skips it.
    bool writesOutput = false;
    // Further checks of a line whose count is right; null when the count is all.
    Check check = nullptr;
    Handler run = nullptr;
    // Set for a command that advances the simulated clock (a window waits as long in real time).
    ClockAdvance clockAdvance = nullptr;
};

class ScriptCommandRegistry {
public:
    // Every command, in the order that messages list them.
    static std::span<const ScriptCommandDefinition> all();
    // The command called `name`, or null.
    static const ScriptCommandDefinition* find(std::string_view name);
    // Checks one line's words, the command's name first: an unknown name, a wrong number of
    // arguments, or what the command's own check finds; nothing when the line can run.
    static std::optional<std::string> check(const std::vector<std::string>& words);
    // Whether a command needs the drawn screen (false for a name the registry lacks).
    static bool needsScreen(std::string_view name);
};
