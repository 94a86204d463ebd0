// Opening the pane as the Settings app does (init, view load with discovery, row list) on a
// generated device: 5,000 entries in the tweak folder, 500 of them Orbitchat extensions, and
// 1,000 installed apps. The installed-application list is read once per device, as the
// platform's is, so a second benchmark measures that first read on its own.
//
// Aim: the pane opens within one 60 Hz frame (16 ms).

#include "pane/OrbitchatPreferencesController.h"
#include "platform/applist/ALApplicationList.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/DeviceFolder.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/plist/PropertyList.h"
#include "platform/prefs/PSListController.h"
#include "platform/ui/UINavigationController.h"

#include "BenchFolder.h"

#include "BenchAnchor.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

std::string plist(const PlistValue& v) {
    return writePropertyListXML(v).bytes;
}

struct GeneratedDevice : BenchFolder {
    GeneratedDevice() {
        auto libs = root / "Library/MobileSubstrate/DynamicLibraries";
        for (int i = 0; i < 1000; ++i) {
            std::string id = "com.bench.app" + std::to_string(i);
            PlistValue info = PlistValue::dictionary();
            info.set("CFBundleIdentifier", PlistValue(id));
            info.set("CFBundleDisplayName", PlistValue("App " + std::to_string(i)));
            std::string folder = i % 2
                                     ? "Applications/App" + std::to_string(i) + ".app"
                                     : "var/containers/Bundle/Application/U" + std::to_string(i) + "/App.app";
            writeBenchFile(root / folder / "Info.plist", plist(info));
        }
        // 500 extensions with their filter plists; the other 4,000 entries are other tweaks' files.
        for (int i = 0; i < 500; ++i) {
            std::string name = "OCSupportBench" + std::to_string(i);
            writeBenchFile(libs / (name + (i % 5 ? ".dylib" : ".disabled")), "x");
            PlistValue filter = PlistValue::dictionary();
            filter.set("Bundles", PlistValue::array({PlistValue("com.bench.app" + std::to_string(i * 2))}));
            PlistValue p = PlistValue::dictionary();
            p.set("Filter", filter);
            writeBenchFile(libs / (name + ".plist"), plist(p));
        }
        for (int i = 0; i < 2000; ++i) {
            writeBenchFile(libs / ("OtherTweak" + std::to_string(i) + ".dylib"), "x");
            writeBenchFile(libs / ("OtherTweak" + std::to_string(i) + ".plist"),
                           "{ Filter = { Bundles = ( com.apple.springboard ); }; }");
        }
        NSFileManager::setDeviceRoot(root.string());
        PSListController::setBundlePath(ORBITCHAT_SOURCE_DIR "/resources");
    }
};

GeneratedDevice& device() {
    static GeneratedDevice d;
    return d;
}

void BM_OpenPane(benchmark::State& state) {
    device();
    NSLogSetEchoToStderr(false);
    auto loop = NSRunLoop::installMain(ManualClock::create());
    (void)ALApplicationList::sharedApplicationList()->applications(); // read once, as on a device
    std::size_t rows = 0;
    for (auto _ : state) {
        auto pane = OrbitchatPreferencesController::create();
        auto nav = UINavigationController::create(pane);
        pane->loadViewIfNeeded();
        pane->viewWillAppear(false);
        rows = pane->specifiers()->size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_OpenPane)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ReadInstalledApps(benchmark::State& state) {
    device();
    for (auto _ : state) {
        ALApplicationList::sharedApplicationList()->reload();
        benchmark::DoNotOptimize(ALApplicationList::sharedApplicationList()->applications().count());
    }
}
BENCHMARK(BM_ReadInstalledApps)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

// The same read with the Info.plist files read one at a time, as where io_uring is unavailable.
void BM_ReadInstalledAppsOneAtATime(benchmark::State& state) {
    device();
    DeviceFolder::setBatchedReadsUseRing(false);
    for (auto _ : state) {
        ALApplicationList::sharedApplicationList()->reload();
        benchmark::DoNotOptimize(ALApplicationList::sharedApplicationList()->applications().count());
    }
    DeviceFolder::setBatchedReadsUseRing(true);
}
BENCHMARK(BM_ReadInstalledAppsOneAtATime)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
