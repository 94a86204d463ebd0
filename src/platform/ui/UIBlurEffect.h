#pragma once

// A blur effect for a visual effect view: which blur and which tint lies over it.
//
//     auto blur = UIVisualEffectView::create(UIBlurEffect::effectWithStyle(UIBlurEffectStyleLight));

#include "platform/foundation/NSObject.h"
#include "platform/ui/UIColor.h"

#include <cstdint>
#include <memory>

enum UIBlurEffectStyle : std::int64_t {
    UIBlurEffectStyleExtraLight = 0,
    UIBlurEffectStyleLight = 1,
    UIBlurEffectStyleDark = 2,
};

class UIBlurEffect : public NSObject {
    struct Private {};

public:
    static std::shared_ptr<UIBlurEffect> effectWithStyle(std::int64_t style) {
        return std::make_shared<UIBlurEffect>(Private{}, style);
    }
    UIBlurEffect(Private, std::int64_t style) : style_(style) {}

    std::string className() const override { return "UIBlurEffect"; }
    std::int64_t style() const { return style_; }

    // The blur radius in points and the colour laid over the blurred backdrop. Styles outside the
    // list look like the light one.
    double blurRadius() const { return 20; }
    UIColor tintColor() const {
        switch (style_) {
        case UIBlurEffectStyleExtraLight:
            return UIColor::colorWithWhite(0.97, 0.7);
        case UIBlurEffectStyleDark:
            return UIColor::colorWithWhite(0.11, 0.73);
        default:
            return UIColor::colorWithWhite(1.0, 0.3);
        }
    }

private:
    std::int64_t style_;
};
