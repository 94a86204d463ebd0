#pragma once

// A rectangle on screen and the node of the view tree. A view owns its subviews (strong) and
// knows its superview weakly. Geometry follows UIKit: `frame` is in the superview's coordinates
// and derived from `center`, `bounds` size and `transform`; `bounds.origin` scrolls the content.
//
//     auto v = UIView::create(CGRectMake(0, 0, 100, 50));
//     parent->addSubview(v);
//
// Subclasses override `drawRect` to paint, `layoutSubviews` to place children, and the
// `didMoveToSuperview`/`didMoveToWindow` notifications. Layer-level properties (corner radius,
// border, 3D transform, opacity) live on the view's CALayer.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/ui/UIColor.h"

#include <memory>
#include <optional>
#include <vector>

class CALayer;
class UIViewController;

class UIView : public NSObject {
public:
    static std::shared_ptr<UIView> create(CGRect frame = CGRectZero);
    ~UIView() override;

    std::string className() const override { return "UIView"; }

    // Geometry.
    CGRect frame() const;
    virtual void setFrame(CGRect frame);
    CGRect bounds() const { return bounds_; }
    virtual void setBounds(CGRect bounds);
    CGPoint center() const { return center_; }
    void setCenter(CGPoint center);
    CGAffineTransform transform() const { return transform_; }
    void setTransform(CGAffineTransform t);

    // Appearance.
    CGFloat alpha() const { return alpha_; }
    void setAlpha(CGFloat alpha);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    const std::optional<UIColor>& backgroundColor() const { return backgroundColor_; }
    virtual void setBackgroundColor(std::optional<UIColor> color);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    bool clipsToBounds() const { return clipsToBounds_; }
    void setClipsToBounds(bool clips);
    std::optional<UIColor> tintColor() const;  // own tint, else the nearest ancestor's, else system blue
    void setTintColor(std::optional<UIColor> color);
    const std::shared_ptr<CALayer>& layer() const { return layer_; }

    // Interaction.
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }

    // The tree.
    std::shared_ptr<UIView> superview() const { return superview_.lock(); }
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    void addSubview(const std::shared_ptr<UIView>& view);
    void insertSubview(const std::shared_ptr<UIView>& view, std::size_t index);
    void insertSubviewAboveSubview(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& sibling);
    void insertSubviewBelowSubview(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& sibling);
    void bringSubviewToFront(const std::shared_ptr<UIView>& view);
    void removeFromSuperview();
    bool isDescendantOfView(const UIView* view) const;
    std::shared_ptr<UIView> viewWithTag(std::int64_t tag);
    // The root of this view's tree (the screen's window when it is on screen).
    std::shared_ptr<UIView> rootView();

    // Notifications, called after the change.
    virtual void willMoveToSuperview(const std::shared_ptr<UIView>& newSuperview) {}
    virtual void didMoveToSuperview() {}
    virtual void didAddSubview(const std::shared_ptr<UIView>& subview) {}
    virtual void willRemoveSubview(const std::shared_ptr<UIView>& subview) {}

    // Coordinates.
    CGPoint convertPointToView(CGPoint p, const UIView* view) const;  // view null: the root
    CGPoint convertPointFromView(CGPoint p, const UIView* view) const;
    CGRect convertRectToView(CGRect r, const UIView* view) const;
    // The deepest visible, interaction-enabled view under `p` (in this view's coordinates).
    virtual std::shared_ptr<UIView> hitTest(CGPoint p);
    virtual bool pointInside(CGPoint p) const;

    // Layout.
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    void layoutIfNeeded();  // lays out this view's subtree where needed
    virtual void layoutSubviews() {}
    virtual CGSize sizeThatFits(CGSize size) const { return bounds_.size; }
    void sizeToFit();

    // Drawing. The renderer calls drawRect with the view's content in the current context.
    void setNeedsDisplay();
    bool needsDisplay() const { return needsDisplay_; }
    void clearNeedsDisplay() { needsDisplay_ = false; }
    virtual void drawRect(CGRect rect) {}
    // Whether the class draws itself (the renderer skips drawRect otherwise).
    virtual bool drawsContent() const { return false; }

    // The view controller whose root view this is, if any (weak).
    std::shared_ptr<UIViewController> viewController() const { return viewController_.lock(); }
    void setViewController(const std::shared_ptr<UIViewController>& vc) { viewController_ = vc; }

    // Identity and text for the simulator's view dump: a label's text, a button's title.
    virtual std::string accessibilityText() const { return {}; }

    // A counter every visible change bumps, so the window back end redraws only after a change.
    static std::uint64_t displayGeneration();
    static void markDisplayChanged();

protected:
    explicit UIView(CGRect frame);
    // Both construction paths end here (frame, archive); subclasses chain to it.
    virtual void commonInit() {}

private:
    void attach(const std::shared_ptr<UIView>& view, std::size_t index);

    CGRect bounds_{};
    CGPoint center_{};
    CGAffineTransform transform_{};
    CGFloat alpha_ = 1;
    bool hidden_ = false;
    bool opaque_ = true;
    bool clipsToBounds_ = false;
    bool userInteractionEnabled_ = true;
    bool needsLayout_ = true;
    bool needsDisplay_ = true;
    std::int64_t tag_ = 0;
    std::optional<UIColor> backgroundColor_;
    std::optional<UIColor> tintColor_;
    std::shared_ptr<CALayer> layer_;
    std::weak_ptr<UIView> superview_;
    std::vector<std::shared_ptr<UIView>> subviews_;
    std::weak_ptr<UIViewController> viewController_;
};
