#include "platform/ui/UIDevice.h"

#include "platform/foundation/DeviceEnvironment.h"

#include <algorithm>
#include <array>
#include <atomic>

namespace {

// The model of the current device environment's device.
struct DeviceModel : DeviceEnvironment::Part {
    std::atomic<UIDeviceModel> model{UIDeviceModel::iPhone};
};

std::atomic<UIDeviceModel>& currentModel() {
    return DeviceEnvironment::current().part<DeviceModel>().model;
}

// What every model here has.
constexpr std::array<std::string_view, 16> kCommon{
    "wifi",         "bluetooth-le",        "arm64",
    "armv7",        "accelerometer",       "gyroscope",
    "magnetometer", "microphone",          "still-camera",
    "video-camera", "front-facing-camera", "auto-focus-camera",
    "opengles-2",   "opengles-3",          "metal",
    "peer-peer",
};
constexpr std::array<std::string_view, 5> kPhone{"telephony", "sms", "cellular-data", "gps", "camera-flash"};

} // namespace

UIDeviceModel UIDevice::model() {
    return currentModel().load();
}

void UIDevice::setModel(UIDeviceModel model) {
    currentModel().store(model);
}

std::string UIDevice::modelName() {
    switch (model()) {
    case UIDeviceModel::iPad:
        return "iPad";
    case UIDeviceModel::iPodTouch:
        return "iPod touch";
    default:
        return "iPhone";
    }
}

std::optional<UIDeviceModel> UIDevice::modelFromName(std::string_view name) {
    if (name == "iphone")
        return UIDeviceModel::iPhone;
    if (name == "ipad")
        return UIDeviceModel::iPad;
    if (name == "ipod")
        return UIDeviceModel::iPodTouch;
    return std::nullopt;
}

bool UIDevice::hasCapability(std::string_view capability) {
    if (std::find(kCommon.begin(), kCommon.end(), capability) != kCommon.end())
        return true;
    if (std::find(kPhone.begin(), kPhone.end(), capability) != kPhone.end())
        return model() == UIDeviceModel::iPhone;
    return false;
}
