#pragma once

// Where orbitchat-sim finds its data: the pane's resources, the sample device, the sample
// catalogue and the example scripts. Nothing of the source tree is compiled in; the folder is
// found from the program's own location, so the program runs from the build tree, an install
// prefix or an unpacked package alike. The first of these that holds a resources/ folder is it:
//
//   1. $ORBITCHAT_SIM_DATA, when set and not empty (a program copied elsewhere points it at its
//      data; when set it is the only place looked in);
//   2. <the program's folder>/../share/orbitchat-sim (an install prefix);
//   3. share/orbitchat-sim in the nearest folder above the program's that has one (the build tree,
//      where configuring the build links the source tree's files into <build>/share/orbitchat-sim;
//      see src/sim/CMakeLists.txt, which names the same entries as the accessors below).
//
//     Result<DataFolder> data = DataFolder::find();
//     if (!data)
//         return fail(data.failure().reason);   // "no data folder: looked in ..."
//     options.catalogueFile = data.value().catalogue();
//
// Failure: no place holds the data (the reason names every folder looked in), or the program
// cannot tell where it is itself (/proc/self/exe unreadable).

#include "platform/foundation/Result.h"

#include <filesystem>
#include <string>

class DataFolder {
public:
    // The search above, for this program.
    static Result<DataFolder> find();
    // The same search for a given value of the variable (null: unset) and a given program file.
    static Result<DataFolder> find(const char* variable, const std::filesystem::path& program);

    const std::filesystem::path& path() const { return path_; }
    // The entries, each with its links resolved: in the build tree they are links into the
    // source tree, and a copy of a link would be the source tree itself.
    //
    // The pane's bundle folder (resources/ of the source tree).
    std::string resources() const { return entry("resources"); }
    // The sample device (examples/device).
    std::string sampleDevice() const { return entry("device"); }
    // The sample catalogue the loopback server serves (examples/catalogue.json).
    std::string catalogue() const { return entry("catalogue.json"); }
    // The README's tour and the HUD gallery (examples/*.script).
    std::string tourScript() const { return entry("tour.script"); }
    std::string hudGalleryScript() const { return entry("hud-gallery.script"); }

private:
    explicit DataFolder(std::filesystem::path path) : path_(std::move(path)) {}
    std::string entry(const char* name) const;
    std::filesystem::path path_;
};
