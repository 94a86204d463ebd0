#include "sim/script/ExpectCommands.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/ui/UINavigationItem.h"
#include "sim/script/ScriptNumbers.h"
#include "sim/script/ScriptRunner.h"
#include "sim/script/ScriptSession.h"
#include "sim/script/SimDump.h"
#include "sim/settings/Simulator.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

using Arguments = std::vector<std::string>;
using Problem = std::optional<std::string>;

std::string quotedList(const std::vector<std::string>& items) {
    std::vector<std::string> quoted;
    for (const auto& item : items)
        quoted.push_back(doubleQuoted(item));
    return joined(quoted, ", ");
}

[[noreturn]] void unmet(const std::string& message) {
    throw ScriptExpectationFailure(message);
}

std::optional<bool> booleanWord(const std::string& word) {
    if (word == "true" || word == "on" || word == "YES" || word == "1")
        return true;
    if (word == "false" || word == "off" || word == "NO" || word == "0")
        return false;
    return std::nullopt;
}

// The list the expectations about rows look at, as `set` finds it.
std::shared_ptr<PSListController> listOnTop(SettingsApp& app) {
    auto list = app.isOpen() ? app.topList() : nullptr;
    if (!list)
        throw SettingsApp::Error("no settings list is showing (use \"open\" first)");
    return list;
}

std::shared_ptr<PSSpecifier> pickedRow(SettingsApp& app, const std::string& text) {
    auto list = listOnTop(app);
    auto row = SettingsApp::pickRow(*list, text, true);
    if (!row)
        throw SettingsApp::Error("no row titled " + doubleQuoted(text));
    return row;
}

std::vector<std::shared_ptr<PSSpecifier>> rowsWithoutHeaders(PSListController& list) {
    std::vector<std::shared_ptr<PSSpecifier>> rows;
    if (auto specifiers = list.specifiers())
        for (const auto& row : *specifiers)
            if (row->cellType() != PSGroupCell)
                rows.push_back(row);
    return rows;
}

Problem expectValue(ScriptSession& session, const Arguments& args) {
    SettingsApp& app = session.simulator().settings();
    auto row = pickedRow(app, args[1]);
    auto shown = SimRowValueOf(*listOnTop(app), row).shown;
    if (shown && *shown == args[2])
        return std::nullopt;
    unmet("expected the row " + doubleQuoted(args[1]) + " to show " + doubleQuoted(args[2]) + ", it shows " +
          (shown ? doubleQuoted(*shown) : std::string("nothing")));
}

Problem expectStored(ScriptSession& session, const Arguments& args) {
    SettingsApp& app = session.simulator().settings();
    auto row = pickedRow(app, args[1]);
    PlistValue stored = SimRowValueOf(*listOnTop(app), row).stored;
    if (ExpectCommands::matches(stored, args[2]))
        return std::nullopt;
    unmet("expected the row " + doubleQuoted(args[1]) + " to store " + args[2] + ", it stores " +
          ExpectCommands::describe(stored));
}

Problem expectFile(ScriptSession&, const Arguments& args) {
    const std::string path = ExpectCommands::preferencesPath(args[1]);
    const std::string& key = args[2];
    const bool wantsMissing = args[3] == "missing";
    auto files = NSFileManager::defaultManager();
    if (!files->fileExistsAtPath(path)) {
        if (wantsMissing)
            return std::nullopt;
        unmet("expected " + key + " in " + path + " to be " + args[3] + ", there is no such file");
    }
    PlistValue dictionary = NSDictionary::dictionaryWithContentsOfFile(path);
    if (!dictionary)
        unmet("expected " + key + " in " + path + " to be " + args[3] +
              ", the file is not a readable property list of a dictionary");
    PlistValue value = dictionary.get(key);
    if (wantsMissing) {
        if (value.isNone())
            return std::nullopt;
        unmet("expected no " + key + " in " + path + ", it is " + ExpectCommands::describe(value));
    }
    if (ExpectCommands::matches(value, args[3]))
        return std::nullopt;
    unmet("expected " + key + " in " + path + " to be " + args[3] + ", it is " +
          (value.isNone() ? std::string("missing") : ExpectCommands::describe(value)));
}

Problem expectNotification(ScriptSession&, const Arguments& args) {
    const auto posted = DarwinNotifyCenter::postedNames();
    if (std::find(posted.begin(), posted.end(), args[1]) != posted.end())
        return std::nullopt;
    unmet("expected the notification " + doubleQuoted(args[1]) + " to have been posted, " +
          (posted.empty() ? std::string("none was") : "only " + quotedList(posted) + " were"));
}

Problem expectTitle(ScriptSession& session, const Arguments& args) {
    SettingsApp& app = session.simulator().settings();
    auto visible = app.isOpen() ? app.visibleController() : nullptr;
    if (!visible)
        unmet("expected the title " + doubleQuoted(args[1]) + ", nothing is open");
    const std::string& title = visible->navigationItem()->title();
    if (title == args[1])
        return std::nullopt;
    unmet("expected the title " + doubleQuoted(args[1]) + ", the screen is titled " + doubleQuoted(title));
}

std::string alertText(const UIAlertController& alert) {
    return alert.alertTitle() ? doubleQuoted(*alert.alertTitle()) : std::string("without a title");
}

Problem expectAlert(ScriptSession& session, const Arguments& args) {
    auto alert = session.simulator().settings().presentedAlert();
    if (args[1] == "none") {
        if (!alert)
            return std::nullopt;
        unmet("expected no alert, the alert " + alertText(*alert) + " is shown");
    }
    if (!alert)
        unmet("expected the alert " + doubleQuoted(args[1]) + ", no alert is shown");
    if (alert->alertTitle() == args[1])
        return std::nullopt;
    unmet("expected the alert " + doubleQuoted(args[1]) + ", the alert " + alertText(*alert) + " is shown");
}

Problem expectAction(ScriptSession& session, const Arguments& args) {
    auto alert = session.simulator().settings().presentedAlert();
    if (!alert)
        unmet("expected an alert with the action " + doubleQuoted(args[1]) + ", no alert is shown");
    std::vector<std::string> titles;
    for (const auto& action : alert->actions()) {
        if (action->title() == args[1])
            return std::nullopt;
        titles.push_back(action->title());
    }
    unmet("expected the alert " + alertText(*alert) + " to have the action " + doubleQuoted(args[1]) +
          ", it has " + (titles.empty() ? std::string("none") : quotedList(titles)));
}

Problem expectRows(ScriptSession& session, const Arguments& args) {
    auto list = listOnTop(session.simulator().settings());
    const auto count = rowsWithoutHeaders(*list).size();
    if (static_cast<std::int64_t>(count) == *scriptInteger(args[1]))
        return std::nullopt;
    unmet("expected " + args[1] + " rows, the list shows " + std::to_string(count));
}

Problem expectLog(ScriptSession& session, const Arguments& args) {
    for (const auto& line : session.simulator().logLines())
        if (line.find(args[1]) != std::string::npos)
            return std::nullopt;
    unmet("expected a log line containing " + doubleQuoted(args[1]) + ", there is none");
}

Problem expectNoPlaceholders(ScriptSession& session, const Arguments&) {
    auto list = listOnTop(session.simulator().settings());
    std::vector<std::string> placeholders;
    for (const auto& row : rowsWithoutHeaders(*list))
        if (!row->missingClassName().empty())
            placeholders.push_back(doubleQuoted(row->name()) + " (" + row->missingClassName() + ")");
    if (placeholders.empty())
        return std::nullopt;
    unmet("expected no placeholder rows, there are " + joined(placeholders, ", "));
}

struct Expectation {
    std::string_view name;
    std::size_t arguments; // after the name
    std::string_view usage;
    Problem (*run)(ScriptSession&, const Arguments&);
};

constexpr Expectation kExpectations[] = {
    {"value", 2, "expect value \"ROW\" \"TEXT\"", expectValue},
    {"stored", 2, "expect stored \"ROW\" VALUE", expectStored},
    {"file", 3, "expect file DEFAULTS KEY VALUE|missing", expectFile},
    {"notification", 1, "expect notification NAME", expectNotification},
    {"title", 1, "expect title \"TEXT\"", expectTitle},
    {"alert", 1, "expect alert \"TITLE\"|none", expectAlert},
    {"action", 1, "expect action \"TITLE\"", expectAction},
    {"rows", 1, "expect rows N", expectRows},
    {"log", 1, "expect log \"TEXT\"", expectLog},
    {"no-placeholders", 0, "expect no-placeholders", expectNoPlaceholders},
};

const Expectation* expectationNamed(std::string_view name) {
    for (const auto& expectation : kExpectations)
        if (expectation.name == name)
            return &expectation;
    return nullptr;
}

// A preferences domain is a file name in the preferences folder, never a way out of it.
bool isDomainName(const std::string& word) {
    return !word.empty() && word != "." && word != ".." && word.find('/') == std::string::npos;
}

} // namespace

std::optional<std::string> ExpectCommands::check(const std::vector<std::string>& arguments) {
    std::vector<std::string> usages;
    for (const auto& expectation : kExpectations)
        usages.emplace_back(expectation.usage);
    if (arguments.empty())
        return "expect takes what to check: " + joined(usages, " | ");
    const Expectation* expectation = expectationNamed(arguments[0]);
    if (!expectation)
        return "expect cannot check " + doubleQuoted(arguments[0]) + ": " + joined(usages, " | ");
    if (arguments.size() != expectation->arguments + 1)
        return std::string(expectation->usage) + " takes " + std::to_string(expectation->arguments) +
               " argument(s)";
    if (expectation->name == "rows") {
        auto count = scriptInteger(arguments[1]);
        if (!count || *count < 0)
            return "expect rows takes a whole number of rows, not " + doubleQuoted(arguments[1]);
    }
    if (expectation->name == "file" && arguments[1].rfind('/', 0) != 0 && !isDomainName(arguments[1]))
        return "expect file takes a preferences domain (com.example.tweak) or a device path, not " +
               doubleQuoted(arguments[1]);
    return std::nullopt;
}

std::optional<std::string> ExpectCommands::run(ScriptSession& session,
                                               const std::vector<std::string>& arguments) {
    return expectationNamed(arguments[0])->run(session, arguments);
}

bool ExpectCommands::matches(const PlistValue& stored, const std::string& expected) {
    switch (stored.kind()) {
    case PlistValue::Kind::None:
        return false;
    case PlistValue::Kind::Boolean:
        return booleanWord(expected) == stored.boolValue();
    case PlistValue::Kind::Integer:
    case PlistValue::Kind::Real: {
        auto number = scriptNumber(expected);
        if (!number)
            return false;
        const double value =
            stored.isUnsignedInteger() ? static_cast<double>(stored.unsignedValue()) : stored.doubleValue();
        return std::fabs(value - *number) <= 1e-9 * std::max(1.0, std::fabs(value));
    }
    case PlistValue::Kind::String:
        return stored.stringValue() == expected;
    default:
        return stored.description() == expected;
    }
}

std::string ExpectCommands::describe(const PlistValue& stored) {
    switch (stored.kind()) {
    case PlistValue::Kind::None:
        return "nothing";
    case PlistValue::Kind::Boolean:
        return stored.boolValue() ? "true" : "false";
    case PlistValue::Kind::Integer:
        return stored.isUnsignedInteger() ? std::to_string(stored.unsignedValue())
                                          : std::to_string(stored.integerValue());
    case PlistValue::Kind::Real:
        return PSControlValue::numberText(stored.doubleValue());
    case PlistValue::Kind::String:
        return doubleQuoted(stored.stringValue());
    default:
        return stored.description();
    }
}

std::string ExpectCommands::preferencesPath(const std::string& defaults) {
    if (defaults.rfind('/', 0) == 0)
        return defaults;
    return "/var/mobile/Library/Preferences/" + defaults + ".plist";
}
