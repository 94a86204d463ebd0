// What reading and writing a 1,000-key binary preference list costs with our own reader and writer,
// with libplist beside them as the anchor: plist_from_bin alone (a parse into libplist's nodes,
// nothing copied out), readPropertyList on the same bytes (the check, plist_from_bin and the copy
// into PlistValues, as long as binary lists are read through libplist), and plist_to_bin of the
// same tree.

#include "platform/foundation/plist/BinaryPlistReader.h"
#include "platform/foundation/plist/BinaryPlistWriter.h"
#include "platform/foundation/plist/PropertyList.h"

#include "BenchAnchor.h"

#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <cstdlib>
#include <span>
#include <string>

namespace {

// A preference list of mixed kinds, as the pane's value store keeps them.
PlistValue thousandKeys() {
    PlistValue d = PlistValue::dictionary();
    for (int i = 0; i < 1000; ++i) {
        std::string key = "key" + std::to_string(i);
        switch (i % 6) {
        case 0:
            d.set(key, PlistValue(i % 12 == 0));
            break;
        case 1:
            d.set(key, PlistValue(i * 1000));
            break;
        case 2:
            d.set(key, PlistValue(i * 0.5));
            break;
        case 3:
            d.set(key, PlistValue(NSDate{700000000.0 + i}));
            break;
        case 4:
            d.set(key, PlistValue(PlistData(16, static_cast<std::uint8_t>(i))));
            break;
        default:
            d.set(key, PlistValue("value number " + std::to_string(i)));
            break;
        }
    }
    return d;
}

const PlistValue& tree() {
    static const PlistValue t = thousandKeys();
    return t;
}

const std::string& listBytes() {
    static const std::string bytes = [] {
        std::string out;
        if (writeBinaryPlist(tree(), PlistLimits{}, out))
            std::abort();
        return out;
    }();
    return bytes;
}

std::span<const std::uint8_t> listSpan() {
    return {reinterpret_cast<const std::uint8_t*>(listBytes().data()), listBytes().size()};
}

void BM_ReadBinaryPlist(benchmark::State& state) {
    for (auto _ : state) {
        PlistReadResult r = readBinaryPlist(listSpan(), PlistLimits{});
        if (!r.ok())
            std::abort();
        benchmark::DoNotOptimize(r.value.count());
    }
}

void BM_ReadPropertyListThroughLibplist(benchmark::State& state) {
    for (auto _ : state) {
        PlistReadResult r = readPropertyList(listSpan());
        if (!r.ok())
            std::abort();
        benchmark::DoNotOptimize(r.value.count());
    }
}

void BM_LibplistFromBin(benchmark::State& state) {
    for (auto _ : state) {
        plist_t root = nullptr;
        plist_from_bin(listBytes().data(), static_cast<std::uint32_t>(listBytes().size()), &root);
        if (!root)
            std::abort();
        benchmark::DoNotOptimize(root);
        plist_free(root);
    }
}

void BM_WriteBinaryPlist(benchmark::State& state) {
    std::string out;
    for (auto _ : state) {
        if (writeBinaryPlist(tree(), PlistLimits{}, out))
            std::abort();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(std::to_string(out.size()) + " bytes");
}

void BM_LibplistToBin(benchmark::State& state) {
    plist_t root = nullptr;
    plist_from_bin(listBytes().data(), static_cast<std::uint32_t>(listBytes().size()), &root);
    if (!root)
        std::abort();
    std::uint32_t length = 0;
    for (auto _ : state) {
        char* bin = nullptr;
        plist_to_bin(root, &bin, &length);
        benchmark::DoNotOptimize(bin);
        plist_to_bin_free(bin);
    }
    plist_free(root);
    state.SetLabel(std::to_string(length) + " bytes");
}

} // namespace

BENCHMARK(BM_ReadBinaryPlist)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadPropertyListThroughLibplist)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_LibplistFromBin)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_WriteBinaryPlist)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LibplistToBin)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
