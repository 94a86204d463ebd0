#pragma once

// The physics simulation of a set of views (UIDynamicAnimator), over the coordinate space of a
// reference view. Behaviours say what acts on which item: UIGravityBehavior a constant
// acceleration, UIDynamicItemBehavior a velocity, a resistance and a per-step action. Every item
// named by at least one behaviour in the animator is a body of the simulation; on every step the
// animator moves each body and sets its view's `center`, then runs the behaviours' actions.
//
//     auto animator = UIDynamicAnimator::create(area);
//     auto gravity = UIGravityBehavior::create();
//     animator->addBehavior(gravity);
//     gravity->addItem(piece);   // the piece falls from the next frame on
//
// Stepping. The animator steps at a fixed rate of 60 Hz, driven by a frame observer of the main
// run loop, and holds that observer only while it has bodies: an animator with nothing to move
// costs no wake-ups. A frame delivered late (the loop was busy) catches up with at most four
// steps; time beyond that is dropped rather than simulated in a burst.
//
// Integration. Semi-implicit Euler with the resistance applied as an implicit damping factor:
//
//     v += a·dt;   v /= (1 + resistance·dt);   p += v·dt
//
// Resistance 0 leaves the velocity alone; any larger value damps it more, and for every
// resistance ≥ 0 and every step the factor lies in (0, 1], so the damping can never overshoot
// or blow up. (Negative or non-finite resistances count as 0.)
//
// Data. Bodies live in contiguous arrays (positions, velocities, accelerations, resistances),
// indexed through stable handles that behaviours keep for their items; removing a body swaps the
// last one into its place. 100,000 bodies step in a few milliseconds.
//
// Changes during a step. Actions may add and remove behaviours and items, including their own
// behaviour: a behaviour removed during a step is kept alive until the step ends and its action
// is not run again; one added during a step runs its action from the next step; each other
// behaviour's action runs exactly once per step. Main thread only, like all of UIKit.

#include "platform/dispatch/NSRunLoop.h"
#include "platform/dynamics/UIDynamicBehavior.h"
#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class UIDynamicAnimator : public NSObject {
public:
    // One simulation step: 1/60 s.
    static constexpr double kStepInterval = 1.0 / 60.0;
    // The platform's unit of acceleration: a gravity magnitude of 1.0 is 1000 points/s².
    static constexpr double kPointsPerSecondSquaredPerUnit = 1000.0;

    // initWithReferenceView: (held weakly).
    static std::shared_ptr<UIDynamicAnimator> create(const std::shared_ptr<UIView>& referenceView);
    ~UIDynamicAnimator() override;
    std::string className() const override { return "UIDynamicAnimator"; }

    std::shared_ptr<UIView> referenceView() const { return referenceView_.lock(); }

    // addBehavior:. A behaviour already in another animator is moved here; adding it twice does
    // nothing.
    void addBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior);
    // removeBehavior:. A behaviour of another animator (or none) is left alone.
    void removeBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior);
    void removeAllBehaviors();
    // In the order they were added.
    std::vector<std::shared_ptr<UIDynamicBehavior>> behaviors() const;
    std::size_t behaviorCount() const { return behaviorCount_; }

    // Whether the simulation is moving something (it has bodies, and a main run loop to step it).
    bool isRunning() const { return static_cast<bool>(frames_); }
    // The number of bodies: items named by at least one of its behaviours.
    std::size_t itemCount() const { return bodies_.count(); }

    // Re-reads an item's centre from its view, for a view that was moved by hand.
    void updateItemUsingCurrentState(const UIView& item);

    // One step of `dt` seconds: integrates every body, sets the views' centres, runs the actions.
    // The frame observer calls it; benchmarks and tests may call it directly.
    void step(double dt);

private:
    friend class UIDynamicBehavior;
    friend class UIGravityBehavior;
    friend class UIDynamicItemBehavior;

    // The bodies, one row per item, in parallel arrays; `handle`s index `dense_` and stay valid
    // while the body lives.
    class Bodies {
    public:
        std::size_t count() const { return view.size(); }
        std::uint32_t retain(const std::shared_ptr<UIView>& item); // handle; creates on first use
        void release(std::uint32_t handle);                        // removes on last use
        std::size_t row(std::uint32_t handle) const { return dense_[handle]; }
        std::uint32_t find(const UIView* item) const;

        std::vector<double> x, y, vx, vy, ax, ay, resistance;
        std::vector<std::uint32_t> uses, handleOfRow;
        std::vector<std::shared_ptr<UIView>> view;

    private:
        std::vector<std::uint32_t> dense_; // handle → row
        std::vector<std::uint32_t> freeHandles_;
        std::unordered_map<const UIView*, std::uint32_t> byView_;
    };

    UIDynamicAnimator() = default;
    void onFrame(double now);
    void updateSubscription();
    void compact();
    // For behaviours.
    std::uint32_t retainBody(const std::shared_ptr<UIView>& item);
    void releaseBody(std::uint32_t handle);
    Bodies& bodies() { return bodies_; }

    std::weak_ptr<UIView> referenceView_;
    std::vector<std::shared_ptr<UIDynamicBehavior>> behaviors_; // nulls where removed, until compacted
    std::size_t behaviorCount_ = 0;
    bool hasHoles_ = false;
    bool stepping_ = false;
    // Behaviours removed during a step, kept alive until it ends.
    std::vector<std::shared_ptr<UIDynamicBehavior>> removedDuringStep_;
    Bodies bodies_;
    FrameSubscription frames_;
    double lastFrame_ = 0;
    bool firstFrame_ = true;
    double pending_ = 0;
};
