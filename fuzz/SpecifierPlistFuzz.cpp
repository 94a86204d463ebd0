// Feeds arbitrary bytes as a bundle's specifier plist to the list controller, and shows the rows
// it makes as the table would (sections, rows, the first cells of each section). Whatever the
// file holds, loading ends quickly with rows or none.

#include "FuzzSupport.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/prefs/PSListController.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// A list controller whose rows are the ones the harness loaded.
class FuzzListController : public PSListController {
public:
    static std::shared_ptr<FuzzListController> make() {
        return std::shared_ptr<FuzzListController>(new FuzzListController());
    }
    void adopt(std::shared_ptr<const PSSpecifierList> rows) { _specifiers = std::move(rows); }
};

const FuzzScratch& bundle() {
    return preparedScratch([](const FuzzScratch& scratch) {
        PSListController::setBundlePath(scratch.path());
        // Rows read their values through the device's file manager: the device is the scratch
        // folder, never the host's own files.
        NSFileManager::setDeviceRoot(scratch.path());
        NSLogSetEchoToStderr(false);
        NSRunLoop::installMain(ManualClock::create());
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    bundle().write("Fuzz.plist", data, size);
    auto controller = FuzzListController::make();
    auto rows = controller->loadSpecifiersFromPlistName("Fuzz", controller);
    if (!rows)
        return 0;
    controller->adopt(rows);
    auto table = controller->table();
    std::int64_t sections = controller->numberOfSectionsInTableView(table);
    for (std::int64_t section = 0; section < sections; ++section) {
        std::int64_t count = std::min<std::int64_t>(controller->numberOfRowsInSection(table, section), 16);
        for (std::int64_t row = 0; row < count; ++row) {
            NSIndexPath path = NSIndexPath::indexPathForRow(row, section);
            if (!controller->specifierAtIndexPath(path))
                std::abort();
            if (!controller->cellForRowAtIndexPath(table, path))
                std::abort();
        }
    }
    return 0;
}
