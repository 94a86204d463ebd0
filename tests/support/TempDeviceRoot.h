#pragma once

// A fresh device root folder for a file-layer test, removed with everything in it afterwards.
// Helpers write host files inside it by device path, so tests set up exactly the files they need.
// DeviceFixture builds a whole simulated device on top of it.

#include "platform/foundation/plist/PropertyList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TempDeviceRoot {
public:
    TempDeviceRoot() {
        std::string pattern = (std::filesystem::temp_directory_path() / "oc-device-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        root_ = pattern;
    }
    ~TempDeviceRoot() {
        std::error_code ec;
        // Tests may leave folders without write permission behind; open them up to clean up.
        for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec))
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(root_, ec);
    }
    TempDeviceRoot(const TempDeviceRoot&) = delete;
    TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

    const std::string& path() const { return root_; }
    const std::string& root() const { return root_; }
    // The host path of a device path.
    std::string host(std::string_view devicePath) const { return root_ + std::string(devicePath); }

    void mkdirs(std::string_view devicePath) const { std::filesystem::create_directories(host(devicePath)); }

    void write(std::string_view devicePath, std::string_view bytes) const {
        std::filesystem::create_directories(std::filesystem::path(host(devicePath)).parent_path());
        std::ofstream(host(devicePath), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::string read(std::string_view devicePath) const {
        std::ifstream in(host(devicePath), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    bool exists(std::string_view devicePath) const { return std::filesystem::exists(host(devicePath)); }

    void writePlist(std::string_view devicePath, const PlistValue& value) const {
        write(devicePath, writePropertyListXML(value).bytes);
    }
    PlistValue readPlist(std::string_view devicePath) const {
        std::string bytes = read(devicePath);
        return readPropertyList(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
            .value;
    }

    // Names in a device folder, for checking that no temporary file was left.
    std::vector<std::string> names(std::string_view devicePath) const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(host(devicePath)))
            out.push_back(e.path().filename().string());
        return out;
    }

protected:
    std::string root_;
};

// Runs a shell command and answers its standard output; sets `status` to its exit status.
inline std::string runCommand(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) {
        if (status)
            *status = -1;
        return out;
    }
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int rc = pclose(p);
    if (status)
        *status = rc;
    return out;
}

inline bool havePython() {
    int status = 0;
    runCommand("python3 -c 'import plistlib' 2>/dev/null", &status);
    return status == 0;
}

inline std::span<const std::uint8_t> asBytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}
