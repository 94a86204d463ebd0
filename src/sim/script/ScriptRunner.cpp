#include "sim/script/ScriptRunner.h"

#include "sim/script/ScriptCommandRegistry.h"
#include "sim/script/ScriptSession.h"

#include "platform/foundation/StringHelpers.h"

#include <sstream>

namespace {

// Whether the '#' at `i` begins a colour (#RRGGBB or #RRGGBBAA, perhaps with ":alpha") rather than
// a comment: six or eight hex digits, then the end of the word.
bool startsColour(const std::string& line, std::size_t i) {
    std::size_t digits = 0;
    while (i + 1 + digits < line.size() && hexDigitValue(line[i + 1 + digits]))
        ++digits;
    std::size_t end = i + 1 + digits;
    bool wordEnds =
        end == line.size() || line[end] == ' ' || line[end] == '\t' || line[end] == '\r' || line[end] == ':';
    return (digits == 6 || digits == 8) && wordEnds;
}

// Splits a line into words; answers an error message or empty.
std::string tokenize(const std::string& line, std::vector<std::string>& words) {
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        // A command never starts with '#': there it is always a comment.
        if (c == '#' && (words.empty() || !startsColour(line, i)))
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
            // "TITLE"#N picks the Nth row of a title: one word, TITLE#N (SettingsApp::RowPick). A
            // '#' that no digit follows still starts a comment.
            if (i + 1 < line.size() && line[i] == '#' && line[i + 1] >= '0' && line[i + 1] <= '9') {
                word += line[i++];
                while (i < line.size() && line[i] >= '0' && line[i] <= '9')
                    word += line[i++];
                if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#')
                    return "a row number after quoted text is digits alone: \"TITLE\"#2";
            }
            if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#')
                return "quoted text must be followed by a space";
        } else {
            if (c == '#')
                word += line[i++];
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
        if (auto error = addLine(number, words, commands))
            return error;
    }
    return std::nullopt;
}

std::optional<ScriptError> ScriptRunner::addLine(std::size_t line, const std::vector<std::string>& words,
                                                 std::vector<ScriptCommand>& commands) {
    if (auto problem = ScriptCommandRegistry::check(words))
        return ScriptError{line, *problem};
    commands.push_back({line, words[0], {words.begin() + 1, words.end()}});
    return std::nullopt;
}

std::optional<ScriptError> ScriptRunner::run(Simulator& simulator, const std::vector<ScriptCommand>& commands,
                                             std::ostream& out, const std::string& outputFolder,
                                             std::vector<std::string>* written) {
    // The drawn screen is made only for scripts that look at it, so a plain script stays cheap.
    bool needsScreen = false;
    for (const auto& command : commands)
        needsScreen = needsScreen || ScriptCommandRegistry::needsScreen(command.name);
    ScriptSession session(simulator, nullptr, outputFolder, out, needsScreen);
    auto report = [&](std::optional<ScriptError> error) {
        if (written)
            *written = session.written();
        return error;
    };
    for (const auto& command : commands) {
        try {
            if (auto problem = session.perform(command))
                return report(ScriptError{command.line, *problem});
        } catch (const ScriptExpectationFailure& unmet) {
            return report(ScriptError{command.line, unmet.what(), ScriptError::Kind::UnmetExpectation});
        }
    }
    // A recording the script left running is written now; failing to is the last command's failure.
    if (auto finished = session.finish(); !finished)
        return report(ScriptError{commands.empty() ? 0 : commands.back().line, finished.failure().reason});
    return report(std::nullopt);
}

std::optional<ScriptError> ScriptRunner::runScript(Simulator& simulator, const std::string& script,
                                                   std::ostream& out) {
    std::vector<ScriptCommand> commands;
    if (auto error = parse(script, commands))
        return error;
    return run(simulator, commands, out);
}
