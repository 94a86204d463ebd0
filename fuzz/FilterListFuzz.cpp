// Feeds arbitrary bytes as an extension's filter list ("Filter" → "Bundles") to the pane's
// discovery, on a device with one extension and one app. Whatever the file holds, discovery
// ends quickly with the extension's one record.

#include "FuzzSupport.h"

#include "pane/OrbitchatPreferencesController.h"
#include "platform/applist/ALApplicationList.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::string_view kInfo = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                   "<key>CFBundleIdentifier</key><string>com.apple.MobileSMS</string>"
                                   "<key>CFBundleDisplayName</key><string>Messages</string></dict></plist>\n";

const FuzzScratch& device() {
    return preparedScratch([](const FuzzScratch& scratch) {
        auto bytes = [](std::string_view s) { return reinterpret_cast<const std::uint8_t*>(s.data()); };
        scratch.write("Applications/MobileSMS.app/Info.plist", bytes(kInfo), kInfo.size());
        scratch.write("Library/MobileSubstrate/DynamicLibraries/OCSupportFuzz.dylib", bytes("x"), 1);
        NSFileManager::setDeviceRoot(scratch.path());
        ALApplicationList::sharedApplicationList()->reload();
        NSLogSetEchoToStderr(false);
        NSRunLoop::installMain(ManualClock::create());
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    device().write("Library/MobileSubstrate/DynamicLibraries/OCSupportFuzz.plist", data, size);
    auto pane = OrbitchatPreferencesController::create();
    pane->setDylibsArray(PlistValue::array());
    pane->loadDylibs();
    if (pane->dylibsArray().count() != 1)
        std::abort();
    return 0;
}
