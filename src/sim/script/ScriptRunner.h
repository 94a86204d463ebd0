#pragma once

// Runs a simulator script: one command per line, "#" starts a comment (outside quotes; but a word
// of "#" and six or eight hex digits, perhaps with ":alpha", is a colour: #FF9500), blank lines
// are skipped. Arguments are bare words or double-quoted text with \" and \\ escapes; quoted
// text followed at once by '#' and digits ("Enabled"#2) is one word, the row number kept after a
// '#' ("Enabled#2"), which `set` and `tap` read as the 2nd row of that title.
//
//   open                 the Settings app opens the pane (or the bundle given with
//                        --preference-bundle)
//   open settings        the Settings app's list of tweaks
//   open bundle "LABEL"  the list of tweaks, and the bundle of the row LABEL in it
//   tap "TEXT"           taps the alert action, bar button or row titled TEXT (an alert, while
//                        one is presented, takes every tap); the back button is titled with the
//                        screen underneath, or "Back"; a text row's field takes the focus
//   set "ROW" VALUE      changes a value row as its cell would: on/off for a switch, a number for
//                        a slider, text for a text field, a title for a segmented row
//   tap/set "ROW"#N, key=KEY
//                        the Nth row titled ROW (from 1, group headers not counted), or the row
//                        whose "key" is KEY, where several rows share a title (SettingsApp.h)
//   wait SECONDS         advances the simulated clock, running what falls due
//   burst                the pane's confetti burst
//   network wait         waits (real time, at most 10 s) until no request is in flight and the
//                        main queue has run what their completions posted; fails the script
//                        when the network does not settle
//   network hold         lets requests reach the server but keeps their responses back...
//   network release      ...until released (the HUD over the catalogue, deterministically)
//   dump                 prints the state as one JSON object (see SimDump.h)
//   screenshot, record … stop, scroll, type, views: the drawn screen (see ScreenCommands.h)
//   hud, rotate, tilt    a progress HUD over the screen, and the device around it (see HUDCommands.h)
//   confetti …           bursts and blasts of confetti over the pane (see ConfettiCommands.h)
//   expect …             what the device shows and stores, checked (see ExpectCommands.h)
//
// Each command is registered once, with its arguments and usage, in ScriptCommandRegistry.
// The whole script is checked before anything runs; a line that does not parse, or a command that
// cannot be carried out (no such row, an action that the alert lacks), stops the run with the
// line's number and a message. An `expect` line whose expectation is not met stops it too, as an
// error of its own kind, so that a test can tell a broken script from a failing one. A script may begin with a UTF-8 byte-order mark; it may not be
// longer than 1 MiB, nor a line longer than 4,096 bytes.

#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class Simulator;

struct ScriptCommand {
    std::size_t line = 0;
    std::string name;
    std::vector<std::string> arguments;
};

struct ScriptError {
    // Why the run stopped: the script could not go on (a bad line, no such row, a file that cannot
    // be written), or it went as written and found the device other than it expected.
    enum class Kind { CannotRun, UnmetExpectation };

    std::size_t line = 0;
    std::string message;
    Kind kind = Kind::CannotRun;
    // "line 3: ..." as the command line prints it (the message alone for the whole script).
    std::string text() const;
    // The program's exit status for this error: 1 for an unmet expectation, 2 otherwise.
    int exitStatus() const { return kind == Kind::UnmetExpectation ? 1 : 2; }
};

// Thrown by a command that finds the device other than the script expects (ExpectCommands.h), with
// what was expected and what is there. A run stops at it with an error of kind UnmetExpectation;
// every other failure of a command is a message the command answers.
class ScriptExpectationFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ScriptRunner {
public:
    // Bounds on what a script may be: a script is a page of commands, not a data file.
    static constexpr std::size_t kMaximumScriptBytes = 1u << 20;
    static constexpr std::size_t kMaximumLineBytes = 4096;
    // The longest `wait`: a day of simulated time.
    static constexpr double kLongestWait = 24 * 3600;

    // Parses the whole script; on the first bad line answers its error.
    static std::optional<ScriptError> parse(const std::string& script, std::vector<ScriptCommand>& commands);
    // Checks one line's words (the command's name first) as `parse` does, and adds its command;
    // answers the line's error instead when it has one. For programs that make their commands
    // themselves, with words that need no quoting.
    static std::optional<ScriptError> addLine(std::size_t line, const std::vector<std::string>& words,
                                              std::vector<ScriptCommand>& commands);
    // Runs the commands, writing each dump to `out`; answers the error that stopped the run.
    // Screenshots and recordings with relative names go into `outputFolder`; the files the run
    // wrote, in order, go into `written` when it is given (also when the run fails).
    static std::optional<ScriptError> run(Simulator& simulator, const std::vector<ScriptCommand>& commands,
                                          std::ostream& out, const std::string& outputFolder = ".",
                                          std::vector<std::string>* written = nullptr);
    // Parses and runs.
    static std::optional<ScriptError> runScript(Simulator& simulator, const std::string& script,
                                                std::ostream& out);
};
