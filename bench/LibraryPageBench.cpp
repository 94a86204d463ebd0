// A page of 300 rows of the preference libraries' cells (link, social, tinted, stepper, colour
// cells of the three pickers, list-items and application-list links, under package and image
// headers), opened as the device opens it: the plist read, every row prepared by its class, and
// the drawn table making the cells of the rows near the view.
//
// Aim: within one 60 Hz frame (16.7 ms).

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/prefs/PSListController.h"
#include "platform/prefslibs/PrefsLibraries.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UITableViewContentView.h"

#include "BenchFolder.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

struct LibraryDevice : BenchFolder {
    LibraryDevice() {
        std::string items;
        for (int i = 0; i < 300; ++i) {
            const std::string n = std::to_string(i);
            const std::string store = "key = k" + n + "; defaults = com.example.libs; ";
            switch (i % 12) {
            case 0:
                items +=
                    "{ cell = PSGroupCell; headerCellClass = HBPackageNameHeaderCell; packageIdentifier = "
                    "com.example.libs; },\n";
                break;
            case 1:
                items += "{ cell = PSButtonCell; cellClass = HBLinkTableCell; label = \"Link " + n +
                         "\"; subtitle = \"example.com\"; url = \"https://example.com/" + n + "\"; },\n";
                break;
            case 2:
                items += "{ cell = PSButtonCell; cellClass = HBTwitterCell; label = \"Dev " + n +
                         "\"; user = dev" + n + "; big = 1; },\n";
                break;
            case 3:
                items += "{ cell = PSButtonCell; cellClass = HBTintedTableCell; label = \"Tinted " + n +
                         "\"; tintColor = \"#FF3B30\"; action = hb_respring; },\n";
                break;
            case 4:
                items += "{ cell = PSSwitchCell; cellClass = HBStepperTableCell; label = \"Margin %i\"; "
                         "singularLabel = \"Margin 1\"; min = 0; max = 20; default = 4; " +
                         store + "},\n";
                break;
            case 5:
                items += "{ cell = PSLinkCell; cellClass = HBColorPickerTableCell; label = \"Colour " + n +
                         "\"; default = \"#FF9500\"; showAlphaSlider = 1; " + store + "},\n";
                break;
            case 6:
                items += "{ cell = PSLinkCell; cellClass = SparkColourPickerCell; label = \"Spark " + n +
                         "\"; key = s" + n +
                         "; libsparkcolourpicker = { defaults = com.example.libs; key = s" + n +
                         "; fallback = \"#34C759\"; }; },\n";
                break;
            case 7:
                items += "{ cell = PSLinkCell; cellClass = PFSimpleLiteColorCell; label = \"Lite " + n +
                         "\"; libcolorpicker = { defaults = com.example.libs; key = p" + n +
                         "; fallback = \"#007AFF\"; alpha = 1; }; },\n";
                break;
            case 8:
                items += "{ cell = PSLinkListCell; detail = HBListItemsController; label = \"Style " + n +
                         "\"; validValues = (0, 1); validTitles = (Soft, Bright); default = 1; " + store +
                         "},\n";
                break;
            case 9:
                items += "{ cell = PSLinkListCell; detail = ATLApplicationListMultiSelectionController; "
                         "label = \"Apps " +
                         n + "\"; " + store + "},\n";
                break;
            case 10:
                items += "{ cell = PSSwitchCell; cellClass = XYOwnSwitchCell; label = \"Own " + n + "\"; " +
                         store + "default = 1; },\n";
                break;
            default:
                items +=
                    "{ cell = PSLinkCell; bundle = AppList; isController = 1; label = \"Muted " + n +
                    "\"; ALSettingsPath = \"/var/mobile/Library/Preferences/com.example.muted.plist\"; },\n";
                break;
            }
        }
        writeBenchFile(root / "Libs.bundle/Root.plist", "{ title = Libraries; items = (\n" + items + "); }");
        writeBenchFile(root / "Libs.bundle/Info.plist",
                       "{ CFBundleExecutable = Libs; NSPrincipalClass = LBRoot; }");
        writeBenchFile(
            root / "var/lib/dpkg/status",
            "Package: com.example.libs\nName: Libraries\nVersion: 1.0\nAuthor: Example <e@example.com>\n\n");
        NSFileManager::setDeviceRoot(root.string());
        UIScreen::mainScreen()->setScale(2);
    }
};

LibraryDevice& device() {
    static LibraryDevice d;
    return d;
}

void BM_OpenLibraryPage300(benchmark::State& state) {
    device();
    NSLogSetEchoToStderr(false);
    PrefsLibraries::install();
    auto loop = NSRunLoop::installMain(ManualClock::create());
    auto bundle = NSBundle::bundleWithPath("/Libs.bundle");
    std::size_t rows = 0, made = 0;
    for (auto _ : state) {
        bundle->flushCaches();
        auto list = PSListController::createWithPlist(bundle, "Root");
        auto nav = UINavigationController::create(list);
        nav->loadViewIfNeeded();
        list->loadViewIfNeeded();
        rows = list->specifiers()->size();
        auto table = list->table();
        table->setFrame(CGRectMake(0, 0, 375, 603));
        made = UITableViewContentView::attach(table)->visibleRows().size();
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["cells"] = static_cast<double>(made);
}
BENCHMARK(BM_OpenLibraryPage300)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
