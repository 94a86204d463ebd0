#pragma once

// The device's model and what its hardware can do (UIDevice, and the capability answers that
// preference bundles ask for with "requiredCapabilities"). The model is the simulated device's:
// an iPhone by default; an iPad or an iPod touch lacks the phone's radio, and the iPod touch GPS.
// Each device environment has its own model.
//
//     UIDevice::setModel(UIDeviceModel::iPad);
//     UIDevice::hasCapability("telephony");   // false

#include <optional>
#include <string>
#include <string_view>

enum class UIDeviceModel { iPhone, iPad, iPodTouch };

class UIDevice {
public:
    static UIDeviceModel model();
    static void setModel(UIDeviceModel model);
    // "iPhone", "iPad" or "iPod touch".
    static std::string modelName();
    // The model for a name as the command line gives it ("iphone", "ipad", "ipod"), or none.
    static std::optional<UIDeviceModel> modelFromName(std::string_view name);

    // Whether the device has a capability by its platform name ("telephony", "wifi", "gps",
    // "front-facing-camera", "arm64", ...). Names the platform does not know are capabilities no
    // device has.
    static bool hasCapability(std::string_view capability);
};
