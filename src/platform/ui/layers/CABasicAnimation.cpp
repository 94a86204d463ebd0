#include "platform/ui/layers/CABasicAnimation.h"

#include <cmath>
#include <limits>

namespace {
constexpr double kDefaultDuration = 0.25;
}

std::shared_ptr<CABasicAnimation> CABasicAnimation::animationWithKeyPath(std::string keyPath) {
    return std::shared_ptr<CABasicAnimation>(new CABasicAnimation(std::move(keyPath)));
}

double CABasicAnimation::cycleDuration() const {
    double d = std::isfinite(duration_) && duration_ > 0 ? duration_ : kDefaultDuration;
    return autoreverses_ ? 2 * d : d;
}

double CABasicAnimation::activeDuration() const {
    double repeats = static_cast<double>(repeatCount_);
    if (std::isinf(repeats) && repeats > 0)
        return std::numeric_limits<double>::infinity();
    if (!(repeats > 0))
        repeats = 1;
    return cycleDuration() * repeats;
}

bool CABasicAnimation::hasEndedAt(double now) const {
    return now - beginTime_ >= activeDuration();
}

double CABasicAnimation::fractionAt(double now) const {
    double t = now - beginTime_;
    if (!(t >= 0) || t >= activeDuration())
        return -1;
    double cycle = cycleDuration();
    double local = std::fmod(t, cycle) / cycle;
    if (autoreverses_)
        local = local < 0.5 ? local * 2 : (1 - local) * 2;
    return local;
}

std::shared_ptr<CABasicAnimation> CABasicAnimation::copy() const {
    auto c = animationWithKeyPath(keyPath_);
    c->duration_ = duration_;
    c->repeatCount_ = repeatCount_;
    c->autoreverses_ = autoreverses_;
    c->beginTime_ = beginTime_;
    c->removedOnCompletion_ = removedOnCompletion_;
    c->fromValue_ = fromValue_;
    c->toValue_ = toValue_;
    return c;
}
