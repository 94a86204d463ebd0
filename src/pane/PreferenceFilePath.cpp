#include "pane/PreferenceFilePath.h"

std::string OrbitchatPreferenceFilePath(std::string_view defaults) {
    return PSPreferencePath::spelled(defaults);
}
