#include "confetti/L360ConfettiArea.h"

#include "confetti/L360ConfettiRandom.h"

#include <cstdlib>

std::shared_ptr<L360ConfettiArea> L360ConfettiArea::create(CGRect frame) {
    auto area = std::shared_ptr<L360ConfettiArea>(new L360ConfettiArea(frame));
    area->commonInit();
    return area;
}

void L360ConfettiArea::commonInit() {
    UIView::commonInit();
    swayLength_ = 50.0;
    blastSpread_ = 0.1;
    // FIXME: the animator with this area as reference view and the gravity behaviour of
    // magnitude 0.5 are created here once UIDynamicAnimator exists.
}

std::size_t L360ConfettiArea::confettiObjectsCacheCount() const {
    return 0;
}

std::vector<UIColor> L360ConfettiArea::defaultColors() {
    return {UIColor::redColor(),    UIColor::blueColor(),    UIColor::greenColor(), UIColor::orangeColor(),
            UIColor::purpleColor(), UIColor::magentaColor(), UIColor::cyanColor()};
}

void L360ConfettiArea::setupDataFromDelegates() {
    auto d = delegate();
    if (d && d->implementsColorsForConfettiArea())
        colors_ = d->colorsForConfettiArea(std::static_pointer_cast<L360ConfettiArea>(shared_from_this()));
    else
        colors_ = defaultColors();
}

double L360ConfettiArea::randomFloatBetween(double a, double b) {
    return L360RandomFloatBetween(a, b, arc4random());
}

std::int64_t L360ConfettiArea::randomIntegerFrom(std::int64_t a, std::int64_t b) {
    if (a == b)
        return b;
    return L360RandomIntegerFrom(a, b, arc4random());
}

void L360ConfettiArea::record(Emit emit) {
    std::lock_guard lock(mutex_);
    emits_.push_back(std::move(emit));
}

std::vector<L360ConfettiArea::Emit> L360ConfettiArea::emits() const {
    std::lock_guard lock(mutex_);
    return emits_;
}

void L360ConfettiArea::burstAt(CGPoint point, double confettiWidth, std::int64_t numberOfConfetti) {
    setupDataFromDelegates();
    record({Emit::Kind::Burst, point, 0, 0, confettiWidth, numberOfConfetti, {}});
    // FIXME: generate the pieces on the global queue and attach them on the main queue.
}

void L360ConfettiArea::blastFrom(CGPoint point, double towards, double withForce, double confettiWidth,
                                 std::int64_t numberOfConfetti) {
    setupDataFromDelegates();
    record({Emit::Kind::Blast, point, towards, withForce, confettiWidth, numberOfConfetti, {}});
    // FIXME: generate the pieces on the global queue and attach them on the main queue.
}

void L360ConfettiArea::blastConfettiType(const std::string& confettiType, CGPoint fromPoint, double towards,
                                         double withForce, std::int64_t numberOfConfetti) {
    setupDataFromDelegates();
    record({Emit::Kind::TypedBlast, fromPoint, towards, withForce, 0, numberOfConfetti, confettiType});
    // FIXME: generate the pieces on the global queue and attach them on the main queue.
}
