#pragma once

// `orbitchat-sim test [PATH...]`: a tweak developer's UI tests. Every *.script of the given files
// and folders (folders searched recursively, each one's scripts sorted; "." when none is given)
// runs on a fresh copy of the device, in a process of its own: this same program, run as
// `--device COPY --headless --script FILE`. The device is the sample device, or a copy of
// `--device DIR`; with `--bundle DIR` the bundle under test is installed into each copy as
// /Library/PreferenceBundles/NAME.bundle, with a Settings entry that opens it (so both `open` and
// `open bundle "NAME"` reach it); with `--project DIR` each script's run installs the Theos
// project's bundle into its copy (as `--project` does, recorded in the package database and opened
// by `open` from its row in Settings), and the scripts are the project's tests/ unless paths are
// given. Several scripts run at once (`-j N`, by default one per core);
// a script that runs longer than `--timeout SECONDS` (120) is killed.
//
//     orbitchat-sim test examples/tests --junit report.xml
//     PASS dimmer.script (0.31 s)
//     FAIL glow.script: line 4: expected the row "Enabled" to show "on", it shows "off"
//     2 scripts: 1 passed, 1 failed, 0 errors (0.62 s)
//
// A script passes when it exits with 0, fails when an expectation is not met (status 1), and is an
// error when it cannot run (status 2), crashes or times out. Results print in the scripts' order;
// `--junit FILE` writes them as a JUnit XML report. The device copies are removed afterwards.
//
// Exit status: 0 when every script passes, 1 when any failed, 2 when any was an error, when no
// script was found, when the report cannot be written, or for a bad command line.

#include "platform/foundation/Result.h"

#include <iosfwd>
#include <string>
#include <vector>

int RunTestCommand(int argc, char** argv, std::ostream& out, std::ostream& err);

struct TestScript {
    std::string name; // as results show it: the path under the folder given, or the file as given
    std::string path; // the file of the host
};

struct TestOutcome {
    enum class Status { Passed, Failed, Error };
    Status status = Status::Error;
    // The first line of why it did not pass ("line 4: expected ..."); empty when it passed.
    std::string message;
    // What the script's run printed, standard output and error together.
    std::string output;
    double seconds = 0;
};

// The scripts of `paths`, in the order they run. Fails when a path is neither a file nor a folder.
Result<std::vector<TestScript>> collectTestScripts(const std::vector<std::string>& paths);

// The JUnit XML report of a run: one testsuite, one testcase per script.
std::string junitReport(const std::vector<TestScript>& scripts, const std::vector<TestOutcome>& outcomes,
                        double seconds);

// `text` as XML character data or an attribute value: markup escaped, and bytes that XML 1.0
// cannot hold (control characters, broken UTF-8) replaced with U+FFFD.
std::string xmlEscaped(const std::string& text);
