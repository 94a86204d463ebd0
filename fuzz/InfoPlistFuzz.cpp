// Feeds arbitrary bytes as an app bundle's Info.plist to the installed-application list, beside
// one well-formed app. Whatever the file holds, the list reads quickly, keeps the other app, and
// answers for every app it lists, its icon included.

#include "FuzzSupport.h"

#include "platform/applist/ALApplicationList.h"
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
        scratch.write("Applications/MobileSMS.app/Info.plist",
                      reinterpret_cast<const std::uint8_t*>(kInfo.data()), kInfo.size());
        NSFileManager::setDeviceRoot(scratch.path());
        NSLogSetEchoToStderr(false);
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    device().write("var/containers/Bundle/Application/FUZZ/Fuzz.app/Info.plist", data, size);
    auto apps = ALApplicationList::sharedApplicationList();
    apps->reload();
    PlistValue names = apps->applications();
    if (!names.get("com.apple.MobileSMS").isString())
        std::abort();
    for (const auto& [identifier, name] : *names.dictionaryValue()) {
        if (!name.isString() || !apps->bundlePathForDisplayIdentifier(identifier))
            std::abort();
        // Icon names come from the file too: the search must stay inside the bundle and end.
        (void)apps->iconOfSize(29, identifier);
    }
    (void)apps->hasApplicationForURLScheme("fuzz");
    return 0;
}
