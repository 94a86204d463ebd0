#pragma once

// Where a row's Preference file lives, from its "defaults" value: a value beginning with "/" is a
// device path without the extension; any other value is a file name in the Preferences folder.
// ".plist" is appended in both cases, even to a value that already ends in ".plist", because
// that is where the tweak itself looks.
//
//     OrbitchatPreferenceFilePath("com.orbitchat.prefs")  //
//     "/var/mobile/Library/Preferences/com.orbitchat.prefs.plist" OrbitchatPreferenceFilePath("/tmp/x") //
//     "/tmp/x.plist"

#include <string>
#include <string_view>

inline constexpr std::string_view OrbitchatPreferencesDirectory = "/var/mobile/Library/Preferences";

std::string OrbitchatPreferenceFilePath(std::string_view defaults);
