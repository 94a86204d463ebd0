#include "sim/tools/TestCommand.h"

#include "sim/settings/BundleSource.h"

#include "sim/CommandLine.h"
#include "sim/settings/DataFolder.h"
#include "sim/settings/SampleDevice.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <ostream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using WallClock = std::chrono::steady_clock;

// What every script runs on, prepared once and copied for each script.
struct TestDevice {
    std::string source; // the device folder copied for each script
    std::string bundle; // a bundle folder of the host to install into each copy, or empty
    // A Theos project the script's own run installs into its copy (--project), or empty.
    std::string project;
    std::string bundleName;
    bool rootless = false;
};

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    return text;
}

// Installs the bundle under test into a device copy as the package of a tweak would: the bundle in
// /Library/PreferenceBundles and a PreferenceLoader entry that opens it. Answers the bundle's host
// folder in the copy. Links inside the bundle are copied as links, so that the device's file
// manager, not this copy, decides where they may lead.
Result<std::string> installBundle(const std::string& deviceRoot, const std::string& bundle) {
    const fs::path source = fs::path(bundle).lexically_normal();
    std::string name = (source.has_filename() ? source : source.parent_path()).filename().string();
    const std::string label = name.ends_with(".bundle") ? name.substr(0, name.size() - 7) : name;
    if (label.empty())
        return Failure{"the bundle " + bundle + " has no name"};
    const fs::path target = fs::path(deviceRoot) / "Library/PreferenceBundles" / (label + ".bundle");
    const fs::path entries = fs::path(deviceRoot) / "Library/PreferenceLoader/Preferences";
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    fs::create_directories(entries, error);
    fs::remove_all(target, error);
    fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (error)
        return Failure{"cannot install " + bundle + " into the device: " + error.message()};
    // The entry is an old-style property list, whose quoted strings escape quotes and backslashes.
    std::string quoted;
    for (char c : label) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    std::ofstream entry(entries / (label + ".plist"), std::ios::trunc);
    entry << "{\n\tentry = {\n\t\tbundle = \"" << quoted
          << "\";\n\t\tcell = PSLinkCell;\n\t\tisController = 1;\n"
          << "\t\tlabel = \"" << quoted << "\";\n\t};\n}\n";
    if (!entry.flush())
        return Failure{"cannot write the Settings entry of " + bundle + " into the device"};
    return target.string();
}

// The reason a script's run gives for stopping: its last line from the program ("orbitchat-sim:
// FILE: line 4: ..."), without the program's name and the script's file.
std::string reasonIn(const std::string& output, const std::string& scriptPath) {
    std::istringstream lines(output);
    std::string line, reason;
    const std::string program = "orbitchat-sim: ";
    while (std::getline(lines, line))
        if (line.rfind(program, 0) == 0)
            reason = line.substr(program.size());
    if (reason.rfind(scriptPath + ": ", 0) == 0)
        reason = reason.substr(scriptPath.size() + 2);
    return reason;
}

struct Spawned {
    pid_t pid = -1;
    int output = -1; // the read end of the child's standard output and error
};

Result<Spawned> spawnScript(const std::vector<std::string>& words) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return Failure{std::string("cannot make a pipe: ") + std::strerror(errno)};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    std::vector<char*> argv;
    for (const auto& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    Spawned spawned;
    // This same program runs the script: the one that is running now, wherever it was started from.
    int failed = posix_spawn(&spawned.pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (failed) {
        close(pipeFds[0]);
        return Failure{std::string("cannot start the program: ") + std::strerror(failed)};
    }
    spawned.output = pipeFds[0];
    return spawned;
}

// Collects what the child prints until it closes its output, or kills it at `deadline`. Answers
// whether it was killed.
bool collectOutput(const Spawned& child, WallClock::time_point deadline, std::string& output) {
    bool killed = false;
    char buffer[4096];
    for (;;) {
        int wait = -1;
        if (!killed) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - WallClock::now()).count();
            if (left <= 0) {
                kill(child.pid, SIGKILL);
                killed = true;
                continue;
            }
            wait = static_cast<int>(std::min<long long>(left, 1000));
        }
        pollfd fd{child.output, POLLIN, 0};
        int ready = poll(&fd, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            continue;
        ssize_t n = read(child.output, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(buffer, static_cast<std::size_t>(n));
    }
    close(child.output);
    return killed;
}

TestOutcome runScript(const TestDevice& device, const TestScript& script, double timeout) {
    TestOutcome outcome;
    const auto started = WallClock::now();
    auto finish = [&](TestOutcome::Status status, std::string message) {
        outcome.status = status;
        outcome.message = std::move(message);
        outcome.seconds = std::chrono::duration<double>(WallClock::now() - started).count();
        return outcome;
    };
    std::string why;
    // Removed when the outcome is made, whatever happened to the script.
    auto copy = SampleDevice::temporaryCopy(device.source, why);
    if (!copy)
        return finish(TestOutcome::Status::Error, why);
    std::vector<std::string> words{"orbitchat-sim", "--device", copy->path(),
                                   "--headless",    "--script", script.path};
    if (!device.bundle.empty()) {
        auto installed = installBundle(copy->path(), device.bundle);
        if (!installed)
            return finish(TestOutcome::Status::Error, installed.failure().reason);
        words.insert(words.end(), {"--preference-bundle", installed.value()});
    }
    if (!device.project.empty()) {
        words.insert(words.end(), {"--project", device.project});
        if (!device.bundleName.empty())
            words.insert(words.end(), {"--bundle-name", device.bundleName});
        if (device.rootless)
            words.push_back("--rootless");
    }
    auto child = spawnScript(words);
    if (!child)
        return finish(TestOutcome::Status::Error, child.failure().reason);
    const auto deadline =
        started + std::chrono::duration_cast<WallClock::duration>(std::chrono::duration<double>(timeout));
    const bool killed = collectOutput(child.value(), deadline, outcome.output);
    int status = 0;
    while (waitpid(child.value().pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (killed)
        return finish(TestOutcome::Status::Error, "timed out after " + secondsText(timeout) + " s");
    if (WIFSIGNALED(status))
        return finish(TestOutcome::Status::Error, "crashed with signal " + std::to_string(WTERMSIG(status)));
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 0)
        return finish(TestOutcome::Status::Passed, {});
    std::string reason = reasonIn(outcome.output, script.path);
    if (reason.empty())
        reason = "exited with status " + std::to_string(code);
    return finish(code == 1 ? TestOutcome::Status::Failed : TestOutcome::Status::Error, reason);
}

std::string resultLine(const TestScript& script, const TestOutcome& outcome) {
    switch (outcome.status) {
    case TestOutcome::Status::Passed:
        return "PASS " + script.name + " (" + secondsText(outcome.seconds) + " s)";
    case TestOutcome::Status::Failed:
        return "FAIL " + script.name + ": " + outcome.message;
    case TestOutcome::Status::Error:
        break;
    }
    return "ERROR " + script.name + ": " + outcome.message;
}

// Runs every script on `jobs` threads, each waiting for its own child; prints each result as soon
// as every script before it has one, so the lines come in the scripts' order.
std::vector<TestOutcome> runAll(const TestDevice& device, const std::vector<TestScript>& scripts,
                                unsigned jobs, double timeout, std::ostream& out) {
    std::vector<TestOutcome> outcomes(scripts.size());
    std::vector<bool> done(scripts.size(), false);
    std::atomic<std::size_t> next{0};
    std::mutex printing;
    std::size_t printed = 0;
    auto work = [&] {
        for (std::size_t i = next++; i < scripts.size(); i = next++) {
            TestOutcome outcome = runScript(device, scripts[i], timeout);
            std::lock_guard lock(printing);
            outcomes[i] = std::move(outcome);
            done[i] = true;
            for (; printed < scripts.size() && done[printed]; ++printed)
                out << resultLine(scripts[printed], outcomes[printed]) << '\n';
            out.flush();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < std::min<std::size_t>(jobs, scripts.size()); ++i)
        workers.emplace_back(work);
    for (auto& worker : workers)
        worker.join();
    return outcomes;
}

} // namespace

Result<std::vector<TestScript>> collectTestScripts(const std::vector<std::string>& paths) {
    std::vector<TestScript> scripts;
    for (const auto& given : paths) {
        std::error_code error;
        if (fs::is_regular_file(given, error)) {
            scripts.push_back({given, given});
            continue;
        }
        if (!fs::is_directory(given, error))
            return Failure{given + " is neither a script nor a folder"};
        std::vector<fs::path> found;
        fs::recursive_directory_iterator it(given, fs::directory_options::skip_permission_denied, error), end;
        for (; !error && it != end; it.increment(error))
            if (it->path().extension() == ".script" && it->is_regular_file(error))
                found.push_back(it->path());
        if (error)
            return Failure{"cannot search " + given + ": " + error.message()};
        std::sort(found.begin(), found.end());
        for (const auto& path : found)
            scripts.push_back({path.lexically_relative(given).generic_string(), path.string()});
    }
    return scripts;
}

std::string xmlEscaped(const std::string& text) {
    std::string escaped;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = bytes[i];
        if (c < 0x80) {
            switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&apos;";
                break;
            case '\n':
                escaped += "&#10;";
                break;
            case '\r':
                escaped += "&#13;";
                break;
            case '\t':
                escaped += "&#9;";
                break;
            default:
                escaped += c < 0x20 || c == 0x7F ? "\xEF\xBF\xBD" : std::string(1, static_cast<char>(c));
            }
            ++i;
            continue;
        }
        // A multi-byte character passes when it is well formed; anything else becomes U+FFFD.
        std::size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
        bool valid = length > 0 && i + length <= size;
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (bytes[i + k] & 0xC0) == 0x80;
        if (valid && length == 3 && c == 0xE0)
            valid = bytes[i + 1] >= 0xA0;
        if (valid && length == 3 && c == 0xED)
            valid = bytes[i + 1] < 0xA0; // surrogates
        if (valid && length == 4 && c == 0xF0)
            valid = bytes[i + 1] >= 0x90;
        if (valid && length == 4 && c == 0xF4)
            valid = bytes[i + 1] < 0x90;
        if (!valid) {
            escaped += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        escaped.append(text, i, length);
        i += length;
    }
    return escaped;
}

std::string junitReport(const std::vector<TestScript>& scripts, const std::vector<TestOutcome>& outcomes,
                        double seconds) {
    std::size_t failures = 0, errors = 0;
    for (const auto& outcome : outcomes) {
        failures += outcome.status == TestOutcome::Status::Failed;
        errors += outcome.status == TestOutcome::Status::Error;
    }
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuite name=\"orbitchat-sim test\" tests=\"" << scripts.size() << "\" failures=\"" << failures
        << "\" errors=\"" << errors << "\" skipped=\"0\" time=\"" << secondsText(seconds) << "\">\n";
    for (std::size_t i = 0; i < scripts.size() && i < outcomes.size(); ++i) {
        const TestOutcome& outcome = outcomes[i];
        xml << "  <testcase name=\"" << xmlEscaped(scripts[i].name)
            << "\" classname=\"orbitchat-sim\" time=\"" << secondsText(outcome.seconds) << "\">\n";
        if (outcome.status == TestOutcome::Status::Failed)
            xml << "    <failure message=\"" << xmlEscaped(outcome.message) << "\" type=\"expectation\"/>\n";
        if (outcome.status == TestOutcome::Status::Error)
            xml << "    <error message=\"" << xmlEscaped(outcome.message) << "\"/>\n";
        xml << "    <system-out>" << xmlEscaped(outcome.output) << "</system-out>\n"
            << "  </testcase>\n";
    }
    xml << "</testsuite>\n";
    return xml.str();
}

int RunTestCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
    TestArguments arguments;
    if (auto status = readTestArguments(argc, argv, arguments, out, err))
        return *status;
    // A project's tests are in its tests/ folder unless paths are given.
    std::vector<std::string> paths = arguments.paths;
    if (paths.empty())
        paths.push_back(
            arguments.project.empty() ? "." : (std::filesystem::path(arguments.project) / "tests").string());
    auto scripts = collectTestScripts(paths);
    if (!scripts) {
        err << "orbitchat-sim test: " << scripts.failure().reason << "\n";
        return 2;
    }
    if (scripts.value().empty()) {
        err << "orbitchat-sim test: no *.script found\n";
        return 2;
    }
    TestDevice device{arguments.device, arguments.bundle, arguments.project, arguments.bundleName,
                      arguments.rootless};
    if (!device.project.empty()) {
        // Checked once here, so that a project without a bundle is one error, not one per script.
        const auto project = BundleSource::readProject(device.project, device.rootless);
        if (auto picked = BundleSource::pick(project.bundles, device.bundleName, device.project); !picked) {
            err << "orbitchat-sim test: " << picked.reason() << "\n";
            return 2;
        }
    }
    if (device.source.empty()) {
        Result<DataFolder> data = DataFolder::find();
        if (!data) {
            err << "orbitchat-sim test: " << data.failure().reason << "\n";
            return 2;
        }
        device.source = data.value().sampleDevice();
    }
    const unsigned jobs = arguments.jobs ? arguments.jobs : std::max(1u, std::thread::hardware_concurrency());

    const auto started = WallClock::now();
    auto outcomes = runAll(device, scripts.value(), jobs, arguments.timeout, out);
    const double seconds = std::chrono::duration<double>(WallClock::now() - started).count();
    std::size_t passed = 0, failed = 0, errors = 0;
    for (const auto& outcome : outcomes) {
        passed += outcome.status == TestOutcome::Status::Passed;
        failed += outcome.status == TestOutcome::Status::Failed;
        errors += outcome.status == TestOutcome::Status::Error;
    }
    out << outcomes.size() << " scripts: " << passed << " passed, " << failed << " failed, " << errors
        << " errors (" << secondsText(seconds) << " s)\n";

    if (!arguments.junit.empty()) {
        std::ofstream report(arguments.junit, std::ios::trunc | std::ios::binary);
        report << junitReport(scripts.value(), outcomes, seconds);
        if (!report.flush()) {
            err << "orbitchat-sim test: cannot write the report " << arguments.junit << "\n";
            return 2;
        }
    }
    return errors ? 2 : failed ? 1 : 0;
}
