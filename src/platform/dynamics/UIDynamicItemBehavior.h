#pragma once

// Per-item physical properties (UIDynamicItemBehavior): a velocity added to an item, a linear
// resistance that damps its velocity on every step (see UIDynamicAnimator.h for the law), and,
// inherited, a per-step action.
//
//     auto falling = UIDynamicItemBehavior::create({piece});
//     falling->addLinearVelocity({0, -300}, piece);   // kept until the behaviour joins
//     animator->addBehavior(falling);                  // ...and applied then
//
// Velocity belongs to the item's body in the animator: `linearVelocityForItem` answers the
// body's current velocity, gravity included. Before the behaviour is in an animator, velocity
// added for an item is kept by the behaviour and handed to the body when it joins.

#include "platform/dynamics/UIDynamicBehavior.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <vector>

class UIDynamicItemBehavior : public UIDynamicBehavior {
public:
    // initWithItems:
    static std::shared_ptr<UIDynamicItemBehavior> create(const std::vector<std::shared_ptr<UIView>>& items);
    std::string className() const override { return "UIDynamicItemBehavior"; }

    void addItem(const std::shared_ptr<UIView>& item);
    void removeItem(const std::shared_ptr<UIView>& item);

    // addLinearVelocity:forItem:. Ignored for an item that is not one of this behaviour's.
    void addLinearVelocity(CGPoint velocity, const std::shared_ptr<UIView>& item);
    void addLinearVelocity(CGPoint velocity, const UIView& item);
    // linearVelocityForItem:. (0, 0) for an item that is not one of this behaviour's.
    CGPoint linearVelocityForItem(const UIView& item) const;

    // Linear damping, 0 (none) and up; applies to every item of the behaviour.
    double resistance() const { return resistance_; }
    void setResistance(double resistance);

    // For create only: one allocation for the behaviour and its reference count.
    struct CreationKey {
        explicit CreationKey() = default;
    };
    explicit UIDynamicItemBehavior(CreationKey) {}

private:
    void applyTo(std::size_t item, std::uint32_t body) override;
    void withdrawFrom(std::size_t item, std::uint32_t body) override;

    double resistance_ = 0;
};
