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
//     orbitchat-sim --appearance dark                 # the whole screen in the dark style
//
// Exit status: 0 on success, 2 when the command line or a script line is bad (the message names
// the line) or the script's work failed, 1 when a file cannot be read.

#include "platform/foundation/DeviceRandom.h"
#include "platform/foundation/HostFileRead.h"
#include "sim/BundleLint.h"
#include "sim/HUDGallery.h"
#include "sim/SampleDevice.h"
#include "sim/ScriptRunner.h"
#include "sim/ShotCommand.h"
#include "sim/SimDump.h"
#include "sim/SimWindowApp.h"
#include "sim/Simulator.h"

#include <CLI/CLI.hpp>

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
    if (argc > 1 && std::string_view(argv[1]) == "shot")
        return RunShotCommand(argc - 1, argv + 1, std::cout, std::cerr);
    CLI::App cli{"orbitchat-sim: the Orbitchat settings pane on a simulated device"};
    Simulator::Options options;
    const std::string sample = Simulator::sourceDirectory() + "/examples/device";
    std::string scriptPath;
    std::string screen;
    cli.add_option(
           "--device", options.deviceRoot,
           "device folder (the device's root), used in place; without it the simulator runs on a "
           "copy of examples/device kept in ~/.local/state/orbitchat-sim/device, and records the tour "
           "and the HUD gallery on a fresh copy")
        ->check(CLI::ExistingDirectory);
    bool resetDevice = false;
    cli.add_flag("--reset-device", resetDevice, "start the kept copy of the sample device afresh");
    auto* paneBundle =
        cli.add_option("--bundle", options.bundlePath, "folder of the pane's resources (default: resources/)")
            ->check(CLI::ExistingDirectory);
    cli.add_option("--preference-bundle", options.preferenceBundle,
                   "open this preference bundle folder as the device would: its principal class when the "
                   "simulator has it, otherwise the platform's list of its Root.plist (\"open\" opens it)")
        ->check(CLI::ExistingDirectory)
        ->excludes(paneBundle);
    cli.add_option("--language", options.language,
                   "the device's language, which picks the bundles' localisations (default: en)");
    cli.add_option("--model", options.model,
                   "the device's model, which decides the rows that require hardware: iphone, ipad or ipod "
                   "(default: iphone)")
        ->check(CLI::IsMember({"iphone", "ipad", "ipod"}));
    std::string appearance = "light";
    cli.add_option("--appearance", appearance, "draw the screen light or dark (default: light)")
        ->check(CLI::IsMember({"light", "dark"}));
    cli.add_option("--script", scriptPath, "script to run, one command per line")->check(CLI::ExistingFile);
    cli.add_option("--screen", screen, "screen size and scale, as 375x667@2");
    std::string outputFolder = "orbitchat-sim-out";
    cli.add_option("--out", outputFolder,
                   "folder for screenshots and recordings (default: orbitchat-sim-out)");
    bool dumpOnly = false;
    cli.add_flag("--dump", dumpOnly, "open the pane headless and print its state");
    bool headless = false;
    cli.add_flag("--headless", headless, "never open a window; record the tour instead");
    bool hudGallery = false;
    cli.add_flag("--hud-gallery", hudGallery,
                 "show the progress HUD in each mode and option: in a window, the next picture on a "
                 "click or key press; headless (or --headless), record a PNG of each and an animated "
                 "WebP of the show and hide animations into the output folder");
    auto* catalogueFile =
        cli.add_option("--catalogue", options.catalogueFile,
                       "serve this JSON file as the maker's catalogue, over HTTPS on the loopback "
                       "interface (default: examples/catalogue.json)")
            ->check(CLI::ExistingFile);
    auto* catalogueURL = cli.add_option("--catalogue-url", options.catalogueURL,
                                        "fetch the catalogue from this https server instead, checked "
                                        "against the host's trusted certificates")
                             ->excludes(catalogueFile);
    cli.add_flag("--offline", options.offline, "every request fails as on a device without a connection")
        ->excludes(catalogueFile)
        ->excludes(catalogueURL);
    std::optional<std::uint64_t> seed;
    cli.add_option("--seed", seed, "seed the device's random numbers: the same confetti on every run");
    SimWindowOptions window;
    cli.add_option("--state-file", window.stateFile,
                   "window mode: write the views dump here after each frame");
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version are successes; every other mistake on the command line exits with 2,
        // as a bad script line does.
        int printed = cli.exit(e);
        return printed == 0 ? 0 : 2;
    }
    if (seed)
        DeviceRandom::seed(*seed);
    options.appearance = *Simulator::appearanceNamed(appearance);

    if (!options.catalogueURL.empty()) {
        std::string why;
        if (!Simulator::catalogueHostFromURL(options.catalogueURL, why)) {
            std::cerr << "orbitchat-sim: --catalogue-url: " << why << "\n";
            return 2;
        }
    }
    if (!screen.empty() && !Simulator::readScreen(screen, options)) {
        std::cerr << "orbitchat-sim: --screen takes WIDTHxHEIGHT@SCALE, each side 100 to 2048 points and "
                     "the scale 1 to 3, such as 375x667@2\n";
        return 2;
    }

    // Without --device: the kept working copy of the sample device, or a fresh copy for the
    // built-in recordings (chosen below, once it is known what runs).
    const bool ownDevice = !options.deviceRoot.empty();
    std::unique_ptr<SampleDevice> freshCopy;
    auto useDevice = [&](bool fresh) {
        if (ownDevice)
            return true;
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

    bool tour = false;
    std::string script = "open\ndump\n";
    if (hudGallery && scriptPath.empty())
        scriptPath = Simulator::sourceDirectory() + "/examples/hud-gallery.script";
    if (scriptPath.empty() && !dumpOnly) {
        if (!headless && std::getenv("DISPLAY")) {
            if (!useDevice(false))
                return 1;
            if (!ownDevice)
                std::cerr << "orbitchat-sim: the device is " << options.deviceRoot
                          << " (a copy of examples/device; --reset-device starts it afresh)\n";
            std::string why;
            if (RunSimulatorWindow(options, window, why))
                return 0;
            std::cerr << "orbitchat-sim: no window (" << why << "); recording the tour instead\n";
        }
        scriptPath = Simulator::sourceDirectory() + "/examples/tour.script";
        tour = true;
        options.deviceRoot = ownDevice ? options.deviceRoot : "";
    }
    if (!scriptPath.empty()) {
        std::string why;
        if (!readHostFile(scriptPath, ScriptRunner::kMaximumScriptBytes, script, why)) {
            std::cerr << "orbitchat-sim: cannot read " << scriptPath << ": " << why << "\n";
            return 1;
        }
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
        std::string why;
        if (RunHUDGalleryWindow(options, commands, why))
            return 0;
        std::cerr << "orbitchat-sim: no window (" << why << "); recording the HUD gallery instead\n";
    }
    Simulator simulator(options);
    std::ostringstream tourDump;
    if (auto error = ScriptRunner::run(simulator, commands, tour ? tourDump : std::cout, outputFolder)) {
        std::cerr << "orbitchat-sim: " << (scriptPath.empty() ? "" : scriptPath + ": ") << error->text()
                  << "\n";
        return 2;
    }
    for (const auto& file : ScriptRunner::writtenFiles())
        std::cout << "wrote " << file << "\n";
    return 0;
}
