#include "platform/dynamics/UIGravityBehavior.h"

#include "platform/dynamics/UIDynamicAnimator.h"

#include <cmath>

std::shared_ptr<UIGravityBehavior>
UIGravityBehavior::create(const std::vector<std::shared_ptr<UIView>>& items) {
    auto g = std::shared_ptr<UIGravityBehavior>(new UIGravityBehavior());
    for (const auto& item : items)
        g->addItem(item);
    return g;
}

void UIGravityBehavior::addItem(const std::shared_ptr<UIView>& item) {
    addItemToList(item);
}

void UIGravityBehavior::removeItem(const std::shared_ptr<UIView>& item) {
    removeItemFromList(item);
}

CGVector UIGravityBehavior::acceleration() const {
    return {direction_.dx * UIDynamicAnimator::kPointsPerSecondSquaredPerUnit,
            direction_.dy * UIDynamicAnimator::kPointsPerSecondSquaredPerUnit};
}

double UIGravityBehavior::magnitude() const {
    return std::hypot(direction_.dx, direction_.dy);
}

void UIGravityBehavior::setGravityDirection(CGVector direction) {
    if (!std::isfinite(direction.dx) || !std::isfinite(direction.dy))
        return;
    if (direction.dx != 0 || direction.dy != 0)
        angle_ = std::atan2(direction.dy, direction.dx);
    changeDirection(direction);
}

void UIGravityBehavior::setMagnitude(double magnitude) {
    if (!std::isfinite(magnitude))
        return;
    double current = this->magnitude();
    // Scaling the vector keeps an axis-aligned direction exact ((0, 1) stays (0, m)).
    if (current > 0)
        changeDirection({direction_.dx * magnitude / current, direction_.dy * magnitude / current});
    else
        changeDirection({std::cos(angle_) * magnitude, std::sin(angle_) * magnitude});
}

void UIGravityBehavior::setAngle(double angle) {
    if (!std::isfinite(angle))
        return;
    double m = magnitude();
    angle_ = angle;
    changeDirection({std::cos(angle) * m, std::sin(angle) * m});
}

void UIGravityBehavior::changeDirection(CGVector direction) {
    if (direction == direction_)
        return;
    UIDynamicAnimator* animator = animatorForStep();
    if (!animator) {
        direction_ = direction;
        return;
    }
    for (std::size_t i = 0; i < items_.size(); ++i)
        withdrawFrom(i, items_.body(i));
    direction_ = direction;
    for (std::size_t i = 0; i < items_.size(); ++i)
        applyTo(i, items_.body(i));
}

void UIGravityBehavior::applyTo(std::size_t, std::uint32_t body) {
    auto& bodies = animatorForStep()->bodies();
    std::size_t r = bodies.row(body);
    CGVector a = acceleration();
    bodies.ax[r] += a.dx;
    bodies.ay[r] += a.dy;
}

void UIGravityBehavior::withdrawFrom(std::size_t, std::uint32_t body) {
    auto& bodies = animatorForStep()->bodies();
    std::size_t r = bodies.row(body);
    CGVector a = acceleration();
    bodies.ax[r] -= a.dx;
    bodies.ay[r] -= a.dy;
    // Gravity alone on a body leaves exact zeros behind, not rounding dust.
    if (std::abs(bodies.ax[r]) < 1e-9)
        bodies.ax[r] = 0;
    if (std::abs(bodies.ay[r]) < 1e-9)
        bodies.ay[r] = 0;
}
