#include "platform/foundation/CFVersion.h"

#include <atomic>

namespace {
// Read from drawing code on the main thread and possibly set by a device set-up elsewhere, so the
// value is atomic rather than a plain global.
std::atomic<double> gVersion{kCFCoreFoundationVersionNumberCurrent};
} // namespace

double kCFCoreFoundationVersionNumber() {
    return gVersion.load(std::memory_order_relaxed);
}

void CFSetCoreFoundationVersionNumber(double version) {
    gVersion.store(version, std::memory_order_relaxed);
}
