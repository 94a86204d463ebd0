#pragma once

// Motion effects: view properties that follow the device's tilt. A view's effects (addMotionEffect
// on UIView) are asked for key-path offsets given the current tilt, and the renderer shows the view
// displaced by them, without touching the view's model values, as the platform does on its
// presentation layer.
//
//     auto x = UIInterpolatingMotionEffect::create("center.x",
//     UIInterpolatingMotionEffectTypeTiltAlongHorizontalAxis); x->setMinimumRelativeValue(-10);
//     x->setMaximumRelativeValue(10);
//     view->addMotionEffect(x);
//     UIDeviceTilt::set(1, 0);          // fully tilted right: the view's centre moves 10 points right
//     UIMotionEffect::centerOffsetForView(*view);  // (10, 0)
//
// The tilt is the current device environment's: a window back end sets it from the mouse, scripts
// with a `tilt X Y` command, tests directly. X and Y are in [-1, 1] (values beyond are clamped).

#include "platform/graphics/CGGeometry.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The device tilt that motion effects follow.
class UIDeviceTilt {
public:
    static void set(double x, double y);
    static double x();
    static double y();
};

class UIMotionEffect : public NSObject {
public:
    std::string className() const override { return "UIMotionEffect"; }
    // Key path -> relative value for a viewer offset in [-1, 1] on each axis.
    virtual std::map<std::string, double> keyPathsAndRelativeValuesForViewerOffset(double /*x*/,
                                                                                   double /*y*/) const {
        return {};
    }
    // The sum of "center.x"/"center.y" offsets of all the view's effects at the current tilt.
    static CGPoint centerOffsetForView(const UIView& view);
};

enum UIInterpolatingMotionEffectType : std::int64_t {
    UIInterpolatingMotionEffectTypeTiltAlongHorizontalAxis = 0,
    UIInterpolatingMotionEffectTypeTiltAlongVerticalAxis = 1,
};

class UIInterpolatingMotionEffect : public UIMotionEffect {
    struct Private {};

public:
    static std::shared_ptr<UIInterpolatingMotionEffect> create(std::string keyPath, std::int64_t type) {
        return std::make_shared<UIInterpolatingMotionEffect>(Private{}, std::move(keyPath), type);
    }
    UIInterpolatingMotionEffect(Private, std::string keyPath, std::int64_t type)
        : keyPath_(std::move(keyPath)), type_(type) {}

    std::string className() const override { return "UIInterpolatingMotionEffect"; }
    const std::string& keyPath() const { return keyPath_; }
    std::int64_t type() const { return type_; }
    double minimumRelativeValue() const { return min_; }
    void setMinimumRelativeValue(double v) { min_ = v; }
    double maximumRelativeValue() const { return max_; }
    void setMaximumRelativeValue(double v) { max_ = v; }

    // Linear from the minimum at -1 to the maximum at +1.
    std::map<std::string, double> keyPathsAndRelativeValuesForViewerOffset(double x, double y) const override;

private:
    std::string keyPath_;
    std::int64_t type_;
    double min_ = 0, max_ = 0;
};

class UIMotionEffectGroup : public UIMotionEffect {
    struct Private {};

public:
    static std::shared_ptr<UIMotionEffectGroup> create() {
        return std::make_shared<UIMotionEffectGroup>(Private{});
    }
    explicit UIMotionEffectGroup(Private) {}

    std::string className() const override { return "UIMotionEffectGroup"; }
    const std::vector<std::shared_ptr<UIMotionEffect>>& motionEffects() const { return effects_; }
    void setMotionEffects(std::vector<std::shared_ptr<UIMotionEffect>> effects) {
        effects_ = std::move(effects);
    }

    // The members' values, summed by key path.
    std::map<std::string, double> keyPathsAndRelativeValuesForViewerOffset(double x, double y) const override;

private:
    std::vector<std::shared_ptr<UIMotionEffect>> effects_;
};
