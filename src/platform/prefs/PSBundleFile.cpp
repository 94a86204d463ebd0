#include "platform/prefs/PSBundleFile.h"

#include <cstddef>

namespace {

// The folders of `path` below `bundlePath`, or none when the path is not inside it.
std::optional<std::size_t> depthInside(std::string_view bundlePath, std::string_view path) {
    while (bundlePath.size() > 1 && bundlePath.ends_with('/'))
        bundlePath.remove_suffix(1);
    if (bundlePath != "/") {
        if (!path.starts_with(bundlePath) || path.size() <= bundlePath.size() ||
            path[bundlePath.size()] != '/')
            return std::nullopt;
        path.remove_prefix(bundlePath.size());
    }
    std::size_t depth = 0;
    for (std::size_t at = 0; at < path.size();) {
        std::size_t slash = path.find('/', at);
        if (slash == std::string_view::npos)
            break; // the last component is the file itself
        if (slash > at)
            ++depth;
        at = slash + 1;
    }
    return depth;
}

// Whether a relative target, taken from a folder `depth` folders below the bundle, climbs above it.
bool climbsAbove(std::string_view target, std::size_t depth) {
    for (std::size_t at = 0; at <= target.size();) {
        std::size_t slash = target.find('/', at);
        if (slash == std::string_view::npos)
            slash = target.size();
        std::string_view part = target.substr(at, slash - at);
        if (part == "..") {
            if (depth == 0)
                return true;
            --depth;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        at = slash + 1;
    }
    return false;
}

} // namespace

std::optional<std::string> PSBundleFile::linkOutOfBundle(const NSFileManager& files,
                                                         std::string_view bundlePath, std::string_view path) {
    std::optional<std::string> target = files.destinationOfSymbolicLinkAtPath(path);
    if (!target)
        return std::nullopt;
    std::optional<std::size_t> depth = depthInside(bundlePath, path);
    if (!depth)
        return std::nullopt;
    const bool out = target->starts_with('/') ? bundlePath == "/" || !depthInside(bundlePath, *target)
                                              : climbsAbove(*target, *depth);
    return out ? target : std::nullopt;
}

std::string PSBundleFile::linkOutReason(std::string_view path, std::string_view target) {
    std::string_view name =
        path.substr(path.find_last_of('/') == std::string_view::npos ? 0 : path.find_last_of('/') + 1);
    return "“" + std::string(name) + "” is a link that leads out of the bundle (to \"" + std::string(target) +
           "\")";
}
