#include "platform/ui/UIStatusBarOrientation.h"

#include "platform/foundation/NSNotificationCenter.h"

#include <atomic>

namespace {
std::atomic<std::int64_t> gOrientation{UIInterfaceOrientationPortrait};
}

std::int64_t UIStatusBarOrientation() {
    return gOrientation.load();
}

void UISetStatusBarOrientation(std::int64_t orientation) {
    if (gOrientation.exchange(orientation) == orientation)
        return;
    NSNotificationCenter::defaultCenter()->postNotificationName(
        UIApplicationDidChangeStatusBarOrientationNotification);
}
