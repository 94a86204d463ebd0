#include "platform/ui/UIStatusBarOrientation.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSNotificationCenter.h"

#include <atomic>

namespace {
// The orientation of the current device environment's status bar.
struct StatusBarOrientation : DeviceEnvironment::Part {
    std::atomic<std::int64_t> orientation{UIInterfaceOrientationPortrait};
};

std::atomic<std::int64_t>& storedOrientation() {
    return DeviceEnvironment::current().part<StatusBarOrientation>().orientation;
}
} // namespace

std::int64_t UIStatusBarOrientation() {
    return storedOrientation().load();
}

void UISetStatusBarOrientation(std::int64_t orientation) {
    if (storedOrientation().exchange(orientation) == orientation)
        return;
    NSNotificationCenter::defaultCenter()->postNotificationName(
        UIApplicationDidChangeStatusBarOrientationNotification);
}
