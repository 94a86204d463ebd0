#include "sim/tools/ShotCommand.h"

#include "platform/graphics/DrawingLibraries.h"
#include "sim/CommandLine.h"
#include "sim/script/ScriptRunner.h"
#include "sim/settings/DataFolder.h"
#include "sim/settings/SampleDevice.h"
#include "sim/settings/Simulator.h"
#include "sim/tools/InstallCommand.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

namespace {

// Opens the bundle as the device would and answers why its page cannot be shot: it does not open,
// or it is a list whose plist could not be read (the reason the list logged as it opened, so the
// page is read once and its complaint is logged once); nothing when it shows.
std::optional<std::string> openedPageFailure(Simulator& simulator) {
    SettingsApp& settings = simulator.settings();
    const std::size_t seen = simulator.logLines().size();
    try {
        settings.open();
    } catch (const SettingsApp::Error& e) {
        return e.what();
    }
    simulator.runUntilIdle();
    auto list = settings.visibleList();
    if (!list || list->plistName().empty())
        return std::nullopt;
    const std::string complaint = "Couldn't load specifier plist " + list->plistName() + ": ";
    const auto lines = simulator.logLines();
    for (std::size_t i = seen; i < lines.size(); ++i)
        if (auto at = lines[i].find(complaint); at != std::string::npos)
            return "the page " + list->plistName() + ".plist cannot be read (" + lines[i].substr(at) + ")";
    return std::nullopt;
}

} // namespace

int RunShotCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
    ShotArguments arguments;
    if (auto status = readShotArguments(argc, argv, arguments, out, err))
        return *status;
    const std::string& picture = arguments.picture;
    const std::string& screen = arguments.screen;
    Simulator::Options options;
    options.language = arguments.language;
    if (!screen.empty() && !Simulator::readScreen(screen, options)) {
        err << "orbitchat-sim shot: --screen takes WIDTHxHEIGHT@SCALE, each side 100 to 2048 points and the "
               "scale 1 to 3, such as 375x667@2\n";
        return 2;
    }
    options.appearance = *Simulator::appearanceNamed(arguments.appearance);

    Result<DataFolder> data = DataFolder::find();
    if (!data) {
        err << "orbitchat-sim shot: " << data.failure().reason << "\n";
        return 1;
    }
    // A project or a package's bundle is installed into a fresh copy of the sample device; a bundle
    // folder opens on one as it is.
    BundleInput input;
    options.preferenceBundle = arguments.bundle;
    std::error_code error;
    if (arguments.project.empty() && !BundleSource::isPackage(arguments.bundle) &&
        !std::filesystem::is_directory(arguments.bundle, error)) {
        err << "orbitchat-sim shot: cannot read " << arguments.bundle << ": it is not a folder\n";
        return 1;
    }
    std::ostringstream notes;
    if (auto prepared =
            prepareBundleInput(arguments.project, "", arguments.bundleName, data.value().sampleDevice(),
                               options, input, notes, arguments.rootless);
        !prepared) {
        err << "orbitchat-sim shot: " << prepared.reason() << "\n";
        return 1;
    }
    std::unique_ptr<SampleDevice> device;
    if (options.deviceRoot.empty()) {
        std::string why;
        device = SampleDevice::temporaryCopy(data.value().sampleDevice(), why);
        if (!device) {
            err << "orbitchat-sim shot: " << why << "\n";
            return 1;
        }
        options.deviceRoot = device->path();
    }

    // The commands of the script "wait 0.5 / screenshot OUT" after the page opened, made here so
    // that any file name goes through as it is, without quoting. With no output folder, a relative
    // name stays relative to the current folder.
    std::vector<ScriptCommand> commands;
    const std::vector<std::string> lines[] = {{"wait", "0.5"}, {"screenshot", picture}};
    for (const auto& words : lines) {
        if (auto failure = ScriptRunner::addLine(commands.size() + 1, words, commands)) {
            err << "orbitchat-sim shot: " << failure->message << "\n";
            return 1;
        }
    }
    // The page is laid out and drawn from the moment it opens: without the drawing libraries there
    // is no picture to take.
    if (auto loaded = DrawingLibraries::load(); !loaded) {
        err << "orbitchat-sim shot: " << loaded.reason() << "\n";
        return 1;
    }
    Simulator simulator(options);
    // A page that could not be read would be shot as a blank page under its title: that is no
    // picture of the bundle, and nothing is written.
    if (auto unreadable = openedPageFailure(simulator)) {
        err << "orbitchat-sim shot: " << *unreadable << "\n";
        return 1;
    }
    std::ostringstream dumps;
    std::vector<std::string> written;
    if (auto failure = ScriptRunner::run(simulator, commands, dumps, "", &written)) {
        err << "orbitchat-sim shot: " << failure->message << "\n";
        return 1;
    }
    for (const auto& file : written)
        out << "wrote " << file << "\n";
    return 0;
}
