#include "sim/settings/DataFolder.h"

#include <cstdlib>
#include <system_error>
#include <vector>

namespace {

constexpr const char* kVariable = "ORBITCHAT_SIM_DATA";

// A data folder is one that holds the pane's resources.
bool holdsData(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_directory(folder / "resources", error);
}

std::string lookedIn(const std::vector<std::filesystem::path>& places) {
    std::string list;
    for (const auto& place : places)
        list += (list.empty() ? "" : ", ") + place.string();
    return list;
}

} // namespace

std::string DataFolder::entry(const char* name) const {
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(path_ / name, error);
    return (error ? path_ / name : resolved).string();
}

Result<DataFolder> DataFolder::find() {
    const char* variable = std::getenv(kVariable);
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error && !(variable && *variable))
        return Failure{"no data folder: the program cannot tell where it is (/proc/self/exe: " +
                           error.message() + "); set " + kVariable + " to the folder of its data",
                       error.value()};
    return find(variable, program);
}

Result<DataFolder> DataFolder::find(const char* variable, const std::filesystem::path& program) {
    if (variable && *variable) {
        std::filesystem::path folder = std::filesystem::absolute(variable);
        if (holdsData(folder))
            return DataFolder(folder.lexically_normal());
        return Failure{std::string("no data folder: ") + kVariable + " is " + folder.string() +
                       ", which has no resources/ folder"};
    }
    std::vector<std::filesystem::path> places;
    const std::filesystem::path folder = program.parent_path();
    // The install prefix's share folder first, then every folder from the program's up.
    places.push_back((folder / ".." / "share" / "orbitchat-sim").lexically_normal());
    for (std::filesystem::path up = folder;; up = up.parent_path()) {
        auto place = up / "share" / "orbitchat-sim";
        if (place != places.front())
            places.push_back(place);
        if (up == up.parent_path())
            break;
    }
    for (const auto& place : places)
        if (holdsData(place))
            return DataFolder(place);
    return Failure{"no data folder: looked in " + lookedIn(places) + " (" + kVariable + " is not set)"};
}
