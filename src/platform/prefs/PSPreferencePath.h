#pragma once

// Where a row's preference file lives, from its "defaults" value: a value starting with "/" is a
// device path without its extension, any other value a name in the preferences folder. ".plist"
// is appended either way, also to a value that already ends in ".plist", because that is where
// the tweaks themselves look.
//
//     PSPreferencePath::resolve("com.my.tweak", PSPreferencePathRules::Strict)
//         // "/var/mobile/Library/Preferences/com.my.tweak.plist"
//     PSPreferencePath::resolve("/var/mobile/my", PSPreferencePathRules::Strict)  // "/var/mobile/my.plist"
//     PSPreferencePath::resolve("..", PSPreferencePathRules::Strict)              // a failure
//
// Which values name a file at all is one of two settings:
// - Lenient: a value is taken as written, as the Orbitchat pane's own store takes it. The empty
//   value and dot names are files of the folder (".plist", "..plist"), and a name may lead into a
//   subfolder ("sub/name").
// - Strict: the framework's own store, and lint, which checks bundles for it. A name is one plain
//   file name (not "", "." or "..", without "/"), and a path is made of plain names only
//   ("/var/mobile/" and "/var/./x" are refused).
// Under both, a name that climbs out of the preferences folder ("../x", "a/../../x") is refused:
// through it a row could reach any file of the device while seeming to name a preference. So is a
// path that climbs above the device's root ("/../x") and a value holding a NUL byte, which the
// file manager would refuse anyway.

#include "platform/foundation/Result.h"

#include <string>
#include <string_view>

enum class PSPreferencePathRules { Lenient, Strict };

class PSPreferencePath {
public:
    static constexpr std::string_view kFolder = "/var/mobile/Library/Preferences";

    // The device path of the file that `defaults` names, or why it names none under `rules`.
    static Result<std::string> resolve(std::string_view defaults, PSPreferencePathRules rules);

    // The path as the value spells it, whether or not it is one that `resolve` accepts: what a
    // message about a refused value shows.
    static std::string spelled(std::string_view defaults);
};
