#include "platform/dispatch/NSRunLoop.h"

#include "platform/dispatch/NSTimer.h"
#include "platform/foundation/NSLog.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

// Deadlines less than a nanosecond apart are the same time: dispatch times count whole
// nanoseconds, and a manual clock advanced in several steps may land one rounding error short
// of a deadline that a single step would have reached.
constexpr double kTimeEpsilon = 1e-9;

struct MainState {
    std::mutex mutex;
    std::shared_ptr<NSRunLoop> loop;
    std::thread::id thread;
};

// Never destroyed: worker threads of the global queue may still look for the main run loop
// while static objects are being torn down at exit.
MainState& mainState() {
    static MainState* state = new MainState;
    return *state;
}

// The modes an item registered in `mode` runs in.
std::vector<NSRunLoopMode> expandMode(const NSRunLoopMode& mode) {
    if (mode == NSRunLoopCommonModes)
        return {NSDefaultRunLoopMode, UITrackingRunLoopMode};
    return {mode};
}

void addModes(std::vector<NSRunLoopMode>& modes, const NSRunLoopMode& mode) {
    for (auto& m : expandMode(mode)) {
        if (std::find(modes.begin(), modes.end(), m) == modes.end())
            modes.push_back(std::move(m));
    }
}

bool runsIn(const std::vector<NSRunLoopMode>& modes, const NSRunLoopMode& mode) {
    return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

// The index of the last frame of the 1/60 s grid at or before `t`.
long long frameIndexAtOrBefore(double t) {
    return static_cast<long long>(std::floor((t + kTimeEpsilon) / NSRunLoop::kFrameInterval));
}

double frameTime(long long index) {
    return static_cast<double>(index) * NSRunLoop::kFrameInterval;
}

} // namespace

// The one run loop implementation. Every list lives under one mutex, because the queue and the
// delayed tasks are fed from other threads; callbacks always run with the mutex released, and
// anything removed from a list is destroyed only after the mutex is released, so a callback or
// a destructor may call back into the loop.
class NSRunLoopImpl final : public NSRunLoop {
public:
    explicit NSRunLoopImpl(std::shared_ptr<Clock> clock)
        : clock_(std::move(clock)), manual_(std::dynamic_pointer_cast<ManualClock>(clock_)) {}

    double now() const override { return clock_->now(); }
    std::shared_ptr<Clock> clock() const override { return clock_; }

    void enqueue(std::function<void()> task) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(task));
            ++wakeups_;
        }
        wake_.notify_one();
    }

    Subscription enqueueAt(double time, std::function<void()> task) override {
        std::uint64_t seq;
        {
            std::lock_guard lock(mutex_);
            seq = nextSeq_++;
            tasks_.push_back({time, seq, std::move(task)});
            ++wakeups_;
        }
        wake_.notify_one();
        std::weak_ptr<NSRunLoop> weakSelf = weak_from_this();
        return Subscription([weakSelf, seq] {
            if (auto self = weakSelf.lock())
                static_cast<NSRunLoopImpl&>(*self).cancelDelayedTask(seq);
        });
    }

    void addTimer(const std::shared_ptr<NSTimer>& timer, const NSRunLoopMode& mode) override {
        if (!timer || !timer->isValid())
            return;
        std::lock_guard lock(mutex_);
        auto it = std::find_if(timers_.begin(), timers_.end(),
                               [&](const TimerEntry& e) { return e.timer == timer; });
        if (it == timers_.end()) {
            timers_.push_back({timer, nextSeq_++, {}});
            it = std::prev(timers_.end());
        }
        addModes(it->modes, mode);
        ++wakeups_;
    }

    FrameSubscription addFrameObserver(std::function<void(double now)> step, const NSRunLoopMode& mode,
                                       FrameCadence cadence) override {
        std::uint64_t id;
        {
            std::lock_guard lock(mutex_);
            id = nextFrameId_++;
            // The first frame is the next one on the clock's 1/60 s grid, so that every observer
            // steps at the same instants however late it was registered.
            frames_.push_back({id, nextSeq_++, expandMode(mode), frameIndexAtOrBefore(clock_->now()) + 1,
                               std::make_shared<std::function<void(double)>>(std::move(step)), cadence});
            ++wakeups_;
        }
        std::weak_ptr<NSRunLoop> weakSelf = weak_from_this();
        return FrameSubscription([weakSelf, id] {
            if (auto self = weakSelf.lock())
                static_cast<NSRunLoopImpl&>(*self).removeFrameObserver(id);
        });
    }

    bool hasFrameObservers() const override {
        std::lock_guard lock(mutex_);
        return !frames_.empty();
    }

    const NSRunLoopMode& currentMode() const override { return mode_; }

    void setCurrentMode(const NSRunLoopMode& mode) override {
        if (mode == NSRunLoopCommonModes) {
            NSLog("*** NSRunLoop cannot run in the common modes; staying in %@", {mode_});
            return;
        }
        std::lock_guard lock(mutex_);
        mode_ = mode;
        ++wakeups_;
    }

    void runUntilIdle() override {
        startRun();
        while (runOne(clock_->now(), false)) {
        }
    }

    void advanceBy(double seconds) override {
        if (!manual_) {
            NSLog("*** NSRunLoop advanceBy needs a manual clock; running what is due instead");
            runUntilIdle();
            return;
        }
        advanceTo(clock_->now() + std::max(0.0, seconds), false);
    }

    void run() override { runUntilTime(std::numeric_limits<double>::infinity()); }
    void runUntil(double deadline) override { runUntilTime(deadline); }

    void stop() override {
        {
            std::lock_guard lock(mutex_);
            stopRequested_ = true;
            ++wakeups_;
        }
        wake_.notify_all();
    }

    // Drops a delayed task that has not started; one that ran or runs now is not in the list.
    void cancelDelayedTask(std::uint64_t seq) {
        std::function<void()> removed; // destroyed after the mutex is released
        std::lock_guard lock(mutex_);
        auto it =
            std::find_if(tasks_.begin(), tasks_.end(), [&](const DelayedTask& t) { return t.seq == seq; });
        if (it == tasks_.end())
            return;
        removed = std::move(it->task);
        tasks_.erase(it);
    }

    void removeFrameObserver(std::uint64_t id) {
        FrameEntry removed;
        std::lock_guard lock(mutex_);
        auto it =
            std::find_if(frames_.begin(), frames_.end(), [&](const FrameEntry& e) { return e.id == id; });
        if (it == frames_.end())
            return;
        removed = std::move(*it);
        frames_.erase(it);
    }

private:
    struct DelayedTask {
        double time;
        std::uint64_t seq;
        std::function<void()> task;
    };
    struct TimerEntry {
        std::shared_ptr<NSTimer> timer;
        std::uint64_t seq;
        std::vector<NSRunLoopMode> modes;
    };
    struct FrameEntry {
        std::uint64_t id = 0;
        std::uint64_t seq = 0;
        std::vector<NSRunLoopMode> modes;
        long long frame = 0; // index of the next frame on the grid
        std::shared_ptr<std::function<void(double)>> step;
        FrameCadence cadence = FrameCadence::EveryFrame;
        // A LatestFrame observer that something ran since its last step: it takes the next frame.
        bool pending = true;
    };
    // A place in the order in which the loop runs things: a time, and among equal times the
    // registration order.
    struct Position {
        double time = -std::numeric_limits<double>::infinity();
        std::uint64_t seq = 0;
    };
    enum class Kind { None, Task, Timer, Frame };
    struct Next {
        Kind kind = Kind::None;
        std::size_t index = 0;
        double time = 0;
        std::uint64_t seq = 0;
    };

    static bool earlier(double time, std::uint64_t seq, double thanTime, std::uint64_t thanSeq) {
        if (std::abs(time - thanTime) <= kTimeEpsilon)
            return seq < thanSeq;
        return time < thanTime;
    }

    static bool earlier(double time, std::uint64_t seq, const Next& than) {
        return than.kind == Kind::None || earlier(time, seq, than.time, than.seq);
    }

    // Whether a frame observer takes frames now: a LatestFrame observer on a manual clock only
    // when something ran since its last step.
    bool wantsFrames(const FrameEntry& e) const {
        return !manual_ || e.cadence == FrameCadence::EveryFrame || e.pending;
    }

    // Needs the mutex.
    void markFollowersPending() {
        for (FrameEntry& e : frames_)
            e.pending = true;
    }

    // The latest frame of `e` that comes before `at` in the loop's order, if `e` skipped it.
    std::optional<long long> skippedFrameBefore(const FrameEntry& e, Position at) const {
        long long index = frameIndexAtOrBefore(at.time);
        if (std::abs(frameTime(index) - at.time) <= kTimeEpsilon && !(e.seq < at.seq))
            --index;
        if (index < e.frame)
            return std::nullopt;
        return index;
    }

    // A LatestFrame observer that skipped frames before `at` steps once, at the latest of them,
    // before anything at `at` runs, so that it is as it would be had it stepped on every frame.
    // Answers the step of the earliest such observer (moving a manual clock to its frame when
    // `moveClock`), or nothing. Needs the mutex.
    std::function<void()> catchUpBefore(Position at, bool moveClock) {
        if (!manual_)
            return {};
        FrameEntry* behind = nullptr;
        long long behindIndex = 0;
        for (FrameEntry& e : frames_) {
            if (e.cadence != FrameCadence::LatestFrame || e.pending || !runsIn(e.modes, mode_))
                continue;
            auto index = skippedFrameBefore(e, at);
            if (index &&
                (!behind || earlier(frameTime(*index), e.seq, frameTime(behindIndex), behind->seq))) {
                behind = &e;
                behindIndex = *index;
            }
        }
        if (!behind)
            return {};
        behind->frame = behindIndex + 1;
        double t = frameTime(behindIndex);
        if (moveClock && t > manual_->now())
            manual_->set(t);
        advanceLastRun({t, behind->seq});
        return [step = behind->step, t] { (*step)(t); };
    }

    void advanceLastRun(Position p) {
        if (earlier(lastRun_.time, lastRun_.seq, p.time, p.seq))
            lastRun_ = p;
    }

    // The earliest item that may run in the current mode, whenever it is due. Needs the mutex.
    Next findEarliest() const {
        Next next;
        for (std::size_t i = 0; i < tasks_.size(); ++i) {
            if (earlier(tasks_[i].time, tasks_[i].seq, next))
                next = {Kind::Task, i, tasks_[i].time, tasks_[i].seq};
        }
        for (std::size_t i = 0; i < timers_.size(); ++i) {
            const TimerEntry& e = timers_[i];
            if (!e.timer->isValid() || !runsIn(e.modes, mode_))
                continue;
            if (earlier(e.timer->fireDate(), e.seq, next))
                next = {Kind::Timer, i, e.timer->fireDate(), e.seq};
        }
        for (std::size_t i = 0; i < frames_.size(); ++i) {
            const FrameEntry& e = frames_[i];
            if (!runsIn(e.modes, mode_) || !wantsFrames(e))
                continue;
            if (earlier(frameTime(e.frame), e.seq, next))
                next = {Kind::Frame, i, frameTime(e.frame), e.seq};
        }
        return next;
    }

    // Runs one queued task, or else the earliest item due at or before `limit`, or else the
    // catching up of a LatestFrame observer to `limit` (to now when `limit` is not finite). A
    // LatestFrame observer that skipped frames first catches up before anything else runs. With
    // `moveClock` the manual clock is first moved to the item's own time. Answers whether
    // anything ran; each call that answers true has moved a time or consumed an item, so a loop
    // of calls ends.
    bool runOne(double limit, bool moveClock) {
        std::function<void()> work;
        std::vector<TimerEntry> invalid;
        {
            std::lock_guard lock(mutex_);
            bool follower = false; // the work is the step of a LatestFrame observer
            if (!queue_.empty()) {
                // A queued task runs right after whatever ran last.
                if ((work = catchUpBefore(lastRun_, moveClock))) {
                    follower = true;
                } else {
                    work = std::move(queue_.front());
                    queue_.pop_front();
                }
            } else {
                // Invalidated timers leave the loop here rather than in `invalidate`, which does
                // not know the loops a timer is on.
                for (auto it = timers_.begin(); it != timers_.end();) {
                    if (it->timer->isValid()) {
                        ++it;
                        continue;
                    }
                    invalid.push_back(std::move(*it));
                    it = timers_.erase(it);
                }
                Next next = findEarliest();
                if (next.kind == Kind::None || next.time > limit + kTimeEpsilon) {
                    double catchTo = std::isfinite(limit) ? limit : clock_->now();
                    work = catchUpBefore({catchTo, std::numeric_limits<std::uint64_t>::max()}, moveClock);
                    if (!work)
                        return false;
                    follower = true;
                    next.kind = Kind::None;
                } else if (!(next.kind == Kind::Frame &&
                             frames_[next.index].cadence == FrameCadence::LatestFrame)) {
                    if ((work = catchUpBefore({next.time, next.seq}, moveClock))) {
                        follower = true;
                        next.kind = Kind::None;
                    }
                }
                if (next.kind != Kind::None && moveClock && manual_ && next.time > manual_->now())
                    manual_->set(next.time);
                double now = clock_->now();
                if (next.kind != Kind::None)
                    advanceLastRun({std::max(next.time, now), next.seq});
                switch (next.kind) {
                case Kind::Task:
                    work = std::move(tasks_[next.index].task);
                    tasks_.erase(tasks_.begin() + static_cast<std::ptrdiff_t>(next.index));
                    break;
                case Kind::Timer: {
                    std::shared_ptr<NSTimer> timer = timers_[next.index].timer;
                    // A one-shot timer leaves the loop as it fires; it is invalidated afterwards.
                    if (!timer->repeats())
                        timers_.erase(timers_.begin() + static_cast<std::ptrdiff_t>(next.index));
                    work = [timer, now] { timer->runLoopFire(now); };
                    break;
                }
                case Kind::Frame: {
                    FrameEntry& e = frames_[next.index];
                    // A frame missed while the loop was busy or in another mode is not delivered
                    // late in a burst: the observer steps once, at the latest frame.
                    long long index = next.time + kTimeEpsilon >= now
                                          ? e.frame
                                          : std::max(e.frame, frameIndexAtOrBefore(now));
                    e.frame = index + 1;
                    if (e.cadence == FrameCadence::LatestFrame) {
                        e.pending = false;
                        follower = true;
                    }
                    work = [step = e.step, t = frameTime(index)] { (*step)(t); };
                    break;
                }
                case Kind::None:
                    break;
                }
            }
            // What a LatestFrame observer does depends on nothing but the time and what others
            // changed: only their work makes it step again.
            if (!follower)
                markFollowersPending();
        }
        invalid.clear();
        work();
        return true;
    }

    void advanceTo(double target, bool honourStop) {
        startRun();
        while (!(honourStop && consumeStop()) && runOne(target, true)) {
        }
        if (!std::isfinite(target))
            return;
        if (manual_->now() < target)
            manual_->set(target);
        std::lock_guard lock(mutex_);
        advanceLastRun({target, std::numeric_limits<std::uint64_t>::max()});
    }

    // Code outside the loop may have changed anything since the loop last ran: the LatestFrame
    // observers take the next frame.
    void startRun() {
        std::lock_guard lock(mutex_);
        markFollowersPending();
    }

    bool consumeStop() {
        std::lock_guard lock(mutex_);
        bool stop = stopRequested_;
        stopRequested_ = false;
        return stop;
    }

    void runUntilTime(double deadline) {
        if (manual_) {
            // A manual clock jumps from one due item to the next. With nothing left to run, a run
            // without a deadline returns rather than hanging the test that called it.
            advanceTo(deadline, true);
            return;
        }
        for (;;) {
            if (consumeStop())
                return;
            double now = clock_->now();
            if (now + kTimeEpsilon >= deadline) {
                // Work due by the deadline still runs when the deadline has come: a run up to
                // "now" (a window's loop between events) runs what is due now, rather than
                // leaving it for a run that happens to end later.
                while (!consumeStop() && runOne(deadline, false)) {
                }
                return;
            }
            if (runOne(now, false))
                continue;
            std::unique_lock lock(mutex_);
            if (stopRequested_ || !queue_.empty())
                continue;
            Next next = findEarliest();
            double wakeAt = next.kind == Kind::None ? deadline : std::min(next.time, deadline);
            std::uint64_t seen = wakeups_;
            auto woken = [&] { return stopRequested_ || !queue_.empty() || wakeups_ != seen; };
            if (!std::isfinite(wakeAt)) {
                wake_.wait(lock, woken);
                continue;
            }
            double wait = wakeAt - clock_->now();
            if (wait > 0) {
                auto duration =
                    std::chrono::ceil<std::chrono::microseconds>(std::chrono::duration<double>(wait));
                wake_.wait_for(lock, duration, woken);
            }
        }
    }

    const std::shared_ptr<Clock> clock_;
    const std::shared_ptr<ManualClock> manual_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::uint64_t wakeups_ = 0;
    bool stopRequested_ = false;
    std::uint64_t nextSeq_ = 0;
    std::uint64_t nextFrameId_ = 1;
    // The latest place in the run order that the loop has run up to; a LatestFrame observer
    // that skipped frames is, in effect, there too.
    Position lastRun_;
    NSRunLoopMode mode_ = NSDefaultRunLoopMode;
    std::deque<std::function<void()>> queue_;
    std::vector<DelayedTask> tasks_;
    std::vector<TimerEntry> timers_;
    std::vector<FrameEntry> frames_;
};

std::shared_ptr<NSRunLoop> NSRunLoop::installMain(std::shared_ptr<Clock> clock) {
    std::shared_ptr<NSRunLoop> loop;
    if (clock)
        loop = std::make_shared<NSRunLoopImpl>(std::move(clock));
    std::shared_ptr<NSRunLoop> previous;
    {
        MainState& state = mainState();
        std::lock_guard lock(state.mutex);
        previous = std::move(state.loop);
        state.loop = loop;
        state.thread = std::this_thread::get_id();
    }
    if (previous)
        previous->stop();
    return loop;
}

std::shared_ptr<NSRunLoop> NSRunLoop::main() {
    MainState& state = mainState();
    std::lock_guard lock(state.mutex);
    return state.loop;
}

std::shared_ptr<NSRunLoop> NSRunLoop::currentRunLoop() {
    return isMainThread() ? main() : nullptr;
}

bool NSRunLoop::isMainThread() {
    MainState& state = mainState();
    std::lock_guard lock(state.mutex);
    return state.loop && state.thread == std::this_thread::get_id();
}
