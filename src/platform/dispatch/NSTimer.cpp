#include "platform/dispatch/NSTimer.h"

#include "platform/foundation/NSLog.h"

#include <algorithm>
#include <cmath>

namespace {

// The platform replaces a non-positive interval by 0.1 ms, so a repeating timer can never spin.
constexpr double kMinimumInterval = 0.0001;

double clockNow() {
    if (auto loop = NSRunLoop::main())
        return loop->now();
    return RealClock().now();
}

std::shared_ptr<NSTimer> schedule(std::shared_ptr<NSTimer> timer) {
    if (auto loop = NSRunLoop::main())
        loop->addTimer(timer, NSDefaultRunLoopMode);
    else
        NSLog("*** NSTimer scheduled with no main run loop installed; it will not fire");
    return timer;
}

} // namespace

NSTimer::NSTimer(Private, double interval, bool repeats, PlistValue userInfo)
    : interval_(interval > 0 ? interval : kMinimumInterval), repeats_(repeats),
      userInfo_(std::move(userInfo)), origin_(clockNow() + interval_) {}

std::shared_ptr<NSTimer> NSTimer::timerWithTimeInterval(double interval, std::shared_ptr<NSObject> target,
                                                        SEL selector, PlistValue userInfo, bool repeats) {
    auto timer = std::make_shared<NSTimer>(Private{}, interval, repeats, std::move(userInfo));
    timer->target_ = std::move(target);
    timer->selector_ = std::move(selector);
    return timer;
}

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(double interval,
                                                                 std::shared_ptr<NSObject> target,
                                                                 SEL selector, PlistValue userInfo,
                                                                 bool repeats) {
    return schedule(timerWithTimeInterval(interval, std::move(target), std::move(selector),
                                          std::move(userInfo), repeats));
}

std::shared_ptr<NSTimer> NSTimer::timerWithTimeInterval(double interval, bool repeats, Block block) {
    auto timer = std::make_shared<NSTimer>(Private{}, interval, repeats, PlistValue());
    timer->block_ = std::move(block);
    return timer;
}

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(double interval, bool repeats, Block block) {
    return schedule(timerWithTimeInterval(interval, repeats, std::move(block)));
}

std::shared_ptr<NSTimer> NSTimer::timerWithTimeInterval(double interval, std::weak_ptr<const void> owner,
                                                        bool repeats, Block block) {
    return timerWithTimeInterval(interval, repeats,
                                 [owner = std::move(owner), block = std::move(block)](const auto& timer) {
                                     // Holding the owner for the length of the call keeps it
                                     // alive even if the block drops the last other reference.
                                     auto alive = owner.lock();
                                     if (!alive) {
                                         timer->invalidate();
                                         return;
                                     }
                                     block(timer);
                                 });
}

void NSTimer::invalidate() {
    if (!valid_.exchange(false))
        return;
    // The references are dropped only after the timer is marked invalid, so a target whose
    // destructor reaches back into the timer finds it already stopped.
    auto target = std::move(target_);
    auto block = std::move(block_);
    auto userInfo = std::move(userInfo_);
    target_ = nullptr;
    block_ = nullptr;
    userInfo_ = PlistValue();
}

void NSTimer::fire() {
    if (!valid_)
        return;
    invoke();
    if (!repeats_)
        invalidate();
}

void NSTimer::setFireDate(double date) {
    origin_ = date;
    fires_ = 0;
}

void NSTimer::runLoopFire(double now) {
    if (!valid_)
        return;
    if (repeats_) {
        // The next fire is the first date of the original schedule after now; fires missed while
        // the loop was busy or in another mode are skipped.
        auto due = static_cast<long long>(std::floor((now - origin_) / interval_ + 1e-9)) + 1;
        fires_ = std::max(fires_ + 1, due);
    }
    fire();
}

void NSTimer::invoke() {
    // Copies, so that the callback may invalidate the timer (dropping target and block) safely.
    auto self = std::static_pointer_cast<NSTimer>(shared_from_this());
    if (auto block = block_) {
        block(self);
        return;
    }
    if (auto target = target_)
        target->performSelector(selector_, {PlistValue(std::static_pointer_cast<NSObject>(self))});
}
