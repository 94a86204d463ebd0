// What one preference read and one preference write cost with a 1,000-key file: the value store
// opens the file anew for every read and writes it whole for every change, so these are the
// numbers a row of the pane pays each time it is shown or flipped.
//
// Cold: the file changed since the last read, so it is parsed. Warm: it did not, so the parsed
// tree is shared. The libplist runs parse the same bytes with libplist, as the anchor.

#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/plist/PropertyList.h"

#include "BenchAnchor.h"
#include "BenchFolder.h"

#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

const char* kPath = "/var/mobile/Library/Preferences/com.example.bench.plist";
const char* kBinaryPath = "/var/mobile/Library/Preferences/com.example.bench-binary.plist";

PlistValue thousandKeys(int variant) {
    PlistValue d = PlistValue::dictionary();
    for (int i = 0; i < 1000; ++i) {
        std::string key = "key" + std::to_string(i);
        switch (i % 4) {
        case 0:
            d.set(key, PlistValue(i % 8 == 0));
            break;
        case 1:
            d.set(key, PlistValue(i + variant));
            break;
        case 2:
            d.set(key, PlistValue(i * 0.5));
            break;
        default:
            d.set(key, PlistValue("value number " + std::to_string(i)));
            break;
        }
    }
    return d;
}

std::string xmlBytes(int variant) {
    return writePropertyListXML(thousandKeys(variant)).bytes;
}

// The same dictionary in binary form, encoded by libplist from our XML.
std::string binaryBytes(int variant) {
    std::string xml = xmlBytes(variant);
    plist_t node = nullptr;
    plist_from_xml(xml.data(), static_cast<std::uint32_t>(xml.size()), &node);
    char* bin = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(node, &bin, &length);
    std::string out(bin, length);
    plist_to_bin_free(bin);
    plist_free(node);
    return out;
}

std::string deviceRoot;

// A plain rewrite in place: the atomic writer's flush to disk would dominate the runs.
void writeDeviceFile(const char* path, const std::string& bytes) {
    std::ofstream(deviceRoot + path, std::ios::binary | std::ios::trunc) << bytes;
}

// A device root with a 1,000-key preference file of mixed kinds, removed at exit.
struct BenchDevice : BenchFolder {
    BenchDevice() {
        std::filesystem::create_directories(root / "var/mobile/Library/Preferences");
        NSFileManager::setDeviceRoot(root.string());
        deviceRoot = root.string();
        writeDeviceFile(kPath, xmlBytes(0));
    }
};

BenchDevice& device() {
    static BenchDevice d;
    return d;
}

// Each read follows a change of the file: two versions of it take turns.
void readColdFrom(benchmark::State& state, const char* path, const std::string (&versions)[2]) {
    device();
    std::size_t turn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        writeDeviceFile(path, versions[turn++ % 2]);
        state.ResumeTiming();
        PlistValue d = NSDictionary::dictionaryWithContentsOfFile(path);
        benchmark::DoNotOptimize(d.get("key501").description());
    }
}

void BM_ReadOneKeyCold(benchmark::State& state) {
    static const std::string versions[2] = {xmlBytes(1), xmlBytes(2)};
    readColdFrom(state, kPath, versions);
}

void BM_ReadOneKeyBinaryCold(benchmark::State& state) {
    static const std::string versions[2] = {binaryBytes(1), binaryBytes(2)};
    readColdFrom(state, kBinaryPath, versions);
}

void BM_ReadOneKeyWarm(benchmark::State& state) {
    device();
    writeDeviceFile(kPath, xmlBytes(0));
    for (auto _ : state) {
        PlistValue d = NSDictionary::dictionaryWithContentsOfFile(kPath);
        benchmark::DoNotOptimize(d.get("key501").description());
    }
}

// The anchors: libplist parsing the same bytes, without the file read.
void libplistParse(benchmark::State& state, const std::string& bytes, bool binary) {
    for (auto _ : state) {
        plist_t node = nullptr;
        if (binary)
            plist_from_bin(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &node);
        else
            plist_from_xml(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &node);
        benchmark::DoNotOptimize(plist_dict_get_item(node, "key501"));
        plist_free(node);
    }
}
void BM_LibplistParseXML(benchmark::State& state) {
    libplistParse(state, xmlBytes(1), false);
}
void BM_LibplistParseBinary(benchmark::State& state) {
    libplistParse(state, binaryBytes(1), true);
}

void BM_WriteOneKey(benchmark::State& state) {
    device();
    bool flag = false;
    for (auto _ : state) {
        PlistValue d = NSDictionary::dictionaryWithContentsOfFile(kPath).mutableCopy();
        d.set("key500", PlistValue(flag = !flag));
        benchmark::DoNotOptimize(NSDictionary::writeToFile(d, kPath, true));
    }
}

} // namespace

// A strings table of 20,000 keys written in descending order, as a hand-kept table may be: the
// reader must not pay for each key's place as it comes.
void BM_ReadStringsTableOutOfOrder(benchmark::State& state) {
    std::string text;
    for (int i = 20000; i > 0; --i)
        text += "\"key" + std::to_string(i) + "\" = \"Value " + std::to_string(i) + "\";\n";
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    for (auto _ : state) {
        PlistReadResult read = readPropertyList(bytes);
        benchmark::DoNotOptimize(read);
    }
}

BENCHMARK(BM_ReadStringsTableOutOfOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadOneKeyCold)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LibplistParseXML)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadOneKeyWarm)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadOneKeyBinaryCold)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LibplistParseBinary)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_WriteOneKey)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
