#pragma once

// Appearance proxies, the part the system uses: colour values that a caller sets for a view class
// when it is contained in another class (`appearanceWhenContainedIn:`), which views of that class
// ask for before applying their own defaults. Keyed by class names and a property name.
//
//     UIAppearance::whenContainedIn("TQRoundProgressView", "TQProgressHUD")
//         .setColor("progressTintColor", UIColor::redColor());
//     ...
//     if (!UIAppearance::whenContainedIn("TQRoundProgressView", "TQProgressHUD").color("progressTintColor"))
//         view->setProgressTintColor(defaultColour);
//
// A view applies the proxies' values when it joins a window (UIView::applyAppearance), as the
// platform does: `colorFor` answers the value for the view where it stands, the proxy of the
// nearest containing class first, then the proxy for everywhere. Containers match by class name.
//
// Proxies belong to the current device environment and live as long as it: what one simulated
// device set is not seen by the next.

#include "platform/ui/UIColor.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>

class UIView;

class UIAppearance {
public:
    // The proxy of `viewClass` inside `containerClass` (an empty container: everywhere).
    static UIAppearance& whenContainedIn(const std::string& viewClass, const std::string& containerClass);
    static UIAppearance& appearance(const std::string& viewClass) { return whenContainedIn(viewClass, ""); }
    static std::optional<UIColor> colorFor(const UIView& view, const std::string& viewClass,
                                           const std::string& property);

    std::optional<UIColor> color(const std::string& property) const;
    void setColor(const std::string& property, std::optional<UIColor> color);

private:
    mutable std::mutex mutex_;
    std::map<std::string, UIColor> colors_;
};
