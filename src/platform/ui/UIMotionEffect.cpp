#include "platform/ui/UIMotionEffect.h"

#include "platform/foundation/DeviceEnvironment.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {
// How the current device environment's device is held.
struct DeviceTiltState : DeviceEnvironment::Part {
    std::atomic<double> x{0}, y{0};
};

DeviceTiltState& tilt() {
    return DeviceEnvironment::current().part<DeviceTiltState>();
}
} // namespace

void UIDeviceTilt::set(double x, double y) {
    // NaN would survive the clamp and displace views to nowhere; it reads as no tilt.
    x = std::isnan(x) ? 0 : std::clamp(x, -1.0, 1.0);
    y = std::isnan(y) ? 0 : std::clamp(y, -1.0, 1.0);
    // A window back end sets the tilt on every mouse move; only a real change redraws the screen.
    DeviceTiltState& state = tilt();
    bool changed = state.x.exchange(x) != x;
    changed = state.y.exchange(y) != y || changed;
    if (changed)
        UIView::markDisplayChanged();
}
double UIDeviceTilt::x() {
    return tilt().x.load();
}
double UIDeviceTilt::y() {
    return tilt().y.load();
}

std::map<std::string, double>
UIInterpolatingMotionEffect::keyPathsAndRelativeValuesForViewerOffset(double x, double y) const {
    double t = type_ == UIInterpolatingMotionEffectTypeTiltAlongVerticalAxis ? y : x;
    t = std::clamp(t, -1.0, 1.0);
    return {{keyPath_, min_ + (max_ - min_) * (t + 1) / 2}};
}

std::map<std::string, double> UIMotionEffectGroup::keyPathsAndRelativeValuesForViewerOffset(double x,
                                                                                            double y) const {
    std::map<std::string, double> sum;
    for (const auto& e : effects_) {
        if (!e)
            continue;
        for (const auto& [key, value] : e->keyPathsAndRelativeValuesForViewerOffset(x, y))
            sum[key] += value;
    }
    return sum;
}

CGPoint UIMotionEffect::centerOffsetForView(const UIView& view) {
    CGPoint offset{};
    for (const auto& e : view.motionEffects()) {
        auto values = e->keyPathsAndRelativeValuesForViewerOffset(UIDeviceTilt::x(), UIDeviceTilt::y());
        offset.x += values["center.x"];
        offset.y += values["center.y"];
    }
    return offset;
}

void UIView::addMotionEffect(const std::shared_ptr<UIMotionEffect>& effect) {
    if (effect && std::find(motionEffects_.begin(), motionEffects_.end(), effect) == motionEffects_.end())
        motionEffects_.push_back(effect);
    markDisplayChanged();
}

void UIView::removeMotionEffect(const std::shared_ptr<UIMotionEffect>& effect) {
    std::erase(motionEffects_, effect);
    markDisplayChanged();
}
