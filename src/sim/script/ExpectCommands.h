#pragma once

// The `expect` commands of a script: what a tweak developer's UI test states about the device,
// checked where the script reaches the line. Text is written in double quotes.
//
//   expect value "ROW" "TEXT"        the row's cell shows TEXT (the dump's "value")
//   expect stored "ROW" VALUE        the row's getter answers VALUE (the dump's "stored")
//   expect file DEFAULTS KEY VALUE   KEY of /var/mobile/Library/Preferences/DEFAULTS.plist is VALUE;
//                                    a DEFAULTS that starts with "/" is a device path of its own
//   expect file DEFAULTS KEY missing the file lacks KEY (or is not there at all)
//   expect notification NAME         NAME was posted at least once so far
//   expect title "TEXT"              the screen on top is titled TEXT
//   expect alert "TITLE"             an alert titled TITLE is shown; `expect alert none`: none is
//   expect action "TITLE"            the shown alert has an action titled TITLE
//   expect rows N                    the list on top has N rows, group headers not counted
//   expect log "TEXT"                a log line contains TEXT
//   expect no-placeholders           no row of the list on top is a placeholder for missing code
//
// Rows are picked as `set` picks them (SettingsApp::pickRow: a title, "TITLE"#N or key=KEY).
// A VALUE matches a stored boolean when it is true/false, on/off, YES/NO or 1/0; a stored number
// when it reads as a number equal to it (to a billionth, so that a slider's arithmetic does not
// matter); anything else by its text (ExpectCommands::matches).
//
// An expectation that is not met throws ScriptExpectationFailure with what was expected and what
// is there ("expected the row \"Enabled\" to show \"on\", it shows \"off\""), and the script ends
// with status 1. A line that cannot be checked at all (no such row, no list on screen) is an
// ordinary failure of the script, which ends with status 2.

#include "platform/foundation/plist/PlistValue.h"

#include <optional>
#include <string>
#include <vector>

class ScriptSession;

class ExpectCommands {
public:
    // The problem with an `expect` line's arguments for the script's author, or nothing.
    static std::optional<std::string> check(const std::vector<std::string>& arguments);
    // Checks one expectation; throws ScriptExpectationFailure when it is not met, and answers the
    // problem when the line cannot be checked.
    static std::optional<std::string> run(ScriptSession& session, const std::vector<std::string>& arguments);

    // Whether a stored value matches a script's VALUE, by the rules above. Nothing matches an
    // absent value.
    static bool matches(const PlistValue& stored, const std::string& expected);
    // A stored value as a failure message shows it: true, 0.5, "text", or nothing.
    static std::string describe(const PlistValue& stored);
    // The device path `expect file` reads for a DEFAULTS word.
    static std::string preferencesPath(const std::string& defaults);
};
