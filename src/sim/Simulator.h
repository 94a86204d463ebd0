#pragma once

// The simulated device with the Settings app on it, headless: a device folder as its root, a main
// screen, a main run loop on a manual clock (time moves only when a script waits, so every run of
// a script gives the same result), and the Settings app that hosts the pane.
//
// Creating a Simulator installs it as the device the platform layer talks to: the file manager's
// root, the installed-application list, the URL handler of UIApplication (the schemes the app
// bundles declare, and a browser for http and https), and the respring handler of posix_spawn.
// Only one Simulator exists at a time; destroying it uninstalls the handlers.
//
//     Simulator sim({.deviceRoot = "examples/device"});
//     sim.settings().open();
//     sim.runUntilIdle();

#include "sim/SettingsApp.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ManualClock;
class NSRunLoop;

class Simulator {
public:
    struct Options {
        std::string deviceRoot; // a host folder
        std::string bundlePath; // the preference bundle's folder; empty: the repository's resources/
        double screenWidth = 375;
        double screenHeight = 667;
        double screenScale = 2;
    };

    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    SettingsApp& settings() { return *settings_; }
    const Options& options() const { return options_; }

    // Runs everything due now on the main run loop.
    void runUntilIdle();
    // Moves the clock forward, running each task at its time.
    void advanceBy(double seconds);

    // Every log line since the simulator started.
    std::vector<std::string> logLines() const;

    // The repository's folders, for the defaults of the command line.
    static std::string sourceDirectory();

private:
    // Restarts the device's user interface: the Settings app is torn down and opened again on the
    // pane. Preference files and everything else on the device stay.
    void respring();

    Options options_;
    std::shared_ptr<NSRunLoop> loop_;
    std::unique_ptr<SettingsApp> settings_;
    int logToken_ = 0;
    mutable std::mutex logMutex_;
    std::vector<std::string> log_;
    // Lets a respring queued on the run loop notice that the simulator has gone.
    std::shared_ptr<Simulator*> alive_;
};
