#pragma once

// The layer-level appearance of a view: corner radius, border, shadow-free opacity, the 3D
// transform (projected orthographically when drawn), and group opacity. Every view has one.
//
// Layer animations (CABasicAnimation) are kept by key in the order they were added; the
// renderer asks for `presentationTransform`, which evaluates them on the main run loop's clock
// at drawing time. While any layer of the device (the current device environment) has an
// animation, one frame observer marks the screen as changed on every frame (so the window redraws)
// and drops animations that have ended; with none left it unregisters. Main thread only.

#include "platform/graphics/CGGeometry.h"
#include "platform/ui/UIColor.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class CABasicAnimation;

class UIView;

class CALayer : public std::enable_shared_from_this<CALayer> {
public:
    // A layer stands alone until a view makes it its own (every view has one); it may be kept
    // after its view is gone (it is handed out shared), and then stands alone again.
    CALayer() = default;
    ~CALayer();
    CALayer(const CALayer&) = delete;
    CALayer& operator=(const CALayer&) = delete;

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

    // addAnimation:forKey:. The layer keeps a copy, begun now unless the animation has its own
    // begin time; an animation under the same key is replaced. A null animation is ignored.
    void addAnimation(const std::shared_ptr<CABasicAnimation>& animation, const std::string& key);
    // The running copy under `key`, or null.
    std::shared_ptr<CABasicAnimation> animationForKey(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();
    // The transform as drawn now: `model` (the view's own, animated by view animations) with the
    // layer's transform animations at the clock's current time applied over it.
    CATransform3D presentationTransform(const CATransform3D& model) const;
    // Drops animations that have ended; answers whether any is left (the frame observer's work).
    bool pruneEndedAnimations(double now);
    // When the first animation to be removed on completion ends (infinity for none).
    double earliestEnd() const;

private:
    friend class UIView;
    // The view whose layer this is, held weakly: the view owns the layer, not the other way.
    // Set by the view once the view is owned by a shared_ptr (UIView::layer).
    std::weak_ptr<UIView> view_;
    CGFloat cornerRadius_ = 0;
    CGFloat borderWidth_ = 0;
    std::optional<UIColor> borderColor_;
    bool masksToBounds_ = false;
    bool allowsGroupOpacity_ = true;
    CATransform3D transform_{};
    std::vector<std::pair<std::string, std::shared_ptr<CABasicAnimation>>> animations_;
};
