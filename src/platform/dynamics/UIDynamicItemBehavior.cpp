#include "platform/dynamics/UIDynamicItemBehavior.h"

#include "platform/dynamics/UIDynamicAnimator.h"

#include <cmath>

std::shared_ptr<UIDynamicItemBehavior>
UIDynamicItemBehavior::create(const std::vector<std::shared_ptr<UIView>>& items) {
    auto b = std::make_shared<UIDynamicItemBehavior>(CreationKey());
    for (const auto& item : items)
        b->addItem(item);
    return b;
}

void UIDynamicItemBehavior::addItem(const std::shared_ptr<UIView>& item) {
    addItemToList(item);
}

void UIDynamicItemBehavior::removeItem(const std::shared_ptr<UIView>& item) {
    removeItemFromList(item);
}

void UIDynamicItemBehavior::addLinearVelocity(CGPoint velocity, const std::shared_ptr<UIView>& item) {
    if (item)
        addLinearVelocity(velocity, *item);
}

void UIDynamicItemBehavior::addLinearVelocity(CGPoint velocity, const UIView& item) {
    if (!std::isfinite(velocity.x) || !std::isfinite(velocity.y))
        return;
    std::size_t i = items_.find(&item);
    if (i == items_.size())
        return;
    UIDynamicAnimator* animator = animatorForStep();
    if (!animator) {
        items_.pendingVelocity(i).x += velocity.x;
        items_.pendingVelocity(i).y += velocity.y;
        return;
    }
    auto& bodies = animator->bodies();
    std::size_t r = bodies.row(items_.body(i));
    bodies.vx[r] += velocity.x;
    bodies.vy[r] += velocity.y;
}

CGPoint UIDynamicItemBehavior::linearVelocityForItem(const UIView& item) const {
    std::size_t i = items_.find(&item);
    if (i == items_.size())
        return {};
    UIDynamicAnimator* animator = animatorForStep();
    if (!animator)
        return items_.pendingVelocity(i);
    const auto& bodies = animator->bodies();
    std::size_t r = bodies.row(items_.body(i));
    return {bodies.vx[r], bodies.vy[r]};
}

void UIDynamicItemBehavior::setResistance(double resistance) {
    if (!std::isfinite(resistance) || resistance < 0)
        resistance = 0;
    resistance_ = resistance;
    UIDynamicAnimator* animator = animatorForStep();
    if (!animator)
        return;
    auto& bodies = animator->bodies();
    for (std::size_t i = 0; i < items_.size(); ++i)
        bodies.resistance[bodies.row(items_.body(i))] = resistance;
}

void UIDynamicItemBehavior::applyTo(std::size_t item, std::uint32_t body) {
    auto& bodies = animatorForStep()->bodies();
    std::size_t r = bodies.row(body);
    bodies.resistance[r] = resistance_;
    CGPoint& pending = items_.pendingVelocity(item);
    bodies.vx[r] += pending.x;
    bodies.vy[r] += pending.y;
    pending = {};
}

void UIDynamicItemBehavior::withdrawFrom(std::size_t, std::uint32_t body) {
    auto& bodies = animatorForStep()->bodies();
    bodies.resistance[bodies.row(body)] = 0;
}
