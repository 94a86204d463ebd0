// What one preference read and one preference write cost with a 1,000-key file: the value store
// opens the file anew for every read and writes it whole for every change, so these are the
// numbers a row of the pane pays each time it is shown or flipped.

#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSFileManager.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const char* kPath = "/var/mobile/Library/Preferences/com.example.bench.plist";

// A device root with a 1,000-key preference file of mixed kinds, removed at exit.
struct BenchDevice {
    std::string root;
    BenchDevice() {
        std::string pattern = (std::filesystem::temp_directory_path() / "oc-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        root = pattern;
        std::filesystem::create_directories(root + "/var/mobile/Library/Preferences");
        NSFileManager::setDeviceRoot(root);
        PlistValue d = PlistValue::dictionary();
        for (int i = 0; i < 1000; ++i) {
            std::string key = "key" + std::to_string(i);
            switch (i % 4) {
            case 0:
                d.set(key, PlistValue(i % 8 == 0));
                break;
            case 1:
                d.set(key, PlistValue(i));
                break;
            case 2:
                d.set(key, PlistValue(i * 0.5));
                break;
            default:
                d.set(key, PlistValue("value number " + std::to_string(i)));
                break;
            }
        }
        NSDictionary::writeToFile(d, kPath, true);
    }
    ~BenchDevice() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

BenchDevice& device() {
    static BenchDevice d;
    return d;
}

void BM_ReadOneKey(benchmark::State& state) {
    device();
    for (auto _ : state) {
        PlistValue d = NSDictionary::dictionaryWithContentsOfFile(kPath);
        benchmark::DoNotOptimize(d.get("key501").description());
    }
}

void BM_WriteOneKey(benchmark::State& state) {
    device();
    bool flag = false;
    for (auto _ : state) {
        PlistValue d = NSDictionary::dictionaryWithContentsOfFile(kPath);
        d.set("key500", PlistValue(flag = !flag));
        benchmark::DoNotOptimize(NSDictionary::writeToFile(d, kPath, true));
    }
}

} // namespace

BENCHMARK(BM_ReadOneKey)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_WriteOneKey)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
