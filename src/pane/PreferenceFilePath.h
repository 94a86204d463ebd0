#pragma once

// Where the pane keeps a row's value: the file its "defaults" value names, as PSPreferencePath
// resolves it under the pane's own rules. A value beginning with "/" is a device path without the
// extension; any other value is a name in the Preferences folder. ".plist" is appended in both
// cases, even to a value that already ends in ".plist", because that is where the tweak itself
// looks. The pane takes a value as written ("" names ".plist", "sub/x" a file of a subfolder),
// except one that climbs out of the Preferences folder or the device.
//
//     OrbitchatPreferenceFilePath("com.orbitchat.prefs")
//         // "/var/mobile/Library/Preferences/com.orbitchat.prefs.plist"
//     OrbitchatPreferenceFilePath("/tmp/x")   // "/tmp/x.plist"

#include "platform/prefs/PSPreferencePath.h"

#include <string>
#include <string_view>

inline constexpr std::string_view OrbitchatPreferencesDirectory = PSPreferencePath::kFolder;
inline constexpr PSPreferencePathRules OrbitchatPreferencePathRules = PSPreferencePathRules::Lenient;

// The path the value spells, as the pane's log lines name it, also when the rules refuse it.
std::string OrbitchatPreferenceFilePath(std::string_view defaults);
