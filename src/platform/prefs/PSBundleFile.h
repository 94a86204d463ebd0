#pragma once

// The files of a preference bundle that its pages reach by name (Root.plist, a "detail" page, a
// strings table) must lie inside the bundle: that is all the device installs with it. A symbolic
// link among them that leads out of the bundle's folder points at whatever the machine it was
// made on had there, so it is not followed, and messages say so instead of "no such file".
//
//     if (auto target = PSBundleFile::linkOutOfBundle(*bundle->fileManager(), bundle->bundlePath(), path))
//         NSLog("%@", {PlistValue(PSBundleFile::linkOutReason(path, *target))});

#include "platform/foundation/NSFileManager.h"

#include <optional>
#include <string>
#include <string_view>

class PSBundleFile {
public:
    // The target of the file at `path` (a path of `files`, inside `bundlePath`) when the file is a
    // link that leads out of the bundle; none when it is no link or stays inside. A target leads
    // out when it climbs above the bundle's folder, or when it is absolute and does not start with
    // the bundle's own path (for a bundle that is the root of `files`, a folder of the host, every
    // absolute target names a file of the host).
    static std::optional<std::string> linkOutOfBundle(const NSFileManager& files, std::string_view bundlePath,
                                                      std::string_view path);

    // What a message says of such a file: `“Sub.plist” is a link that leads out of the bundle (to
    // "/elsewhere/Sub.plist")`.
    static std::string linkOutReason(std::string_view path, std::string_view target);
};
