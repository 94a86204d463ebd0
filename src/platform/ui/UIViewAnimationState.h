#pragma once

// The bookkeeping behind UIView's block animations: which properties of a view are animating,
// from where to where, on which timing curve, and which completion waits for them. Views call
// `willChange` from their animatable setters; inside an animation block that records the value on
// screen before the change, and the block's end turns each record into a running animation.
// Running animations are stepped by one frame observer on the main run loop, held only while
// something animates.

#include "platform/ui/UIView.h"

#include <array>
#include <memory>
#include <vector>

struct UIViewAnimationGroup;

struct UIViewAnimationState {
    enum class Property { Center, Bounds, Alpha, Transform, BackgroundColor };
    static constexpr int kPropertyCount = 5;

    // Up to 16 numbers describe a value (a CATransform3D is the largest).
    using Value = std::array<double, 16>;

    struct Timing {
        double start = 0;    // clock seconds, after the delay
        double duration = 0; // seconds
        std::uint64_t curve = UIViewAnimationOptionCurveEaseInOut;
        bool spring = false;
        double dampingRatio = 1;
        double velocity = 0;
    };

    struct Running {
        Property property;
        Value from{};
        Timing timing;
        std::shared_ptr<UIViewAnimationGroup> group;
    };

    std::vector<Running> running;

    // The view's animation slot (UIView keeps it private; the engine reaches it through here).
    static std::shared_ptr<UIViewAnimationState>& of(UIView& view) { return view.animations_; }
    static const std::shared_ptr<UIViewAnimationState>& of(const UIView& view) { return view.animations_; }

    // Called by a view's setter before it changes `property`.
    static void willChange(UIView& view, Property property);
    // Called by a view's destructor: drops its animations (their groups still complete).
    static void forget(UIView& view);

    // The fraction of the change shown at `now` (0 before start, 1 at the end; a spring may
    // overshoot). Pure, so tests reach the curves directly.
    static double progress(const Timing& timing, double now);

    static Value read(const UIView& view, Property property);
    static Value presentation(const UIView& view, Property property);
};
