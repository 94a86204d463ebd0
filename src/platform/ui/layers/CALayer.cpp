#include "platform/ui/layers/CALayer.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/graphics/CATransform3DInterpolation.h"
#include "platform/ui/NSValue.h"
#include "platform/ui/layers/CABasicAnimation.h"

#include "platform/ui/UIView.h"
#include "platform/ui/UIViewAnimationState.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

void CALayer::setCornerRadius(CGFloat r) {
    cornerRadius_ = r;
    UIView::markDisplayChanged();
}
void CALayer::setBorderWidth(CGFloat w) {
    borderWidth_ = w;
    UIView::markDisplayChanged();
}
void CALayer::setBorderColor(std::optional<UIColor> c) {
    borderColor_ = c;
    UIView::markDisplayChanged();
}
void CALayer::setMasksToBounds(bool m) {
    masksToBounds_ = m;
    UIView::markDisplayChanged();
}
void CALayer::setTransform(const CATransform3D& t) {
    if (auto view = view_.lock())
        UIViewAnimationState::willChange(*view, UIViewAnimationState::Property::Transform);
    transform_ = t;
    UIView::markDisplayChanged();
}

// Layer animations.

namespace {

double mediaTime() {
    auto loop = NSRunLoop::main();
    return loop ? loop->now() : 0;
}

// The layers of one device environment that have animations, and the one frame observer that
// keeps the screen drawing while there are any (main thread only). Layers are held weakly: one
// that goes while another device is current is dropped at the next look.
struct AnimatedLayers : DeviceEnvironment::Part {
    std::unordered_map<const CALayer*, std::weak_ptr<CALayer>> layers;
    FrameSubscription frames;
    std::weak_ptr<NSRunLoop> loop;
    double nextEnd = std::numeric_limits<double>::infinity();

    void add(CALayer& layer, double ends) {
        layers[&layer] = layer.weak_from_this();
        nextEnd = std::min(nextEnd, ends);
        auto main = NSRunLoop::main();
        // Tests install a new main run loop each; a subscription to an earlier one is stale.
        if (frames && loop.lock() == main)
            return;
        frames.reset();
        loop = main;
        if (main)
            frames = main->addFrameObserver([this](double now) { onFrame(now); });
    }
    void remove(const CALayer& layer) {
        layers.erase(&layer);
        if (!layers.empty())
            return;
        frames.reset();
        nextEnd = std::numeric_limits<double>::infinity();
    }
    void onFrame(double now) {
        UIView::markDisplayChanged();
        // The layers are looked through only when an animation may have ended: a frame of a
        // thousand fluttering pieces costs nothing more.
        if (now < nextEnd)
            return;
        nextEnd = std::numeric_limits<double>::infinity();
        for (auto it = layers.begin(); it != layers.end();) {
            auto layer = it->second.lock();
            if (layer && layer->pruneEndedAnimations(now)) {
                nextEnd = std::min(nextEnd, layer->earliestEnd());
                ++it;
            } else {
                it = layers.erase(it);
            }
        }
        if (layers.empty())
            frames.reset();
    }
    void shutDown() override { frames.reset(); }
};

AnimatedLayers& animatedLayers() {
    return DeviceEnvironment::current().part<AnimatedLayers>();
}

} // namespace

CALayer::~CALayer() {
    // A layer that goes while another device is current is not in that device's set; the set it is
    // in drops it when it next looks.
    if (animations_.empty())
        return;
    if (auto* device = DeviceEnvironment::current().existingPart<AnimatedLayers>())
        device->remove(*this);
}

void CALayer::addAnimation(const std::shared_ptr<CABasicAnimation>& animation, const std::string& key) {
    if (!animation)
        return;
    auto running = animation->copy();
    if (running->beginTime() == 0)
        running->setBeginTime(mediaTime());
    auto it =
        std::find_if(animations_.begin(), animations_.end(), [&](const auto& a) { return a.first == key; });
    if (it != animations_.end())
        animations_.erase(it);
    animations_.emplace_back(key, std::move(running));
    animatedLayers().add(*this, earliestEnd());
    UIView::markDisplayChanged();
}

std::shared_ptr<CABasicAnimation> CALayer::animationForKey(const std::string& key) const {
    for (const auto& [k, a] : animations_) {
        if (k == key)
            return a;
    }
    return nullptr;
}

std::vector<std::string> CALayer::animationKeys() const {
    std::vector<std::string> keys;
    for (const auto& a : animations_)
        keys.push_back(a.first);
    return keys;
}

void CALayer::removeAnimationForKey(const std::string& key) {
    auto it =
        std::find_if(animations_.begin(), animations_.end(), [&](const auto& a) { return a.first == key; });
    if (it == animations_.end())
        return;
    animations_.erase(it);
    if (animations_.empty())
        animatedLayers().remove(*this);
    UIView::markDisplayChanged();
}

void CALayer::removeAllAnimations() {
    if (animations_.empty())
        return;
    animations_.clear();
    animatedLayers().remove(*this);
    UIView::markDisplayChanged();
}

double CALayer::earliestEnd() const {
    double end = std::numeric_limits<double>::infinity();
    for (const auto& [key, a] : animations_) {
        if (a->isRemovedOnCompletion())
            end = std::min(end, a->beginTime() + a->activeDuration());
    }
    return end;
}

bool CALayer::pruneEndedAnimations(double now) {
    std::erase_if(animations_, [&](const auto& a) {
        return a.second->isRemovedOnCompletion() && a.second->hasEndedAt(now);
    });
    return !animations_.empty();
}

CATransform3D CALayer::presentationTransform(const CATransform3D& model) const {
    if (animations_.empty())
        return model;
    double now = mediaTime();
    CATransform3D shown = model;
    for (const auto& [key, a] : animations_) {
        if (a->keyPath() != "transform")
            continue;
        double f = a->fractionAt(now);
        if (f < 0)
            continue;
        CATransform3D from = NSValue::transformOf(a->fromValue()).value_or(shown);
        CATransform3D to = NSValue::transformOf(a->toValue()).value_or(shown);
        shown = CATransform3DInterpolate(from, to, f);
    }
    return shown;
}
