#pragma once

// A confetti piece's model (OCConfettiObject): it binds the piece's view into the area's
// simulation through an item behaviour of its own (`fallingBehavior`), makes the piece sway and
// brake as it falls, and removes the piece once its centre is below the area's height.
//
//     auto piece = OCConfettiObject::create(view, area->bounds(), animator, gravity);
//     piece->setLinearVelocity({120, -300});
//     animator->addBehavior(piece->fallingBehavior());   // built here, starting at that velocity
//     gravity->addItem(view);
//
// On every simulation step the behaviour's action reads the view's vertical velocity vy. While
// vy > 50 points/s the piece sways (`handleSway`) and its resistance is set to
// vy ÷ gravity magnitude ÷ density ÷ 100, so light pieces and fast ones brake harder; once the
// view's centre y exceeds the height of `confettiAreaBounds`, the piece cleans up
// (`cleanupObject`) and tells its delegate. A piece that can no longer come into view cleans up
// the same way (see isOutOfReach), so an emit thrown out of all screens does not live for ever.
// The action holds the model weakly, and the behaviour only through the model.
//
// Main thread only, after construction (which a generation worker may do).

#include "confetti/OCConfettiObjectDelegate.h"
#include "platform/dynamics/UIDynamicAnimator.h"
#include "platform/dynamics/UIDynamicItemBehavior.h"
#include "platform/dynamics/UIGravityBehavior.h"
#include "platform/foundation/NSObject.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <memory>

class OCConfettiObject : public NSObject {
public:
    enum SwayType : std::int64_t { SwayNone = 0, SwayLeft = 1, SwayRight = 2 };
    // Falling faster than this (points/s) makes a piece sway and brake.
    static constexpr double kSwayThreshold = 50.0;
    // The sideways push of one sway step, in points/s.
    static constexpr double kSwayPush = 10.0;
    // How far beyond the area's sides or above its top a piece may go, in area sizes (the larger
    // side, and never less than a phone's width), before it is dropped.
    static constexpr double kReachInAreaSizes = 10.0;
    static constexpr double kSmallestAreaSize = 320.0;

    // Whether a piece at `centre` moving at `velocity` is beyond reach of an area of
    // `areaBounds`: its position or velocity is not a finite number (the simulation can never
    // bring it back), or its centre is more than kReachInAreaSizes area sizes beyond a side or
    // above the top. Pieces are thrown at a few hundred points/s and fall braked at under 200,
    // so one that far out would take most of a minute to come back into view, long after the
    // celebration it belonged to; without this bound a piece thrown far enough never ends and
    // keeps the simulation, and a window, awake.
    static bool isOutOfReach(CGPoint centre, CGPoint velocity, CGRect areaBounds);

    // initWithConfettiView:keepWithinBounds:animator:gravity:
    // The animator and the gravity are held weakly (a worker may pass them without promoting them).
    static std::shared_ptr<OCConfettiObject> create(std::shared_ptr<UIView> confettiView,
                                                    CGRect keepWithinBounds,
                                                    std::weak_ptr<UIDynamicAnimator> animator,
                                                    std::weak_ptr<UIGravityBehavior> gravity);
    std::string className() const override { return "OCConfettiObject"; }

    // The piece's item behaviour, built at the first request (with the view as its only item,
    // `linearVelocity` added, and the per-step action installed); null after cleanup.
    std::shared_ptr<UIDynamicItemBehavior> fallingBehavior();
    // The behaviour if it has been built, without building it.
    const std::shared_ptr<UIDynamicItemBehavior>& builtFallingBehavior() const { return fallingBehavior_; }

    // One sway step: records the focal point and picks a direction, or pushes and turns back.
    void handleSway();
    // A fair coin from arc4random_uniform(2): heads when the draw is 1.
    bool flipCoinIsHeads();
    // Detaches the piece from the simulation and the view tree and tells the delegate. Runs once:
    // a second call finds nothing to do and does not tell the delegate again.
    void cleanupObject();

    double swayLength() const { return swayLength_; }
    void setSwayLength(double length) { swayLength_ = length; }
    double density() const { return density_; }
    void setDensity(double density) { density_ = density; }
    std::shared_ptr<OCConfettiObjectDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<OCConfettiObjectDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::shared_ptr<UIView>& confettiView() const { return confettiView_; }
    void setConfettiView(std::shared_ptr<UIView> view) { confettiView_ = std::move(view); }
    std::shared_ptr<UIDynamicAnimator> animator() const { return animator_.lock(); }
    void setAnimator(const std::shared_ptr<UIDynamicAnimator>& a) { animator_ = a; }
    std::shared_ptr<UIGravityBehavior> gravityBehavior() const { return gravityBehavior_.lock(); }
    void setGravityBehavior(const std::shared_ptr<UIGravityBehavior>& g) { gravityBehavior_ = g; }
    CGPoint linearVelocity() const { return linearVelocity_; }
    void setLinearVelocity(CGPoint v) { linearVelocity_ = v; }
    CGRect confettiAreaBounds() const { return confettiAreaBounds_; }
    void setConfettiAreaBounds(CGRect bounds) { confettiAreaBounds_ = bounds; }

    // The private sway state, for tests and the simulator's dump.
    std::int64_t swayType() const { return swayType_; }
    double swayFocalPointX() const { return swayFocalPointX_; }

    // For create only (make_shared keeps the object and its reference count side by side, so a
    // step's promotion of the weak reference touches one allocation, not two).
    struct CreationKey {
        explicit CreationKey() = default;
    };
    explicit OCConfettiObject(CreationKey) {}

private:
    // The action's work on one simulation step.
    void step(UIDynamicItemBehavior& behavior);

    std::shared_ptr<UIDynamicItemBehavior> fallingBehavior_;
    std::int64_t swayType_ = SwayNone;
    double swayFocalPointX_ = 0;
    double swayLength_ = 0;
    double density_ = 1;
    std::weak_ptr<OCConfettiObjectDelegate> delegate_;
    std::shared_ptr<UIView> confettiView_;
    std::weak_ptr<UIDynamicAnimator> animator_;
    std::weak_ptr<UIGravityBehavior> gravityBehavior_;
    CGPoint linearVelocity_{};
    CGRect confettiAreaBounds_{};
    bool cleanedUp_ = false;
};
