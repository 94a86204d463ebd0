#pragma once

// Reading what the simulator prints: several JSON dumps one after another, each ending with a
// line "}"; running a script on a simulator in the test's process, on a copy of the sample
// device; running a subcommand in the test's process; and running the program itself, as a user
// does.

#include "sim/script/ScriptRunner.h"
#include "sim/settings/Simulator.h"
#include "support/TempDeviceRoot.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

inline std::vector<nlohmann::json> splitDumps(const std::string& out) {
    std::vector<nlohmann::json> result;
    std::istringstream in(out);
    std::string line, current;
    while (std::getline(in, line)) {
        current += line + "\n";
        if (line == "}") {
            result.push_back(nlohmann::json::parse(current));
            current.clear();
        }
    }
    return result;
}

// Runs `command` with the shell, appending its standard output to `out`; answers its exit status,
// or -1 when it could not be started or did not exit (a crash).
inline int runShellCommand(const std::string& command, std::string& out) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs orbitchat-sim with `arguments` (a shell's words), in the folder `cwd` when one is given,
// collecting its standard output, and its standard error too when `errors` is set; answers its
// exit status (-1 when it did not exit).
inline int runSimProgram(const std::string& arguments, std::string& out, bool errors = false,
                         const std::filesystem::path& cwd = {}) {
    return runShellCommand((cwd.empty() ? std::string() : "cd '" + cwd.string() + "' && ") +
                               std::string(ORBITCHAT_BINARY_DIR) + "/src/sim/orbitchat-sim " + arguments +
                               (errors ? " 2>&1" : " 2>/dev/null"),
                           out);
}

// A temporary copy of examples/device, removed with the object.
class SampleDeviceCopy : public TempDeviceRoot {
public:
    SampleDeviceCopy() {
        std::filesystem::copy(std::filesystem::path(ORBITCHAT_SOURCE_DIR) / "examples/device", path(),
                              std::filesystem::copy_options::recursive);
    }
};

// Runs `script` on a simulator made with `options`, collecting what it prints in `out`.
inline std::optional<ScriptError> runSimScript(const Simulator::Options& options, const std::string& script,
                                               std::string& out) {
    Simulator sim(options);
    std::ostringstream stream;
    auto error = ScriptRunner::runScript(sim, script, stream);
    out = stream.str();
    return error;
}

// A simulator's options for the device folder `root`, offline (no catalogue server is started),
// as a test that looks at the device's own pages wants it.
inline Simulator::Options offlineOptions(const std::string& root) {
    Simulator::Options options;
    options.deviceRoot = root;
    options.offline = true;
    return options;
}

// Runs a subcommand's entry point (RunBundleLint, RunInstallCommand, ...) as `orbitchat-sim NAME
// ARGS...` would, collecting what it writes to standard output and error; answers its status.
inline int runSubcommand(int (*entry)(int, char**, std::ostream&, std::ostream&), const std::string& name,
                         std::vector<std::string> args, std::string& out, std::string& err) {
    args.insert(args.begin(), name);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    std::ostringstream o, e;
    const int status = entry(static_cast<int>(argv.size()), argv.data(), o, e);
    out = o.str();
    err = e.str();
    return status;
}
