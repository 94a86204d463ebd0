#pragma once

// The property-list file operations of NSDictionary, over PlistValue dictionaries and the default
// file manager's device root. They are what the pane's value store and extension discovery call:
//
//     PlistValue prefs =
//     NSDictionary::dictionaryWithContentsOfFile("/var/mobile/Library/Preferences/x.plist"); if (prefs) ...
//     // none: missing, unreadable, or not a dictionary NSDictionary::writeToFile(prefs, path, true);

#include "platform/foundation/NSError.h"
#include "platform/foundation/plist/PlistValue.h"

#include <memory>

#include <string_view>

class NSDictionary {
public:
    // `initWithContentsOfFile:`: the top-level dictionary of the property list at the device path,
    // or none when the file is missing or unreadable, is not a property list within the reading
    // limits, or holds something other than a dictionary at the top. The dictionary is shared
    // with every other reader of the same file contents, as an immutable NSDictionary would be:
    // change a `mutableCopy()` of it.
    static PlistValue dictionaryWithContentsOfFile(std::string_view path);

    // `writeToFile:atomically:`: writes the dictionary as an XML property list. Answers whether it
    // was written; when it was not, the old file is unchanged. Writes are atomic whatever
    // `atomically` says: a torn preference file would lose every setting in it, not just one.
    static bool writeToFile(const PlistValue& dictionary, std::string_view path, bool atomically);
    // The same, with the reason of a failure (its text names the device path only).
    static bool writeToFile(const PlistValue& dictionary, std::string_view path, bool atomically,
                            std::shared_ptr<NSError>* error);
};
