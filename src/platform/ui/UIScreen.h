#pragma once

// The device's screen (UIScreen): its bounds in points and its scale (pixels per point). The
// simulator configures the main screen (375 x 667 points at 2x unless told otherwise). The main
// screen is the current device environment's: each simulated device has its own.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>

class UIScreen : public NSObject {
public:
    static const std::shared_ptr<UIScreen>& mainScreen();

    std::string className() const override { return "UIScreen"; }

    CGRect bounds() const { return bounds_; }
    void setBounds(CGRect bounds) { bounds_ = bounds; }
    CGFloat scale() const { return scale_; }
    // Also the scale that image contexts without one of their own draw at.
    void setScale(CGFloat scale);

protected:
    UIScreen() = default;

private:
    CGRect bounds_ = CGRectMake(0, 0, 375, 667);
    CGFloat scale_ = 2;
};
