#include "platform/prefs/PSPreferencePath.h"

#include <cerrno>
#include <vector>

namespace {

std::vector<std::string_view> componentsOf(std::string_view path) {
    std::vector<std::string_view> parts;
    for (;;) {
        std::size_t slash = path.find('/');
        parts.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos)
            return parts;
        path.remove_prefix(slash + 1);
    }
}

bool isPlainName(std::string_view part) {
    return !part.empty() && part != "." && part != "..";
}

// Whether the folders before the last component climb above where the walk starts. The last
// component never does: it gets ".plist" appended, so even ".." is a file name there.
bool climbsOut(const std::vector<std::string_view>& parts) {
    std::size_t depth = 0;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] == "..") {
            if (depth == 0)
                return true;
            --depth;
        } else if (isPlainName(parts[i])) {
            ++depth;
        }
    }
    return false;
}

} // namespace

Result<std::string> PSPreferencePath::resolve(std::string_view defaults, PSPreferencePathRules rules) {
    if (defaults.find('\0') != std::string_view::npos)
        return Failure{"a name holds no NUL byte", EINVAL};
    const bool absolute = defaults.starts_with('/');
    const auto parts = componentsOf(absolute ? defaults.substr(1) : defaults);
    if (climbsOut(parts))
        return Failure{absolute ? "the path leads out of the device"
                                : "the name leads out of the preferences folder",
                       EXDEV};
    if (rules == PSPreferencePathRules::Strict) {
        if (!absolute && parts.size() > 1)
            return Failure{"a name in the preferences folder holds no \"/\" (a path starts with one)",
                           EINVAL};
        for (std::string_view part : parts)
            if (!isPlainName(part))
                return Failure{"\"\", \".\" and \"..\" name no file", EINVAL};
    }
    return spelled(defaults);
}

std::string PSPreferencePath::spelled(std::string_view defaults) {
    if (defaults.starts_with('/'))
        return std::string(defaults) + ".plist";
    return std::string(kFolder) + "/" + std::string(defaults) + ".plist";
}
