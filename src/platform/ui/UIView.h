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
#include "platform/ui/UILayoutEngine.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CALayer;
class UIViewCoder;
class UIViewController;
class UIMotionEffect;
struct UIViewAnimationState;

// Options of the block-based view animations (the platform's bit values).
enum UIViewAnimationOptions : std::uint64_t {
    UIViewAnimationOptionLayoutSubviews = 1 << 0,
    UIViewAnimationOptionAllowUserInteraction = 1 << 1,
    UIViewAnimationOptionBeginFromCurrentState = 1 << 2,
    UIViewAnimationOptionCurveEaseInOut = 0 << 16,
    UIViewAnimationOptionCurveEaseIn = 1 << 16,
    UIViewAnimationOptionCurveEaseOut = 2 << 16,
    UIViewAnimationOptionCurveLinear = 3 << 16,
};

// How a view follows its superview's size (the platform's bit values). Flexible parts of an
// axis share the change of the superview's size in proportion to their sizes before it.
enum UIViewAutoresizing : std::uint64_t {
    UIViewAutoresizingNone = 0,
    UIViewAutoresizingFlexibleLeftMargin = 1 << 0,
    UIViewAutoresizingFlexibleWidth = 1 << 1,
    UIViewAutoresizingFlexibleRightMargin = 1 << 2,
    UIViewAutoresizingFlexibleTopMargin = 1 << 3,
    UIViewAutoresizingFlexibleHeight = 1 << 4,
    UIViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

class UIView : public NSObject {
public:
    static std::shared_ptr<UIView> create(CGRect frame = CGRectZero);
    // initWithCoder: a view from an archive (UIViewCoder.h). What the archive lacks, or holds as
    // a value of the wrong kind, keeps the default of a view made from an empty frame.
    static std::shared_ptr<UIView> createWithCoder(const UIViewCoder& coder);
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
    std::optional<UIColor> tintColor() const; // own tint, else the nearest ancestor's, else system blue
    void setTintColor(std::optional<UIColor> color);
    const std::shared_ptr<CALayer>& layer() const;

    // Interaction.
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }

    // The tree.
    std::shared_ptr<UIView> superview() const { return superview_.lock(); }
    // The same without taking a reference, for walks up the tree that keep no view: null once the
    // superview is gone or the view was removed from it.
    UIView* superviewPointer() const { return superview_.expired() ? nullptr : superviewPointer_; }
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    void addSubview(const std::shared_ptr<UIView>& view);
    void insertSubview(const std::shared_ptr<UIView>& view, std::size_t index);
    void insertSubviewAboveSubview(const std::shared_ptr<UIView>& view,
                                   const std::shared_ptr<UIView>& sibling);
    void insertSubviewBelowSubview(const std::shared_ptr<UIView>& view,
                                   const std::shared_ptr<UIView>& sibling);
    void bringSubviewToFront(const std::shared_ptr<UIView>& view);
    void removeFromSuperview();
    bool isDescendantOfView(const UIView* view) const;
    std::shared_ptr<UIView> viewWithTag(std::int64_t tag);
    // The root of this view's tree (the screen's window when it is on screen).
    std::shared_ptr<UIView> rootView();

    // Notifications, called after the change.
    virtual void willMoveToSuperview(const std::shared_ptr<UIView>& /*newSuperview*/) {}
    virtual void didMoveToSuperview() {}
    virtual void didAddSubview(const std::shared_ptr<UIView>& /*subview*/) {}
    virtual void willRemoveSubview(const std::shared_ptr<UIView>& /*subview*/) {}
    // The window this view is shown in: the root of its tree when that is a window.
    std::shared_ptr<UIView> window();
    virtual bool isWindow() const { return false; }
    // Called on every view of a subtree that joined or left a window, after the change; a view
    // that joins one first takes the values the caller set on the appearance proxies
    // (applyAppearance), as the platform applies them then.
    virtual void didMoveToWindow() {}
    virtual void applyAppearance() {}

    // Coordinates.
    CGPoint convertPointToView(CGPoint p, const UIView* view) const; // view null: the root
    CGPoint convertPointFromView(CGPoint p, const UIView* view) const;
    CGRect convertRectToView(CGRect r, const UIView* view) const;
    // The deepest visible, interaction-enabled view under `p` (in this view's coordinates).
    virtual std::shared_ptr<UIView> hitTest(CGPoint p);
    virtual bool pointInside(CGPoint p) const;

    // Layout.
    // Applied to this view when its superview's bounds change size, unless the view is placed by
    // constraints (translatesAutoresizingMaskIntoConstraints false) or the superview does not
    // resize its subviews.
    std::uint64_t autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(std::uint64_t mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool resizes) { autoresizesSubviews_ = resizes; }
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    void layoutIfNeeded(); // lays out this view's subtree where needed
    // The base places subviews that are laid out by constraints (see Auto Layout below).
    virtual void layoutSubviews();
    virtual CGSize sizeThatFits(CGSize /*size*/) const { return bounds_.size; }
    void sizeToFit();

    // Drawing. The renderer calls drawRect with the view's content in the current context.
    void setNeedsDisplay();
    bool needsDisplay() const { return needsDisplay_; }
    void clearNeedsDisplay() { needsDisplay_ = false; }
    virtual void drawRect(CGRect /*rect*/) {}
    // Whether the class draws itself (the renderer skips drawRect otherwise).
    virtual bool drawsContent() const { return false; }

    // The view controller whose root view this is, if any (weak).
    std::shared_ptr<UIViewController> viewController() const { return viewController_.lock(); }
    void setViewController(const std::shared_ptr<UIViewController>& vc) { viewController_ = vc; }

    // Block-based animation (main thread). Changes that `animations` makes to the animatable
    // properties (center, bounds, frame, alpha, transform, layer transform, background colour) take
    // effect in the model at once and are shown on screen over `duration`, stepped by the main run
    // loop's frames. `completion(finished)` runs when all of them end; with false when they were
    // removed or replaced before their end. With a zero duration the completion still runs later,
    // from the main queue, as on the platform.
    using Animations = std::function<void()>;
    using Completion = std::function<void(bool finished)>;
    static void animateWithDuration(double duration, Animations animations, Completion completion = {});
    static void animateWithDuration(double duration, double delay, std::uint64_t options,
                                    Animations animations, Completion completion);
    // A spring: `dampingRatio` 1 is critically damped; `velocity` is the initial speed in units of
    // the whole change per second.
    static void animateWithDuration(double duration, double delay, double dampingRatio, double velocity,
                                    std::uint64_t options, Animations animations, Completion completion);
    // Runs `actions` with animation recording switched off (changes apply at once, on screen too).
    static void performWithoutAnimation(const std::function<void()>& actions);
    // Removes this view's running animations; their completions run with finished = false.
    void removeAllAnimations();
    bool hasAnimations() const;

    // What is on screen now: the model values, or the in-flight values of running animations.
    CGPoint presentationCenter() const;
    CGRect presentationBounds() const;
    CGFloat presentationAlpha() const;
    CATransform3D presentationTransform() const;
    std::optional<UIColor> presentationBackgroundColor() const;
    // The frame as shown now, in the superview's coordinates.
    CGRect presentationFrame() const;

    // Auto Layout (the solving is platform/layout's, see UILayoutEngine.h). Constraints are
    // installed on the closest common ancestor of the views they relate; a layout pass
    // (layoutIfNeeded) first runs the constraint-update pass, children before parents.
    void addConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint);
    void addConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    void removeConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint);
    void removeConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints() const;
    bool translatesAutoresizingMaskIntoConstraints() const;
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates);
    // The size the content prefers; UIViewNoIntrinsicMetric in a dimension without a preference.
    virtual CGSize intrinsicContentSize() const { return {UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric}; }
    void invalidateIntrinsicContentSize();
    // For views whose height follows their width (a wrapping label): the layout pass tells the
    // view the width it was given; a view that measures differently at that width answers true,
    // and the pass solves again with the new intrinsic size. A width of 0 takes the given width
    // back: the view measures unbounded again (the pass does so whenever its inputs changed, so
    // a layout depends only on the current texts and sizes).
    virtual bool adoptLayoutWidth(CGFloat /*width*/) { return false; }
    UILayoutPriority contentHuggingPriorityForAxis(UILayoutConstraintAxis axis) const;
    void setContentHuggingPriority(UILayoutPriority priority, UILayoutConstraintAxis axis);
    UILayoutPriority contentCompressionResistancePriorityForAxis(UILayoutConstraintAxis axis) const;
    void setContentCompressionResistancePriority(UILayoutPriority priority, UILayoutConstraintAxis axis);
    void setNeedsUpdateConstraints();
    bool needsUpdateConstraints() const;
    // Runs updateConstraints on this subtree where requested, children first.
    void updateConstraintsIfNeeded();
    // Overrides must call the base.
    virtual void updateConstraints();
    // The engine that solves the constraints of every view of the current device environment,
    // installed by the host (null: none). The environment holds it until it ends.
    static void setLayoutEngine(std::shared_ptr<UILayoutEngine> engine);
    static std::shared_ptr<UILayoutEngine> layoutEngine();

    // Identity and text for the simulator's view dump: a label's text, a button's title.
    virtual std::string accessibilityText() const { return {}; }

    // Motion effects (UIMotionEffect.h): offsets that follow the device tilt, shown on screen
    // without changing the model values. Defined with the effects.
    void addMotionEffect(const std::shared_ptr<UIMotionEffect>& effect);
    void removeMotionEffect(const std::shared_ptr<UIMotionEffect>& effect);
    const std::vector<std::shared_ptr<UIMotionEffect>>& motionEffects() const { return motionEffects_; }

    // A counter every visible change bumps, so the window back end redraws only after a change (the
    // current device environment's).
    static std::uint64_t displayGeneration();
    static void markDisplayChanged();

protected:
    explicit UIView(CGRect frame);
    // The platform's part of initWithCoder: the archived geometry and appearance, set directly
    // (nothing animates, nothing is told); a subclass then runs its commonInit, as from a frame.
    explicit UIView(const UIViewCoder& coder);
    // Both construction paths end here (frame, archive); subclasses chain to it.
    virtual void commonInit() {}

private:
    void attach(const std::shared_ptr<UIView>& view, std::size_t index);
    void resizeSubviews(CGSize oldSize);
    void autoresize(CGSize oldSuperSize, CGSize newSuperSize);
    void moveToWindow(bool inWindow);
    friend struct UIViewAnimationState;

    CGRect bounds_{};
    CGPoint center_{};
    CGAffineTransform transform_{};
    CGFloat alpha_ = 1;
    bool hidden_ = false;
    bool opaque_ = true;
    bool clipsToBounds_ = false;
    bool userInteractionEnabled_ = true;
    bool autoresizesSubviews_ = true;
    std::uint64_t autoresizingMask_ = UIViewAutoresizingNone;
    bool needsLayout_ = true;
    bool needsDisplay_ = true;
    std::int64_t tag_ = 0;
    std::optional<UIColor> backgroundColor_;
    std::optional<UIColor> tintColor_;
    std::shared_ptr<CALayer> layer_;
    mutable bool layerBound_ = false; // the layer knows this view (layer())
    std::weak_ptr<UIView> superview_;
    UIView* superviewPointer_ = nullptr; // what superview_ points at, read only while it lives
    std::vector<std::shared_ptr<UIView>> subviews_;
    std::weak_ptr<UIViewController> viewController_;
    // Running animations of this view's properties, owned by the animation engine's bookkeeping.
    std::shared_ptr<UIViewAnimationState> animations_;
    std::vector<std::shared_ptr<UIMotionEffect>> motionEffects_;
    UIViewAutoLayoutState& autoLayout();
    std::unique_ptr<UIViewAutoLayoutState> autoLayout_;
};
