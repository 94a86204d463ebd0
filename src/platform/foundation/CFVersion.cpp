#include "platform/foundation/CFVersion.h"

#include "platform/foundation/DeviceEnvironment.h"

#include <atomic>

namespace {
// The system generation of the current device environment's device. Read from drawing code on the
// main thread and possibly set by a device set-up elsewhere, so the value is atomic.
struct CoreFoundationVersion : DeviceEnvironment::Part {
    std::atomic<double> version{kCFCoreFoundationVersionNumberCurrent};
};

std::atomic<double>& version() {
    return DeviceEnvironment::current().part<CoreFoundationVersion>().version;
}
} // namespace

double kCFCoreFoundationVersionNumber() {
    return version().load(std::memory_order_relaxed);
}

void CFSetCoreFoundationVersionNumber(double number) {
    version().store(number, std::memory_order_relaxed);
}
