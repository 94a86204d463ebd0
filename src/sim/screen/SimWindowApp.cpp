#include "sim/screen/SimWindowApp.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "sim/screen/SDLWindowBackend.h"
#include "sim/screen/SimScreen.h"
#include "sim/screen/SimWindowWatcher.h"
#include "sim/script/SimDump.h"

#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

namespace {
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
} // namespace

Result<> RunSimulatorWindow(const Simulator::Options& options, const SimWindowOptions& windowOptions) {
    Simulator simulator(options);
    // The window runs in real time: the main run loop gets a real clock.
    auto loop = NSRunLoop::installMain(RealClock::create());
    SimScreen screen(simulator);
    std::string why;
    auto window = SDLWindowBackend::open(screen, "orbitchat-sim", why);
    if (!window)
        return Failure{why};
    // The Settings app's list of tweaks, unless a bundle to open was given.
    if (options.bundlePath.empty() && options.preferenceBundle.empty())
        simulator.settings().openSettings();
    else
        simulator.settings().open();
    loop->runUntilIdle();
    // A bundle saved on disk is re-read in place, and the title bar shows the latest notification.
    SimWindowWatcher watcher(loop, simulator.settings(),
                             [&window](const std::string& title) { window->setTitle(title); });
    if (options.projectBundle)
        watcher.followProject(*options.projectBundle, options.deviceRoot);
    window->setBurstHandler([&simulator] {
        if (simulator.settings().isOpen())
            simulator.settings().burst();
    });
    if (!windowOptions.stateFile.empty()) {
        // Written after every frame; a failure is said once, not at every frame, and never
        // leaves a half-written state file in place of the last whole one.
        auto stateWriteFailed = std::make_shared<bool>(false);
        window->setAfterFrame([&, stateWriteFailed] {
            nlohmann::json state = screen.viewsDump();
            state["windowPixelsPerPoint"] = window->windowPixelsPerPoint();
            state["dump"] = SimDump(simulator);
            std::string temporary = windowOptions.stateFile + ".partial";
            bool written = false;
            {
                std::ofstream out(temporary, std::ios::trunc);
                out << SimDumpText(state);
                out.flush();
                written = static_cast<bool>(out);
            }
            if (written)
                written = std::rename(temporary.c_str(), windowOptions.stateFile.c_str()) == 0;
            if (!written) {
                std::remove(temporary.c_str());
                if (!*stateWriteFailed)
                    std::cerr << "orbitchat-sim: cannot write the window state file "
                              << windowOptions.stateFile << "\n";
            }
            *stateWriteFailed = !written;
        });
    }
    Subscription idleStart, idleReport;
    if (windowOptions.idleReportSeconds > 0) {
        double half = windowOptions.idleReportSeconds / 2;
        auto startCpu = std::make_shared<double>(0);
        idleStart = loop->enqueueAt(loop->now() + half, [startCpu] { *startCpu = cpuSeconds(); });
        idleReport = loop->enqueueAt(loop->now() + 2 * half, [startCpu, half] {
            double used = cpuSeconds() - *startCpu;
            std::cerr << "orbitchat-sim: idle CPU " << used / half * 100 << "% over " << half << " s\n";
        });
    }
    window->run();
    return {};
}
