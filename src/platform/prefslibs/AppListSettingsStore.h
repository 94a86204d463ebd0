#pragma once

// Where AppList's page keeps its values: the property list at the row's "ALSettingsPath", read
// whole, changed, written back whole (atomically, through the device's file manager), and then
// announced by posting the row's "ALChangeNotification" (DarwinNotifyCenter). On a phone the file
// is also the preference domain of its name when it lies in the preferences folder; here the
// domain is that file.
//
//     AppListSettingsStore store(row->properties());
//     PlistValue values = store.values();                        // {"ALValue-com.apple.MobileSMS": true}
//     if (Result<> saved = store.change([](const PlistValue& d) { d.set("ALValue-x", PlistValue(true)); });
//         !saved) ...                                             // logged by the caller
//
// The path must be a device path in the mobile user's folder ("/var/mobile/..."), made of plain
// names (no "", "." or ".." part, no NUL): anything else is refused, so a bundle cannot make the
// page write elsewhere on the device. A refused or missing path reads as no values.

#include "platform/foundation/Result.h"
#include "platform/foundation/plist/PlistValue.h"

#include <functional>
#include <string>
#include <string_view>

class AppListSettingsStore {
public:
    static constexpr std::string_view kAllowedFolder = "/var/mobile/";

    // The file the value names, or why it is refused.
    static Result<std::string> checkedPath(const PlistValue& settingsPath);

    explicit AppListSettingsStore(const PlistValue& rowProperties);

    // The checked path, or why there is none.
    const Result<std::string>& path() const { return path_; }
    // The file's dictionary: empty when there is no file, no allowed path, or the file does not
    // read as a dictionary.
    PlistValue values() const;
    // Applies `edit` to a copy of the file's dictionary, writes it and posts the notification.
    // Fails, with the file unchanged and nothing posted, when the path is refused, the file is
    // there but not a dictionary, or the write fails.
    Result<> change(const std::function<void(const PlistValue& dictionary)>& edit) const;

private:
    Result<std::string> path_;
    std::string notification_;
};
