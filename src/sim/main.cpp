// orbitchat-sim: the Settings app on a simulated device. Without a script it opens the pane in a
// window when a display is present, and otherwise records the README's tour (PNG screenshots and
// an animated WebP) into the output folder. With a script it runs the script headless.
//
//     orbitchat-sim                                   # window, or the recorded tour
//     orbitchat-sim --device DIR --script tour.txt    # run a script
//     orbitchat-sim --dump                            # open the pane and print its state
//     orbitchat-sim --hud-gallery                     # the progress HUD's modes and options
//     orbitchat-sim --catalogue my.json               # serve another catalogue (--offline: none)
//     orbitchat-sim shot My.bundle page.png           # a PNG of a bundle's first page (ShotCommand.h)
//     orbitchat-sim --project ~/src/mytweak           # a Theos project's bundle, installed and opened
//     orbitchat-sim install my.deb                    # a package into the device (InstallCommand.h)
//     orbitchat-sim --appearance dark                 # the whole screen in the dark style
//
// Its data (the pane's resources, the sample device and catalogue, the tour) is found beside the
// program, or where ORBITCHAT_SIM_DATA says (DataFolder.h).
//
//     orbitchat-sim test examples/tests --junit report.xml   # UI tests (TestCommand.h)
//
// Exit status of a script run: 0 on success, 1 when an `expect` line finds the device other than
// it expects, 2 when the script cannot run (the command line, an unreadable script file, a bad
// line or a command that cannot be carried out; the message names the line); 1 also when the
// program's own data or device cannot be found.

#include "platform/foundation/HostFileRead.h"
#include "sim/CommandLine.h"
#include "sim/screen/SimWindowApp.h"
#include "sim/screen/WindowModule.h"
#include "sim/script/HUDGallery.h"
#include "sim/script/ScriptRunner.h"
#include "sim/script/SimDump.h"
#include "sim/settings/DataFolder.h"
#include "sim/settings/SampleDevice.h"
#include "sim/settings/Simulator.h"
#include "sim/tools/BundleLint.h"
#include "sim/tools/InstallCommand.h"
#include "sim/tools/ShotCommand.h"
#include "sim/tools/TestCommand.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string_view>

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "lint")
        return RunBundleLint(argc - 1, argv + 1, std::cout, std::cerr);
    if (argc > 1 && std::string_view(argv[1]) == "install")
        return RunInstallCommand(argc - 1, argv + 1, std::cout, std::cerr);
    if (argc > 1 && std::string_view(argv[1]) == "shot")
        return RunShotCommand(argc - 1, argv + 1, std::cout, std::cerr);
    if (argc > 1 && std::string_view(argv[1]) == "test")
        return RunTestCommand(argc - 1, argv + 1, std::cout, std::cerr);
    SimArguments arguments;
    if (auto status = readSimArguments(argc, argv, arguments, std::cout, std::cerr))
        return *status;
    Simulator::Options& options = arguments.options;
    const SimWindowOptions& window = arguments.window;
    std::string& scriptPath = arguments.scriptPath;
    const std::string& screen = arguments.screen;
    const std::string& outputFolder = arguments.outputFolder;
    const auto& seed = arguments.seed;
    const bool resetDevice = arguments.resetDevice, dumpOnly = arguments.dumpOnly,
               headless = arguments.headless, hudGallery = arguments.hudGallery;
    options.seed = seed;
    options.appearance = *Simulator::appearanceNamed(arguments.appearance);

    if (!options.catalogueURL.empty()) {
        if (auto host = Simulator::catalogueHostFromURL(options.catalogueURL); !host) {
            std::cerr << "orbitchat-sim: --catalogue-url: " << host.failure().reason << "\n";
            return 2;
        }
    }
    if (!screen.empty() && !Simulator::readScreen(screen, options)) {
        std::cerr << "orbitchat-sim: --screen takes WIDTHxHEIGHT@SCALE, each side 100 to 2048 points and "
                     "the scale 1 to 3, such as 375x667@2\n";
        return 2;
    }

    // What the command line leaves out comes from the program's data folder (DataFolder.h): the
    // pane's resources, the catalogue, the sample device and the built-in scripts. A run that
    // needs it and has none stops, saying where it looked.
    const Result<DataFolder> data = DataFolder::find();
    auto noData = [&] {
        std::cerr << "orbitchat-sim: " << data.failure().reason << "\n";
        return 1;
    };
    if (options.bundlePath.empty() && !data) // the simulator takes the resources from there
        return noData();
    if (options.catalogueFile.empty() && options.catalogueURL.empty() && !options.offline) {
        if (!data)
            return noData();
        options.catalogueFile = data.value().catalogue();
    }

    // A project or package brings its bundle into the device (a fresh copy of the sample unless
    // --device); a package given as --preference-bundle is opened from a temporary folder.
    BundleInput bundleInput;
    if (auto prepared = prepareBundleInput(arguments.project, arguments.package, arguments.bundleName,
                                           data ? data.value().sampleDevice() : "", options, bundleInput,
                                           std::cerr, arguments.rootless);
        !prepared) {
        std::cerr << "orbitchat-sim: " << prepared.reason() << "\n";
        return 1;
    }

    // Without --device: the kept working copy of the sample device, or a fresh copy for the
    // built-in recordings (chosen below, once it is known what runs).
    const bool ownDevice = !options.deviceRoot.empty();
    std::unique_ptr<SampleDevice> freshCopy;
    auto useDevice = [&](bool fresh) {
        if (ownDevice)
            return true;
        if (!data) {
            noData();
            return false;
        }
        const std::string sample = data.value().sampleDevice();
        std::string why;
        if (fresh) {
            freshCopy = SampleDevice::temporaryCopy(sample, why);
            if (freshCopy)
                options.deviceRoot = freshCopy->path();
        } else if (auto kept = SampleDevice::workingCopy(sample, resetDevice, why)) {
            options.deviceRoot = *kept;
        }
        if (options.deviceRoot.empty())
            std::cerr << "orbitchat-sim: " << why << "\n";
        return !options.deviceRoot.empty();
    };

    // A window needs the window module (WindowModule.h); a program that has a display but lost
    // its module says so and stops, rather than recording in place of the window it was asked for.
    auto windowModuleLoads = [] {
        auto module = WindowModule::load();
        if (!module)
            std::cerr << "orbitchat-sim: the window back end could not be loaded: " << module.reason()
                      << "\n";
        return static_cast<bool>(module);
    };

    bool tour = false;
    std::string script = "open\ndump\n";
    if (hudGallery && scriptPath.empty()) {
        if (!data)
            return noData();
        scriptPath = data.value().hudGalleryScript();
    }
    if (scriptPath.empty() && !dumpOnly) {
        if (!headless && std::getenv("DISPLAY")) {
            if (!windowModuleLoads() || !useDevice(false))
                return 1;
            if (!ownDevice)
                std::cerr << "orbitchat-sim: the device is " << options.deviceRoot
                          << " (a copy of examples/device; --reset-device starts it afresh)\n";
            auto shown = RunSimulatorWindow(options, window);
            if (shown)
                return 0;
            std::cerr << "orbitchat-sim: no window (" << shown.reason() << "); recording the tour instead\n";
        }
        if (!data)
            return noData();
        scriptPath = data.value().tourScript();
        tour = true;
        options.deviceRoot = ownDevice ? options.deviceRoot : "";
    }
    if (!scriptPath.empty()) {
        Result<std::string> read = readHostFile(scriptPath, ScriptRunner::kMaximumScriptBytes);
        if (!read) {
            std::cerr << "orbitchat-sim: cannot read " << scriptPath << ": " << read.failure().reason << "\n";
            return 2;
        }
        script = std::move(read).value();
    }

    // Checked before the device is touched, so a bad script changes nothing.
    std::vector<ScriptCommand> commands;
    if (auto error = ScriptRunner::parse(script, commands)) {
        std::cerr << "orbitchat-sim: " << (scriptPath.empty() ? "" : scriptPath + ": ") << error->text()
                  << "\n";
        return 2;
    }
    if (options.deviceRoot.empty() && !useDevice(tour || hudGallery))
        return 1;
    if (hudGallery && !headless && std::getenv("DISPLAY")) {
        if (!windowModuleLoads())
            return 1;
        auto shown = RunHUDGalleryWindow(options, commands);
        if (shown)
            return 0;
        std::cerr << "orbitchat-sim: no window (" << shown.reason()
                  << "); recording the HUD gallery instead\n";
    }
    Simulator simulator(options);
    std::ostringstream tourDump;
    std::vector<std::string> written;
    if (auto error =
            ScriptRunner::run(simulator, commands, tour ? tourDump : std::cout, outputFolder, &written)) {
        std::cerr << "orbitchat-sim: " << (scriptPath.empty() ? "" : scriptPath + ": ") << error->text()
                  << "\n";
        return error->exitStatus();
    }
    for (const auto& file : written)
        std::cout << "wrote " << file << "\n";
    return 0;
}
