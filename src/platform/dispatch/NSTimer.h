#pragma once

// A timer that fires on a run loop after a time interval, once or repeatedly. As on the platform,
// a timer does nothing until it is added to a run loop (or made with a `scheduled...` factory,
// which adds it to the main run loop in the default mode); the run loop then holds it, and the
// timer holds its target strongly, until the timer is invalidated or, for a one-shot timer, has
// fired. A repeating timer keeps its schedule from its first fire date: when the loop falls
// behind, the missed fires are skipped, never delivered in a burst.
//
//     auto t = NSTimer::timerWithTimeInterval(0.5, self, "handleGraceTimer:", {}, false);
//     NSRunLoop::currentRunLoop()->addTimer(t, NSRunLoopCommonModes);
//     ...
//     t->invalidate();  // never fires; the target is released
//
// The target's method receives the firing timer as its one argument (an Object value). The
// block factories call a function instead; the variant with an owner stops the timer for good
// once the owner is gone, so a timer kept as a member cannot outlive the object it serves.

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/plist/PlistValue.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class NSRunLoopImpl;

class NSTimer : public NSObject {
    struct Private {};

public:
    using Block = std::function<void(const std::shared_ptr<NSTimer>& timer)>;

    // The first fire date is `interval` seconds after now on the main run loop's clock. A
    // repeating timer with an interval of zero or less repeats every 0.1 ms, as on the platform.
    static std::shared_ptr<NSTimer> timerWithTimeInterval(double interval, std::shared_ptr<NSObject> target,
                                                          SEL selector, PlistValue userInfo, bool repeats);
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(double interval,
                                                                   std::shared_ptr<NSObject> target,
                                                                   SEL selector, PlistValue userInfo,
                                                                   bool repeats);
    static std::shared_ptr<NSTimer> timerWithTimeInterval(double interval, bool repeats, Block block);
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(double interval, bool repeats,
                                                                   Block block);
    // Calls `block` only while `owner` lives; the first fire after the owner is gone invalidates
    // the timer instead.
    static std::shared_ptr<NSTimer> timerWithTimeInterval(double interval, std::weak_ptr<const void> owner,
                                                          bool repeats, Block block);

    NSTimer(Private, double interval, bool repeats, PlistValue userInfo);

    std::string className() const override { return "NSTimer"; }

    // Stops the timer for good and releases its target, block and user data. Safe to call from
    // the timer's own callback, and more than once.
    void invalidate();
    bool isValid() const { return valid_; }
    // Fires now, outside the schedule: a repeating timer keeps its schedule, a one-shot timer is
    // invalidated afterwards. Does nothing on an invalid timer.
    void fire();

    double fireDate() const { return origin_ + static_cast<double>(fires_) * interval_; }
    // Moves the next fire; a repeating timer then repeats from this date.
    void setFireDate(double date);
    double timeInterval() const { return repeats_ ? interval_ : 0; }
    const PlistValue& userInfo() const { return userInfo_; }

private:
    friend class NSRunLoopImpl;

    void invoke();
    // Called by the run loop when the timer comes due at `now`: moves a repeating timer to its
    // next fire date after `now` (skipping missed ones) and calls the target.
    void runLoopFire(double now);
    bool repeats() const { return repeats_; }

    double interval_;
    bool repeats_;
    PlistValue userInfo_;
    std::atomic<bool> valid_{true};
    // The fire date is kept as origin plus a count of intervals, so a long-running repeating
    // timer does not drift by accumulated rounding.
    double origin_ = 0;
    long long fires_ = 0;
    std::shared_ptr<NSObject> target_;
    SEL selector_;
    Block block_;
};
