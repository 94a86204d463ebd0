#pragma once

// A preference bundle's files written into a test's temporary folder, as a tweak's build leaves
// them: the Info.plist the device needs to load it, and specifier plists written a row to a line,
// so that a finding's line number names its row.
//
//     TempDeviceRoot dir;
//     BundleWriter bundle(dir, "My.bundle");
//     bundle.write("Info.plist", kBundleInfo);
//     bundle.write("Root.plist", xmlSpecifierPage({xmlEntry("cell", "PSGroupCell")}));
//     lint(bundle.path());

#include "support/TempDeviceRoot.h"

#include <string>
#include <string_view>
#include <vector>

// A key and its string value, as a row or dictionary of XML holds them.
inline std::string xmlEntry(const std::string& key, const std::string& value) {
    return "<key>" + key + "</key><string>" + value + "</string>";
}

// A specifier plist in XML with one row per line: the title is on line 3 and row N (from 1) on
// line N + 3.
inline std::string xmlSpecifierPage(const std::vector<std::string>& rows, const std::string& title = "") {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>";
    if (!title.empty())
        out += "<key>title</key><string>" + title + "</string>";
    out += "<key>items</key><array>\n";
    for (const auto& row : rows)
        out += "<dict>" + row + "</dict>\n";
    return out + "</array></dict></plist>\n";
}

// An Info.plist that names an executable and a principal class, as the device needs to load a
// bundle.
inline const std::string kBundleInfo = "<plist><dict>" + xmlEntry("CFBundleExecutable", "My") +
                                       xmlEntry("NSPrincipalClass", "MyListController") + "</dict></plist>";

class BundleWriter {
public:
    explicit BundleWriter(const TempDeviceRoot& dir, std::string name = "My.bundle")
        : dir_(dir), folder_("/" + std::move(name)) {}

    // The bundle's folder on the host.
    std::string path() const { return dir_.host(folder_); }

    // Writes `bytes` as the bundle's file `file` ("Root.plist", "de.lproj/Root.strings").
    void write(const std::string& file, std::string_view bytes) const {
        dir_.write(folder_ + "/" + file, bytes);
    }

private:
    const TempDeviceRoot& dir_;
    std::string folder_;
};
