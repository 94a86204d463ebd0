// Feeds arbitrary text to the simulator's script parser, which checks every line (the HUD and
// confetti commands included) against the command registry before anything runs. Whatever the
// input, parsing ends quickly with the commands or the first bad line, and every command it
// answers is one the registry knows and would accept again as it stands.

#include "sim/script/ScriptCommandRegistry.h"
#include "sim/script/ScriptRunner.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string script(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptCommand> commands;
    if (auto error = ScriptRunner::parse(script, commands)) {
        if (error->text().empty())
            std::abort();
        return 0;
    }
    std::size_t previous = 0;
    for (const ScriptCommand& command : commands) {
        // Lines count from 1 and come in order; every command has a name.
        if (command.line <= previous || command.name.empty())
            std::abort();
        previous = command.line;
        const ScriptCommandDefinition* definition = ScriptCommandRegistry::find(command.name);
        if (!definition || !definition->run)
            std::abort();
        if (definition->arguments && command.arguments.size() != *definition->arguments)
            std::abort();
        std::vector<std::string> words{command.name};
        words.insert(words.end(), command.arguments.begin(), command.arguments.end());
        if (ScriptCommandRegistry::check(words))
            std::abort();
    }
    return 0;
}
