#include "pane/PreferenceFilePath.h"

std::string OrbitchatPreferenceFilePath(std::string_view defaults) {
    if (!defaults.empty() && defaults.front() == '/')
        return std::string(defaults) + ".plist";
    return std::string(OrbitchatPreferencesDirectory) + "/" + std::string(defaults) + ".plist";
}
