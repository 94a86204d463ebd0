// Recording a package in a device's dpkg database as `install` and --project do: the status file
// is read, the package's older stanza replaced and the file written again atomically, so the cost
// grows with the database. A device of 3,000 packages is a large jailbroken phone. Reading the
// same database (the package header's lookup) is measured beside it as the anchor.

#include "BenchFolder.h"

#include "platform/prefslibs/PackageDatabase.h"
#include "sim/settings/PackageStatus.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string statusOf(int packages) {
    std::string status;
    for (int i = 0; i < packages; ++i)
        status += "Package: com.example.p" + std::to_string(i) +
                  "\nStatus: install ok installed\nVersion: 1.0\nArchitecture: iphoneos-arm64\n"
                  "Name: Package " +
                  std::to_string(i) + "\nAuthor: Someone <s@example.com>\nDescription: a package\n\n";
    return status;
}

struct LargeDatabase : BenchFolder {
    std::string text = statusOf(3000);
    LargeDatabase() { writeBenchFile(root / "var/jb/var/lib/dpkg/status", text); }
};

void BM_RecordPackage(benchmark::State& state) {
    LargeDatabase device;
    auto control = PackageStatus::parseControl("Package: com.example.p1500\nName: Shine\nVersion: 2.0\n"
                                               "Architecture: iphoneos-arm64\nAuthor: Sam <s@example.com>\n");
    const std::vector<std::string> files{"/var/jb/Library/PreferenceBundles/Shine.bundle/Root.plist",
                                         "/var/jb/Library/PreferenceLoader/Preferences/Shine.plist"};
    for (auto _ : state) {
        auto recorded = PackageStatus::record(device.root.string(), control.value(), files, true);
        if (!recorded)
            state.SkipWithError(recorded.reason().c_str());
    }
}

void BM_ParseDatabase(benchmark::State& state) {
    const std::string text = statusOf(3000);
    for (auto _ : state)
        benchmark::DoNotOptimize(PackageDatabase::parse(text).count());
}

} // namespace

BENCHMARK(BM_RecordPackage)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ParseDatabase)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
