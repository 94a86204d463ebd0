#include "sim/tools/ShotCommand.h"

#include "sim/CommandLine.h"
#include "sim/script/ScriptRunner.h"
#include "sim/settings/DataFolder.h"
#include "sim/settings/SampleDevice.h"
#include "sim/settings/Simulator.h"
#include "sim/tools/InstallCommand.h"

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <vector>

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

    std::unique_ptr<BundleSource::TemporaryFolder> extracted; // a package's files, while the shot is taken
    std::string bundle = arguments.bundle;
    if (BundleSource::isPackage(bundle)) {
        auto found = bundleOfPackage(bundle, "", extracted);
        if (!found) {
            err << "orbitchat-sim shot: " << found.reason() << "\n";
            return 1;
        }
        bundle = found.value();
    }
    std::error_code error;
    if (!std::filesystem::is_directory(bundle, error)) {
        err << "orbitchat-sim shot: cannot read " << bundle << ": it is not a folder\n";
        return 1;
    }
    options.preferenceBundle = bundle;
    Result<DataFolder> data = DataFolder::find();
    if (!data) {
        err << "orbitchat-sim shot: " << data.failure().reason << "\n";
        return 1;
    }
    std::string why;
    auto device = SampleDevice::temporaryCopy(data.value().sampleDevice(), why);
    if (!device) {
        err << "orbitchat-sim shot: " << why << "\n";
        return 1;
    }
    options.deviceRoot = device->path();

    // The commands of the script "open / wait 0.5 / screenshot OUT", made here so that any file
    // name goes through as it is, without quoting. With no output folder, a relative name stays
    // relative to the current folder.
    std::vector<ScriptCommand> commands;
    const std::vector<std::string> lines[] = {{"open"}, {"wait", "0.5"}, {"screenshot", picture}};
    for (const auto& words : lines) {
        if (auto failure = ScriptRunner::addLine(commands.size() + 1, words, commands)) {
            err << "orbitchat-sim shot: " << failure->message << "\n";
            return 1;
        }
    }
    Simulator simulator(options);
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
