#pragma once

// The sample device in examples/ belongs to the source tree, and the simulator never writes to
// it. Without --device, the window and the user's scripts run on a working copy that lasts from
// run to run (so a switch flipped today is still on tomorrow), made from the sample when it is
// missing or when asked to reset; the built-in recordings (the tour and the HUD gallery) run on
// a fresh temporary copy, so that they come out the same every time.
//
//     std::string why;
//     auto copy = SampleDevice::temporaryCopy(sample, why);      // removed when `copy` goes
//     auto root = SampleDevice::workingCopy(sample, false, why);  // ~/.local/state/orbitchat-sim/device

#include <memory>
#include <optional>
#include <string>

class SampleDevice {
public:
    // A copy of `sample` in a new temporary folder, removed with the object. Null (with the
    // reason) when the copy cannot be made.
    static std::unique_ptr<SampleDevice> temporaryCopy(const std::string& sample, std::string& why);

    // The lasting working copy: $XDG_STATE_HOME/orbitchat-sim/device, or
    // ~/.local/state/orbitchat-sim/device. It is made from `sample` when missing or when `reset`
    // is set; the copy is built beside it and renamed into place, so an interrupted copy never
    // leaves a half device behind.
    static std::optional<std::string> workingCopy(const std::string& sample, bool reset, std::string& why);

    ~SampleDevice();
    SampleDevice(const SampleDevice&) = delete;
    SampleDevice& operator=(const SampleDevice&) = delete;

    const std::string& path() const { return path_; }

private:
    explicit SampleDevice(std::string folder) : folder_(std::move(folder)), path_(folder_ + "/device") {}
    std::string folder_, path_;
};
