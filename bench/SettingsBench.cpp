// The Settings app around any bundle on a generated device: the list of tweaks of 300 installed
// tweaks' entries (each with its bundle, its Info.plist and its icon at three scales) opened as
// the app opens it (entries read and sorted, every bundle looked up, rows and cells built), and
// lint of a 500-specifier bundle with two languages.
//
// Aims: the list opens within one 60 Hz frame (16.7 ms); lint takes under 50 ms.

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/plist/PropertyList.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UITableViewContentView.h"
#include "sim/settings/SettingsTweakList.h"
#include "sim/tools/BundleLint.h"

#include "BenchFolder.h"

#include "BenchAnchor.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct GeneratedDevice : BenchFolder {
    GeneratedDevice() {
        const std::filesystem::path icons = std::filesystem::path(ORBITCHAT_SOURCE_DIR) /
                                            "examples/device/Library/PreferenceBundles/DimmerPrefs.bundle";
        const std::string icon1 = readFile(icons / "icon.png"), icon2 = readFile(icons / "icon@2x.png"),
                          icon3 = readFile(icons / "icon@3x.png");
        for (int i = 0; i < 300; ++i) {
            std::string name = "Tweak" + std::to_string(i);
            // Rootful and rootless entries, half each.
            auto base = root / (i % 2 ? "var/jb/Library" : "Library");
            PlistValue entry = PlistValue::dictionary();
            entry.set("bundle", PlistValue(name));
            entry.set("cell", PlistValue("PSLinkCell"));
            entry.set("detail", PlistValue(name + "RootListController"));
            entry.set("icon", PlistValue("icon.png"));
            entry.set("isController", PlistValue(true));
            entry.set("label", PlistValue("Tweak " + std::to_string((i * 7919) % 300)));
            PlistValue file = PlistValue::dictionary();
            file.set("entry", entry);
            writeBenchFile(base / "PreferenceLoader/Preferences" / (name + ".plist"),
                           writePropertyListXML(file).bytes);
            auto bundle = base / "PreferenceBundles" / (name + ".bundle");
            PlistValue info = PlistValue::dictionary();
            info.set("CFBundleExecutable", PlistValue(name));
            info.set("NSPrincipalClass", PlistValue(name + "RootListController"));
            writeBenchFile(bundle / "Info.plist", writePropertyListXML(info).bytes);
            writeBenchFile(bundle / "Root.plist",
                           "{ items = ( { cell = PSSwitchCell; label = On; key = on; defaults = x; } ); }");
            writeBenchFile(bundle / "icon.png", icon1);
            writeBenchFile(bundle / "icon@2x.png", icon2);
            writeBenchFile(bundle / "icon@3x.png", icon3);
        }
        // A bundle of 500 specifiers over ten pages, with English and German tables.
        auto big = root / "Big.bundle";
        writeBenchFile(big / "Info.plist",
                       "{ CFBundleExecutable = Big; NSPrincipalClass = BigListController; }");
        std::string strings;
        for (int page = 0; page < 10; ++page) {
            std::string items;
            for (int i = 0; i < 50; ++i) {
                std::string label = "Row " + std::to_string(page) + "." + std::to_string(i);
                switch (i % 5) {
                case 0:
                    items += "{ cell = PSGroupCell; label = \"" + label + "\"; footerText = \"About " +
                             label + "\"; },\n";
                    break;
                case 1:
                    items += "{ cell = PSSwitchCell; label = \"" + label + "\"; key = k" + std::to_string(i) +
                             "; defaults = com.big; default = 1; },\n";
                    break;
                case 2:
                    items += "{ cell = PSSliderCell; label = \"" + label + "\"; key = s" + std::to_string(i) +
                             "; defaults = com.big; min = 0; max = 10; default = 5; },\n";
                    break;
                case 3:
                    items += "{ cell = PSLinkListCell; label = \"" + label + "\"; key = l" +
                             std::to_string(i) +
                             "; defaults = com.big; validTitles = (A, B, C); validValues = (a, b, c); "
                             "default = b; },\n";
                    break;
                default:
                    items += "{ cell = PSLinkCell; label = \"" + label + "\"; detail = Page" +
                             std::to_string((page + 1) % 10) + "; },\n";
                    break;
                }
                strings +=
                    "\"" + label + "\" = \"Zeile " + std::to_string(page) + "." + std::to_string(i) + "\";\n";
            }
            writeBenchFile(big / ("Page" + std::to_string(page) + ".plist"),
                           "{ title = Big; items = (\n" + items + "); }");
        }
        for (int page = 0; page < 10; ++page) {
            writeBenchFile(big / "de.lproj" / ("Page" + std::to_string(page) + ".strings"), strings);
            writeBenchFile(big / "en.lproj" / ("Page" + std::to_string(page) + ".strings"),
                           "\"Big\" = \"Big\";");
        }
        NSFileManager::setDeviceRoot(root.string());
        UIScreen::mainScreen()->setScale(2);
    }
};

GeneratedDevice& device() {
    static GeneratedDevice d;
    return d;
}

// Opens the list and builds the cells of its first `cells` rows (a screenful is 15; a script that
// names a row has every row's cell made), or with `cells` 0 lets the drawn table make the cells
// of the rows near the view, as the screen shows the list.
void openList(benchmark::State& state, std::int64_t cells) {
    device();
    NSLogSetEchoToStderr(false);
    auto loop = NSRunLoop::installMain(ManualClock::create());
    std::size_t rows = 0, made = 0;
    for (auto _ : state) {
        auto list = SettingsTweakList::create();
        auto nav = UINavigationController::create(list);
        nav->loadViewIfNeeded();
        list->loadViewIfNeeded();
        rows = list->specifiers()->size();
        auto table = list->table();
        if (cells == 0) {
            table->setFrame(CGRectMake(0, 0, 375, 603));
            made = UITableViewContentView::attach(table)->visibleRows().size();
            continue;
        }
        for (std::int64_t r = 0; r < std::min<std::int64_t>(cells, table->numberOfRowsInSection(0)); ++r)
            benchmark::DoNotOptimize(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(r, 0)));
        made = static_cast<std::size_t>(std::min<std::int64_t>(cells, static_cast<std::int64_t>(rows)));
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["cells"] = static_cast<double>(made);
}
void BM_OpenSettingsList(benchmark::State& state) {
    openList(state, 15);
}
void BM_OpenSettingsListEveryCell(benchmark::State& state) {
    openList(state, 1000);
}
void BM_OpenSettingsListDrawn(benchmark::State& state) {
    openList(state, 0);
}
BENCHMARK(BM_OpenSettingsListDrawn)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_OpenSettingsList)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_OpenSettingsListEveryCell)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_LintBundle(benchmark::State& state) {
    device();
    std::size_t findings = 0;
    for (auto _ : state) {
        auto result = BundleLint::lint((device().root / "Big.bundle").string());
        findings = result ? result.value().findings.size() : 0;
        benchmark::DoNotOptimize(findings);
    }
    state.counters["findings"] = static_cast<double>(findings);
}
BENCHMARK(BM_LintBundle)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
