// orbitchat-sim: the Settings app on a simulated device. Without a script it opens the pane in a
// window when a display is present, and otherwise records the README's tour (PNG screenshots and
// an animated WebP) into the output folder. With a script it runs the script headless.
//
//     orbitchat-sim                                   # window, or the recorded tour
//     orbitchat-sim --device DIR --script tour.txt    # run a script
//     orbitchat-sim --dump                            # open the pane and print its state
//
// Exit status: 0 on success, 2 when a script line is bad (the message names the line), 1 when a
// file cannot be read.

#include "sim/ScriptRunner.h"
#include "sim/SimDump.h"
#include "sim/SimWindowApp.h"
#include "sim/Simulator.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <cstdio>
#include <sstream>

int main(int argc, char** argv) {
    CLI::App cli{"orbitchat-sim: the Orbitchat settings pane on a simulated device"};
    Simulator::Options options;
    options.deviceRoot = Simulator::sourceDirectory() + "/examples/device";
    std::string scriptPath;
    std::string screen;
    cli.add_option("--device", options.deviceRoot, "device folder (the device's root)")
        ->check(CLI::ExistingDirectory);
    cli.add_option("--bundle", options.bundlePath, "folder of the preference bundle (default: resources/)")
        ->check(CLI::ExistingDirectory);
    cli.add_option("--script", scriptPath, "script to run, one command per line")->check(CLI::ExistingFile);
    cli.add_option("--screen", screen, "screen size and scale, as 375x667@2");
    std::string outputFolder = "orbitchat-sim-out";
    cli.add_option("--out", outputFolder,
                   "folder for screenshots and recordings (default: orbitchat-sim-out)");
    bool dumpOnly = false;
    cli.add_flag("--dump", dumpOnly, "open the pane headless and print its state");
    bool headless = false;
    cli.add_flag("--headless", headless, "never open a window; record the tour instead");
    SimWindowOptions window;
    cli.add_option("--state-file", window.stateFile,
                   "window mode: write the views dump here after each frame");
    CLI11_PARSE(cli, argc, argv);

    if (!screen.empty()) {
        double w = 0, h = 0;
        int scale = 0;
        char end = 0;
        if (std::sscanf(screen.c_str(), "%lfx%lf@%d%c", &w, &h, &scale, &end) != 3 || !(w > 0) || !(h > 0) ||
            scale < 1 || scale > 3) {
            std::cerr << "orbitchat-sim: --screen takes WIDTHxHEIGHT@SCALE, such as 375x667@2\n";
            return 2;
        }
        options.screenWidth = w;
        options.screenHeight = h;
        options.screenScale = scale;
    }

    bool tour = false;
    std::string script = "open\ndump\n";
    if (scriptPath.empty() && !dumpOnly) {
        if (!headless && std::getenv("DISPLAY")) {
            std::string why;
            if (RunSimulatorWindow(options, window, why))
                return 0;
            std::cerr << "orbitchat-sim: no window (" << why << "); recording the tour instead\n";
        }
        scriptPath = Simulator::sourceDirectory() + "/examples/tour.script";
        tour = true;
    }
    if (!scriptPath.empty()) {
        std::ifstream in(scriptPath, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
            std::cerr << "orbitchat-sim: cannot read " << scriptPath << "\n";
            return 1;
        }
        script = text.str();
    }

    // Checked before the device is touched, so a bad script changes nothing.
    std::vector<ScriptCommand> commands;
    if (auto error = ScriptRunner::parse(script, commands)) {
        std::cerr << "orbitchat-sim: " << (scriptPath.empty() ? "" : scriptPath + ": ") << error->text()
                  << "\n";
        return 2;
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
