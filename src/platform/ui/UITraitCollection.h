#pragma once

// The interface style the device draws in, light or dark, as the system's trait collection
// carries it. There is one screen, so there is one style for the whole device: the colours that
// adapt to it (UIColor::labelColor(), UIColor::systemGroupedBackgroundColor() and the others in
// UIColor.h) read it when a view is built or drawn. Set it before the views are made; a view built
// in one style keeps the colours it was given then, as a view with fixed colours does on a device.
//
//     UITraitCollection::setCurrentUserInterfaceStyle(UIUserInterfaceStyleDark);
//     auto label = UILabel::create(); // white text
//
// The style belongs to the current device environment, which puts the earlier style back when it
// ends. It may be read from any thread; it is set on the main thread.

#include <cstdint>

enum UIUserInterfaceStyle : int64_t {
    UIUserInterfaceStyleUnspecified = 0,
    UIUserInterfaceStyleLight = 1,
    UIUserInterfaceStyleDark = 2,
};

class UITraitCollection {
public:
    // Light unless set otherwise; never answers Unspecified.
    static UIUserInterfaceStyle currentUserInterfaceStyle();
    // Unspecified, and values outside the list, mean light.
    static void setCurrentUserInterfaceStyle(UIUserInterfaceStyle style);
    static bool isDark() { return currentUserInterfaceStyle() == UIUserInterfaceStyleDark; }
};
