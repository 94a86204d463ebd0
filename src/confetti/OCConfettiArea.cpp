#include "confetti/OCConfettiArea.h"

#include "confetti/OCConfettiRandom.h"

#include <cstdlib>

std::shared_ptr<OCConfettiArea> OCConfettiArea::create(CGRect frame) {
    auto area = std::shared_ptr<OCConfettiArea>(new OCConfettiArea(frame));
    area->commonInit();
    return area;
}

void OCConfettiArea::commonInit() {
    UIView::commonInit();
    swayLength_ = 50.0;
    blastSpread_ = 0.1;
    // FIXME: the animator with this area as reference view and the gravity behaviour of
    // magnitude 0.5 are created here once UIDynamicAnimator exists.
}

std::size_t OCConfettiArea::confettiObjectsCacheCount() const {
    return 0;
}

std::vector<UIColor> OCConfettiArea::defaultColors() {
    return {UIColor::redColor(),    UIColor::blueColor(),    UIColor::greenColor(), UIColor::orangeColor(),
            UIColor::purpleColor(), UIColor::magentaColor(), UIColor::cyanColor()};
}

void OCConfettiArea::setupDataFromDelegates() {
    auto d = delegate();
    if (d && d->implementsColorsForConfettiArea())
        colors_ = d->colorsForConfettiArea(std::static_pointer_cast<OCConfettiArea>(shared_from_this()));
    else
        colors_ = defaultColors();
}

double OCConfettiArea::randomFloatBetween(double a, double b) {
    return OCRandomFloatBetween(a, b, arc4random());
}

std::int64_t OCConfettiArea::randomIntegerFrom(std::int64_t a, std::int64_t b) {
    if (a == b)
        return b;
    return OCRandomIntegerFrom(a, b, arc4random());
}

void OCConfettiArea::record(Emit emit) {
    std::lock_guard lock(mutex_);
    emits_.push_back(std::move(emit));
}

std::vector<OCConfettiArea::Emit> OCConfettiArea::emits() const {
    std::lock_guard lock(mutex_);
    return emits_;
}

void OCConfettiArea::burstAt(CGPoint point, double confettiWidth, std::int64_t numberOfConfetti) {
    setupDataFromDelegates();
    record({Emit::Kind::Burst, point, 0, 0, confettiWidth, numberOfConfetti, {}});
    // FIXME: generate the pieces on the global queue and attach them on the main queue.
}

void OCConfettiArea::blastFrom(CGPoint point, double towards, double withForce, double confettiWidth,
                               std::int64_t numberOfConfetti) {
    setupDataFromDelegates();
    record({Emit::Kind::Blast, point, towards, withForce, confettiWidth, numberOfConfetti, {}});
    // FIXME: generate the pieces on the global queue and attach them on the main queue.
}

void OCConfettiArea::blastConfettiType(const std::string& confettiType, CGPoint fromPoint, double towards,
                                       double withForce, std::int64_t numberOfConfetti) {
    setupDataFromDelegates();
    record({Emit::Kind::TypedBlast, fromPoint, towards, withForce, 0, numberOfConfetti, confettiType});
    // FIXME: generate the pieces on the global queue and attach them on the main queue.
}
