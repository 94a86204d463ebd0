#pragma once

// The time source of a run loop: seconds on a monotonic scale. The simulator gives its run loop a
// RealClock; tests give theirs a ManualClock and move time by hand (NSRunLoop::advanceBy), so no
// test ever sleeps for a timer or an animation.

#include <atomic>
#include <memory>

class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
    // A manual clock never waits: the run loop advances it instead of sleeping.
    virtual bool isManual() const = 0;
};

class RealClock final : public Clock {
public:
    static std::shared_ptr<RealClock> create() { return std::make_shared<RealClock>(); }
    double now() const override;
    bool isManual() const override { return false; }
};

class ManualClock final : public Clock {
public:
    static std::shared_ptr<ManualClock> create(double start = 0) {
        auto c = std::make_shared<ManualClock>();
        c->set(start);
        return c;
    }
    double now() const override { return now_.load(); }
    bool isManual() const override { return true; }
    // Only the run loop should move a clock that a run loop uses; see NSRunLoop::advanceBy.
    void set(double t) { now_.store(t); }

private:
    std::atomic<double> now_{0};
};
