#pragma once

// The main run loop: one per process, on the thread that installs it (the main thread). It drains
// the main queue in order, fires timers, and steps frame observers (display links, view and layer
// animations, dynamic animators) once per frame, in run-loop modes. Nothing polls: with no due
// work and nothing animating, `run` sleeps until work arrives.
//
// Tests:
//     auto loop = NSRunLoop::installMain(ManualClock::create());
//     dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC), dispatch_get_main_queue(), fn);
//     loop->advanceBy(0.999);  // fn not yet run
//     loop->advanceBy(0.001);  // fn runs, at exactly t = 1
//
// The simulator: `NSRunLoop::installMain(RealClock::create())->run()` until `stop()`.

#include "platform/dispatch/Clock.h"
#include "platform/foundation/Subscription.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class NSTimer;

using NSRunLoopMode = std::string;
inline const NSRunLoopMode NSDefaultRunLoopMode = "kCFRunLoopDefaultMode";
inline const NSRunLoopMode UITrackingRunLoopMode = "UITrackingRunLoopMode";
// Registering in the common modes means running in both default and tracking.
inline const NSRunLoopMode NSRunLoopCommonModes = "kCFRunLoopCommonModes";

// Held by whoever registered a frame observer; destroying it (or calling reset) unregisters it.
using FrameSubscription = Subscription;

// How often a frame observer needs to step.
enum class FrameCadence {
    // On every frame: whatever changes what is shown from one frame to the next (view and layer
    // animations, display links, dynamic animators, a recording of the screen).
    EveryFrame,
    // Only on the latest frame before anything looks: an observer that brings something in line
    // with the time and with what other work changed, and does nothing else (the layout of a
    // headless screen, a spinner whose look is a function of the time). Stepping it once at a
    // frame must leave the same state as stepping it at every frame up to that one. On a manual
    // clock such an observer steps on the first frame after anything else ran (a task, a timer,
    // an every-frame observer, or code outside the loop between two runs); otherwise it skips
    // frames, and steps once at the latest of them just before anything else runs and at the end
    // of an advance. A long advance with nothing else to do then jumps from one timer to the
    // next. On a real clock it steps on every frame, as a window draws every frame.
    LatestFrame,
};

class NSRunLoop : public std::enable_shared_from_this<NSRunLoop> {
public:
    static constexpr double kFrameInterval = 1.0 / 60.0;

    // Creates a run loop on `clock`, makes it the main run loop and the calling thread the main
    // thread. Replaces (and stops) any earlier main run loop; tests install one per test. A null
    // clock removes the main run loop and answers null.
    static std::shared_ptr<NSRunLoop> installMain(std::shared_ptr<Clock> clock);
    // The installed main run loop, or null.
    static std::shared_ptr<NSRunLoop> main();
    static std::shared_ptr<NSRunLoop> mainRunLoop() { return main(); }
    // The run loop of the calling thread: the main run loop on the main thread, null elsewhere
    // (worker threads of the global queue have no run loop of their own).
    static std::shared_ptr<NSRunLoop> currentRunLoop();
    static bool isMainThread();

    virtual ~NSRunLoop() = default;

    virtual double now() const = 0;
    virtual std::shared_ptr<Clock> clock() const = 0;

    // Main queue: safe from any thread; tasks run in order on the main thread.
    virtual void enqueue(std::function<void()> task) = 0;
    // Runs `task` on the main thread at `time` (clock seconds) or as soon after as the loop runs,
    // while the handle is held: destroying or resetting it first cancels the task (from any
    // thread), so a task cannot outlive what it serves. A task that has started is not affected.
    // Keep a task for the loop's life with `release()`.
    //
    //     refresh_ = loop->enqueueAt(loop->now() + 0.25, [this] { refresh(); });  // a member
    virtual Subscription enqueueAt(double time, std::function<void()> task) = 0;

    // Timers (main thread only). A timer fires only while the loop runs in one of its modes.
    // Adding a timer that is already on the loop adds the mode to it; an invalid timer is ignored.
    // The loop holds the timer (and through it the timer's target) until it is invalidated or,
    // for a one-shot timer, until it has fired.
    virtual void addTimer(const std::shared_ptr<NSTimer>& timer, const NSRunLoopMode& mode) = 0;

    // Frame observers (main thread only): `step(now)` runs once per frame while the loop runs in
    // one of `mode`'s modes, or less often for a `LatestFrame` observer (see FrameCadence). The
    // loop wakes for frames only while an observer is registered.
    virtual FrameSubscription addFrameObserver(std::function<void(double now)> step,
                                               const NSRunLoopMode& mode = NSRunLoopCommonModes,
                                               FrameCadence cadence = FrameCadence::EveryFrame) = 0;
    virtual bool hasFrameObservers() const = 0;

    // The mode the loop runs in now (default, or tracking while the user drags).
    virtual const NSRunLoopMode& currentMode() const = 0;
    virtual void setCurrentMode(const NSRunLoopMode& mode) = 0;

    // Running. `runUntilIdle` runs everything due now (queue, due timers) without moving time.
    // `advanceBy` (manual clocks) moves time forward in steps, running each timer, delayed task
    // and frame at its own time, in time order; equal times run in registration order. Its cost
    // is the work in the advanced time, not its length: with only timers and `LatestFrame`
    // observers registered, time jumps from one timer to the next.
    // `run` (real clocks) loops until `stop`, sleeping when nothing is due.
    virtual void runUntilIdle() = 0;
    virtual void advanceBy(double seconds) = 0;
    virtual void run() = 0;
    // Runs until `deadline` (clock seconds) or `stop`, whichever comes first; work due by the
    // deadline runs even when the deadline is now or already past.
    virtual void runUntil(double deadline) = 0;
    // Safe from any thread. A stop that arrives while the loop is not running ends the next run
    // at once, so a stop sent just before `run` starts is never lost.
    virtual void stop() = 0;
};
