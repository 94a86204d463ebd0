#pragma once

// The layer-level appearance of a view: corner radius, border, shadow-free opacity, the 3D
// transform (projected orthographically when drawn), and group opacity. Every view has one.

#include "platform/graphics/CGGeometry.h"
#include "platform/ui/UIColor.h"

#include <optional>

class UIView;

class CALayer {
public:
    // The view whose layer this is (it owns the layer, so the pointer never dangles).
    explicit CALayer(UIView* owner = nullptr) : owner_(owner) {}

    CGFloat cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(CGFloat r);
    CGFloat borderWidth() const { return borderWidth_; }
    void setBorderWidth(CGFloat w);
    std::optional<UIColor> borderColor() const { return borderColor_; }
    void setBorderColor(std::optional<UIColor> c);
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool m);
    const CATransform3D& transform() const { return transform_; }
    void setTransform(const CATransform3D& t);
    bool allowsGroupOpacity() const { return allowsGroupOpacity_; }
    void setAllowsGroupOpacity(bool g) { allowsGroupOpacity_ = g; }

private:
    UIView* owner_;
    CGFloat cornerRadius_ = 0;
    CGFloat borderWidth_ = 0;
    std::optional<UIColor> borderColor_;
    bool masksToBounds_ = false;
    bool allowsGroupOpacity_ = true;
    CATransform3D transform_{};
};
