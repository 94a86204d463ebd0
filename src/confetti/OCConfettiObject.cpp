#include "confetti/OCConfettiObject.h"

#include "platform/foundation/DeviceRandom.h"

#include <algorithm>
#include <cmath>

std::shared_ptr<OCConfettiObject> OCConfettiObject::create(std::shared_ptr<UIView> confettiView,
                                                           CGRect keepWithinBounds,
                                                           std::weak_ptr<UIDynamicAnimator> animator,
                                                           std::weak_ptr<UIGravityBehavior> gravity) {
    auto object = std::make_shared<OCConfettiObject>(CreationKey());
    object->linearVelocity_ = {0, 0};
    object->swayLength_ = 0.0;
    object->density_ = 1.0;
    object->confettiView_ = std::move(confettiView);
    object->confettiAreaBounds_ = keepWithinBounds;
    object->animator_ = std::move(animator);
    object->gravityBehavior_ = std::move(gravity);
    object->swayType_ = SwayNone;
    return object;
}

std::shared_ptr<UIDynamicItemBehavior> OCConfettiObject::fallingBehavior() {
    if (fallingBehavior_ || cleanedUp_ || !confettiView_)
        return fallingBehavior_;
    fallingBehavior_ = UIDynamicItemBehavior::create({confettiView_});
    fallingBehavior_->addLinearVelocity(linearVelocity_, confettiView_);
    // The action holds the model weakly and reaches the behaviour through it (the model's own
    // reference; the animator keeps the behaviour alive through the step in any case), so a
    // step promotes one weak reference, not two. The model is promoted so that a cleanup inside
    // the step cannot free it under our feet.
    std::weak_ptr<OCConfettiObject> weakSelf = std::static_pointer_cast<OCConfettiObject>(shared_from_this());
    fallingBehavior_->setAction([weakSelf] {
        if (auto self = weakSelf.lock(); self && self->fallingBehavior_)
            self->step(*self->fallingBehavior_);
    });
    return fallingBehavior_;
}

void OCConfettiObject::step(UIDynamicItemBehavior& behavior) {
    if (!confettiView_)
        return;
    const UIView& view = *confettiView_;
    const CGPoint velocity = behavior.linearVelocityForItem(view);
    const double vy = velocity.y;
    if (vy > kSwayThreshold) {
        handleSway();
        // With no gravity left (the area is gone), a gravity of magnitude 0 or a density of 0
        // the quotient is not a number: the last resistance stays.
        if (auto gravity = gravityBehavior_.lock()) {
            double resistance = vy / gravity->magnitude() / density_ / 100.0;
            if (std::isfinite(resistance))
                behavior.setResistance(resistance);
        }
    }
    const CGPoint centre = view.center();
    if (centre.y > confettiAreaBounds_.size.height || isOutOfReach(centre, velocity, confettiAreaBounds_))
        cleanupObject();
}

bool OCConfettiObject::isOutOfReach(CGPoint centre, CGPoint velocity, CGRect areaBounds) {
    if (!std::isfinite(centre.x) || !std::isfinite(centre.y) || !std::isfinite(velocity.x) ||
        !std::isfinite(velocity.y))
        return true;
    const double size = std::max({areaBounds.size.width, areaBounds.size.height, kSmallestAreaSize});
    // An area whose bounds are not finite numbers reaches no farther than the smallest area.
    const double reach = kReachInAreaSizes * (std::isfinite(size) ? size : kSmallestAreaSize);
    const double minX = std::isfinite(areaBounds.minX()) ? areaBounds.minX() : 0;
    const double maxX = std::isfinite(areaBounds.maxX()) ? areaBounds.maxX() : 0;
    const double minY = std::isfinite(areaBounds.minY()) ? areaBounds.minY() : 0;
    return centre.x < minX - reach || centre.x > maxX + reach || centre.y < minY - reach;
}

void OCConfettiObject::handleSway() {
    if (!confettiView_ || !fallingBehavior_)
        return;
    double x = confettiView_->center().x;
    switch (swayType_) {
    case SwayNone:
        swayFocalPointX_ = x;
        swayType_ = flipCoinIsHeads() ? SwayLeft : SwayRight;
        break;
    case SwayLeft:
        fallingBehavior_->addLinearVelocity({-kSwayPush, 0}, *confettiView_);
        if (confettiView_->center().x < swayFocalPointX_ - 0.5 * swayLength_)
            swayType_ = SwayRight;
        break;
    case SwayRight:
        fallingBehavior_->addLinearVelocity({kSwayPush, 0}, *confettiView_);
        if (confettiView_->center().x > swayFocalPointX_ + 0.5 * swayLength_)
            swayType_ = SwayLeft;
        break;
    default:
        break;
    }
}

bool OCConfettiObject::flipCoinIsHeads() {
    return DeviceRandom::arc4random_uniform(2) == 1;
}

void OCConfettiObject::cleanupObject() {
    if (cleanedUp_)
        return;
    cleanedUp_ = true;
    // Whoever called (the action, or the delegate's last reference) must not see the model
    // freed before this returns.
    auto self = std::static_pointer_cast<OCConfettiObject>(shared_from_this());
    auto behavior = fallingBehavior_;
    auto view = confettiView_;
    if (behavior && view)
        behavior->removeItem(view);
    if (behavior)
        behavior->setAction(nullptr);
    if (auto animator = animator_.lock(); animator && behavior)
        animator->removeBehavior(behavior);
    if (auto gravity = gravityBehavior_.lock(); gravity && view)
        gravity->removeItem(view);
    if (view)
        view->removeFromSuperview();
    fallingBehavior_.reset();
    confettiView_.reset();
    if (auto d = delegate_.lock())
        d->needToDeallocateConfettiObject(self);
}
