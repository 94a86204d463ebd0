#include "platform/ui/UITraitCollection.h"

#include "platform/foundation/DeviceEnvironment.h"

#include <atomic>

namespace {
// The current device environment's interface style.
struct InterfaceStyle : DeviceEnvironment::Part {
    std::atomic<UIUserInterfaceStyle> style{UIUserInterfaceStyleLight};
};

std::atomic<UIUserInterfaceStyle>& currentStyle() {
    return DeviceEnvironment::current().part<InterfaceStyle>().style;
}
} // namespace

UIUserInterfaceStyle UITraitCollection::currentUserInterfaceStyle() {
    return currentStyle().load(std::memory_order_relaxed);
}

void UITraitCollection::setCurrentUserInterfaceStyle(UIUserInterfaceStyle style) {
    currentStyle().store(style == UIUserInterfaceStyleDark ? UIUserInterfaceStyleDark
                                                           : UIUserInterfaceStyleLight,
                         std::memory_order_relaxed);
}
