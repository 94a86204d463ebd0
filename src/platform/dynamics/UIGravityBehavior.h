#pragma once

// A constant acceleration applied to each of its items (UIGravityBehavior). The direction is a
// vector whose length is the magnitude; by default it is (0, 1): straight down at magnitude 1.0,
// which is 1000 points per second squared.
//
//     auto gravity = UIGravityBehavior::create();
//     gravity->setMagnitude(0.5);   // 500 points/s², downward
//     gravity->addItem(view);

#include "platform/dynamics/UIDynamicBehavior.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <vector>

class UIGravityBehavior : public UIDynamicBehavior {
public:
    // init / initWithItems:
    static std::shared_ptr<UIGravityBehavior> create(const std::vector<std::shared_ptr<UIView>>& items = {});
    std::string className() const override { return "UIGravityBehavior"; }

    void addItem(const std::shared_ptr<UIView>& item);
    void removeItem(const std::shared_ptr<UIView>& item);

    CGVector gravityDirection() const { return direction_; }
    void setGravityDirection(CGVector direction);
    // The direction's length. Setting it keeps the angle (straight down while the vector is
    // zero); a negative magnitude points the other way, as the platform's does.
    double magnitude() const;
    void setMagnitude(double magnitude);
    // The direction's angle in radians (0 to the right, π/2 down).
    double angle() const { return angle_; }
    void setAngle(double angle);

    // The acceleration in points/s².
    CGVector acceleration() const;

private:
    UIGravityBehavior() = default;
    void applyTo(std::size_t item, std::uint32_t body) override;
    void withdrawFrom(std::size_t item, std::uint32_t body) override;
    void changeDirection(CGVector direction);

    CGVector direction_{0, 1};
    double angle_ = 1.5707963267948966;
};
