#include "sim/settings/SampleDevice.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Links are copied as links: where they point stays the device's business, and the device's
// file manager refuses those that lead out of its root.
bool copyTree(const fs::path& from, const fs::path& to, std::string& why) {
    std::error_code ec;
    if (!fs::is_directory(from, ec)) {
        why = "no sample device at " + from.string();
        return false;
    }
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        why = "cannot copy " + from.string() + " to " + to.string() + ": " + ec.message();
        return false;
    }
    return true;
}

} // namespace

std::unique_ptr<SampleDevice> SampleDevice::temporaryCopy(const std::string& sample, std::string& why) {
    std::string pattern = (fs::temp_directory_path() / "orbitchat-sim-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        why = "cannot make a temporary folder";
        return nullptr;
    }
    std::unique_ptr<SampleDevice> copy(new SampleDevice(pattern));
    if (!copyTree(sample, copy->path_, why))
        return nullptr;
    return copy;
}

SampleDevice::~SampleDevice() {
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

std::optional<std::string> SampleDevice::workingCopy(const std::string& sample, bool reset,
                                                     std::string& why) {
    fs::path state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/')
        state = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        state = fs::path(home) / ".local/state";
    else {
        why = "neither XDG_STATE_HOME nor HOME names a folder";
        return std::nullopt;
    }
    fs::path folder = state / "orbitchat-sim";
    fs::path device = folder / "device";
    std::error_code ec;
    if (!reset && fs::is_directory(device, ec))
        return device.string();
    fs::create_directories(folder, ec);
    if (ec) {
        why = "cannot make " + folder.string() + ": " + ec.message();
        return std::nullopt;
    }
    fs::path fresh = folder / ("device.new-" + std::to_string(getpid()));
    fs::remove_all(fresh, ec);
    if (!copyTree(sample, fresh, why)) {
        fs::remove_all(fresh, ec);
        return std::nullopt;
    }
    fs::path old = folder / ("device.old-" + std::to_string(getpid()));
    fs::rename(device, old, ec); // missing on the first run
    fs::rename(fresh, device, ec);
    if (ec) {
        why = "cannot put the device copy in place at " + device.string() + ": " + ec.message();
        fs::remove_all(fresh, ec);
        return std::nullopt;
    }
    fs::remove_all(old, ec);
    return device.string();
}
