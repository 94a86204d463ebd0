#include "platform/ui/UITraitCollection.h"

#include <atomic>

namespace {
std::atomic<UIUserInterfaceStyle> current{UIUserInterfaceStyleLight};
} // namespace

UIUserInterfaceStyle UITraitCollection::currentUserInterfaceStyle() {
    return current.load(std::memory_order_relaxed);
}

void UITraitCollection::setCurrentUserInterfaceStyle(UIUserInterfaceStyle style) {
    current.store(style == UIUserInterfaceStyleDark ? UIUserInterfaceStyleDark : UIUserInterfaceStyleLight,
                  std::memory_order_relaxed);
}
