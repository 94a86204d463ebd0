#include "sim/script/ScriptRunner.h"
#include "sim/script/ScriptNumbers.h"

#include "sim/script/ConfettiCommands.h"
#include "sim/script/HUDCommands.h"
#include "sim/script/ScreenCommands.h"
#include "sim/script/ScriptSession.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <sstream>

namespace {

struct CommandShape {
    const char* name;
    std::size_t arguments;
    const char* usage;
};

constexpr CommandShape kCommands[] = {
    {"open", 0, "open | open settings | open bundle \"LABEL\""},
    {"tap", 1, "tap \"TEXT\""},
    {"set", 2, "set \"ROW\" VALUE"},
    {"wait", 1, "wait SECONDS"},
    {"burst", 0, "burst"},
    {"dump", 0, "dump"},
    {"network", 1, "network wait|hold|release"},
};

// Splits a line into words; answers an error message or empty.
std::string tokenize(const std::string& line, std::vector<std::string>& words) {
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        std::string word;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\') {
                    if (i >= line.size())
                        break;
                    char e = line[i++];
                    if (e != '"' && e != '\\')
                        return std::string("unknown escape \\") + e + " (only \\\" and \\\\ are known)";
                    word += e;
                    continue;
                }
                word += d;
            }
            if (!closed)
                return "unterminated quoted text";
            if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#')
                return "quoted text must be followed by a space";
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '#') {
                if (line[i] == '"')
                    return "a quote inside a bare word; quote the whole argument";
                word += line[i++];
            }
        }
        words.push_back(std::move(word));
    }
    return {};
}

bool parseSeconds(const std::string& text, double& seconds) {
    auto value = scriptNumber(text);
    seconds = value.value_or(0);
    return value && seconds >= 0 && seconds <= ScriptRunner::kLongestWait;
}

} // namespace

std::string ScriptError::text() const {
    return line == 0 ? message : "line " + std::to_string(line) + ": " + message;
}

std::optional<ScriptError> ScriptRunner::parse(const std::string& script,
                                               std::vector<ScriptCommand>& commands) {
    if (script.size() > kMaximumScriptBytes)
        return ScriptError{0, "the script is longer than " + std::to_string(kMaximumScriptBytes) + " bytes"};
    // A byte-order mark that an editor put first is not part of the first command.
    std::istringstream in(script.rfind("\xEF\xBB\xBF", 0) == 0 ? script.substr(3) : script);
    std::string line;
    std::size_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.size() > kMaximumLineBytes)
            return ScriptError{number,
                               "the line is longer than " + std::to_string(kMaximumLineBytes) + " bytes"};
        std::vector<std::string> words;
        if (std::string problem = tokenize(line, words); !problem.empty())
            return ScriptError{number, problem};
        if (words.empty())
            continue;
        if (ConfettiCommands::isConfettiCommand(words[0])) {
            if (auto problem = ConfettiCommands::check(words))
                return ScriptError{number, *problem};
            commands.push_back({number, words[0], {words.begin() + 1, words.end()}});
            continue;
        }
        if (HUDCommands::isHUDCommand(words[0])) {
            if (auto problem = HUDCommands::check(words))
                return ScriptError{number, *problem};
            commands.push_back({number, words[0], {words.begin() + 1, words.end()}});
            continue;
        }
        const CommandShape* shape = nullptr;
        for (const auto& c : kCommands) {
            if (words[0] == c.name)
                shape = &c;
        }
        CommandShape screenShape{};
        for (const auto& c : ScreenCommands::shapes()) {
            if (words[0] == c.name) {
                screenShape = {c.name, c.arguments, c.usage};
                shape = &screenShape;
            }
        }
        if (!shape) {
            std::string known;
            for (const auto& c : kCommands)
                known += (known.empty() ? "" : ", ") + std::string(c.name);
            for (const auto& c : ScreenCommands::shapes())
                known += ", " + std::string(c.name);
            known += ", hud, rotate, tilt, confetti";
            return ScriptError{number, "unknown command \"" + words[0] + "\" (known: " + known + ")"};
        }
        // "open" also takes "settings", or "bundle" and a label.
        if (words[0] == "open" && words.size() > 1) {
            bool settings = words.size() == 2 && words[1] == "settings";
            bool bundle = words.size() == 3 && words[1] == "bundle";
            if (!settings && !bundle)
                return ScriptError{number,
                                   std::string("open takes nothing, settings, or bundle \"LABEL\": ") +
                                       shape->usage};
            commands.push_back({number, words[0], {words.begin() + 1, words.end()}});
            continue;
        }
        if (words.size() - 1 != shape->arguments)
            return ScriptError{number, "\"" + words[0] + "\" takes " + std::to_string(shape->arguments) +
                                           " argument(s): " + shape->usage};
        double seconds = 0;
        if (words[0] == "wait" && !parseSeconds(words[1], seconds))
            return ScriptError{number, "wait takes a number of seconds from 0 to " +
                                           std::to_string(static_cast<long>(kLongestWait)) + ", not \"" +
                                           words[1] + "\""};
        if (words[0] == "network" && words[1] != "wait" && words[1] != "hold" && words[1] != "release")
            return ScriptError{number, "network takes wait, hold or release, not \"" + words[1] + "\""};
        commands.push_back({number, words[0], {words.begin() + 1, words.end()}});
    }
    return std::nullopt;
}

std::optional<ScriptError> ScriptRunner::run(Simulator& simulator, const std::vector<ScriptCommand>& commands,
                                             std::ostream& out, const std::string& outputFolder) {
    // The drawn screen is made only for scripts that look at it, so a plain script stays cheap.
    bool needsScreen = false;
    for (const auto& command : commands)
        needsScreen = needsScreen || ScriptSession::needsScreen(command.name);
    ScriptSession session(simulator, nullptr, outputFolder, out, needsScreen);
    written_.clear();
    for (const auto& command : commands) {
        if (auto problem = session.perform(command)) {
            written_ = session.written();
            return ScriptError{command.line, *problem};
        }
    }
    // A recording the script left running is written now; failing to is the last command's failure.
    auto unfinished = session.finish();
    written_ = session.written();
    if (unfinished)
        return ScriptError{commands.empty() ? 0 : commands.back().line, *unfinished};
    return std::nullopt;
}

std::optional<ScriptError> ScriptRunner::runScript(Simulator& simulator, const std::string& script,
                                                   std::ostream& out) {
    std::vector<ScriptCommand> commands;
    if (auto error = parse(script, commands))
        return error;
    return run(simulator, commands, out);
}

std::vector<std::string> ScriptRunner::written_;

const std::vector<std::string>& ScriptRunner::writtenFiles() {
    return written_;
}
