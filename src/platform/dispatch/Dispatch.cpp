#include "platform/dispatch/Dispatch.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSLog.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// The global concurrent queue: a fixed pool of worker threads, started by the first task and
// joined when the process exits. Tasks still queued at exit are run; delayed ones not yet due
// are dropped.
class WorkerPool {
public:
    ~WorkerPool() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        work_.notify_all();
        timer_.notify_all();
        for (auto& t : threads_)
            t.join();
        if (delayThread_.joinable())
            delayThread_.join();
    }

    void async(std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            startWorkers();
            tasks_.push_back(std::move(task));
            ++pending_;
        }
        work_.notify_one();
    }

    // Hands `task` to the pool at `time` (real-clock seconds). Used only when there is no main
    // run loop whose clock would otherwise time the hand-off.
    void asyncAt(double time, std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            if (!delayThread_.joinable())
                delayThread_ = std::thread([this] { delayLoop(); });
            delayed_.push_back({time, std::move(task)});
        }
        timer_.notify_one();
    }

    void drain() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [&] { return pending_ == 0; });
    }

private:
    struct Delayed {
        double time;
        std::function<void()> task;
    };

    void startWorkers() {
        if (!threads_.empty())
            return;
        unsigned count = std::max(2u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < count; ++i)
            threads_.emplace_back([this] { workerLoop(); });
    }

    void workerLoop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty())
                return;
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            task = nullptr; // whatever the task captured is released off the lock, too
            lock.lock();
            if (--pending_ == 0)
                idle_.notify_all();
        }
    }

    void delayLoop() {
        RealClock clock;
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            double now = clock.now();
            auto due = std::stable_partition(delayed_.begin(), delayed_.end(),
                                             [&](const Delayed& d) { return d.time > now; });
            std::vector<Delayed> ready(std::make_move_iterator(due), std::make_move_iterator(delayed_.end()));
            delayed_.erase(due, delayed_.end());
            if (!ready.empty()) {
                lock.unlock();
                for (auto& d : ready)
                    async(std::move(d.task));
                ready.clear();
                lock.lock();
                continue;
            }
            if (delayed_.empty()) {
                timer_.wait(lock);
                continue;
            }
            double next =
                std::min_element(delayed_.begin(), delayed_.end(), [](const auto& a, const auto& b) {
                    return a.time < b.time;
                })->time;
            timer_.wait_for(lock, std::chrono::ceil<std::chrono::microseconds>(
                                      std::chrono::duration<double>(std::max(0.0, next - now))));
        }
    }

    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::condition_variable timer_;
    std::deque<std::function<void()>> tasks_;
    std::vector<Delayed> delayed_;
    std::vector<std::thread> threads_;
    std::thread delayThread_;
    std::size_t pending_ = 0;
    bool stopping_ = false;
};

WorkerPool& pool() {
    static WorkerPool p;
    return p;
}

class MainQueue final : public DispatchQueue {
public:
    void async(std::function<void()> task) override {
        if (auto loop = NSRunLoop::main()) {
            loop->enqueue(std::move(task));
            return;
        }
        NSLog("*** dispatch to the main queue with no main run loop installed; the block is dropped");
    }
    bool isMain() const override { return true; }
};

class GlobalQueue final : public DispatchQueue {
public:
    void async(std::function<void()> task) override { pool().async(std::move(task)); }
    bool isMain() const override { return false; }
};

// Nanoseconds on the main run loop's clock (the real clock when none is installed).
dispatch_time_t nowNanoseconds() {
    auto loop = NSRunLoop::main();
    double seconds = loop ? loop->now() : RealClock().now();
    return static_cast<dispatch_time_t>(std::llround(std::max(0.0, seconds) * 1e9));
}

double toSeconds(dispatch_time_t when) {
    return static_cast<double>(when) / 1e9;
}

} // namespace

dispatch_queue_t dispatch_get_main_queue() {
    static const dispatch_queue_t queue = std::make_shared<MainQueue>();
    return queue;
}

dispatch_queue_t dispatch_get_global_queue(long /*priority*/, unsigned long /*flags*/) {
    // Every priority shares the one pool: nothing in the system relies on priorities.
    static const dispatch_queue_t queue = std::make_shared<GlobalQueue>();
    return queue;
}

dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta) {
    if (when == DISPATCH_TIME_FOREVER)
        return DISPATCH_TIME_FOREVER;
    dispatch_time_t base = when == DISPATCH_TIME_NOW ? nowNanoseconds() : when;
    if (delta < 0) {
        auto back = static_cast<dispatch_time_t>(-(delta + 1)) + 1;
        return back >= base ? DISPATCH_TIME_NOW : base - back;
    }
    auto forward = static_cast<dispatch_time_t>(delta);
    return forward >= DISPATCH_TIME_FOREVER - base ? DISPATCH_TIME_FOREVER : base + forward;
}

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block) {
    if (!queue || !block) {
        NSLog("*** dispatch_async with no queue or no block; nothing is run");
        return;
    }
    queue->async(std::move(block));
}

void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block) {
    if (!queue || !block) {
        NSLog("*** dispatch_after with no queue or no block; nothing is run");
        return;
    }
    if (when == DISPATCH_TIME_FOREVER)
        return;
    if (when == DISPATCH_TIME_NOW) {
        queue->async(std::move(block));
        return;
    }
    auto loop = NSRunLoop::main();
    if (queue->isMain()) {
        if (!loop) {
            NSLog("*** dispatch to the main queue with no main run loop installed; the block is dropped");
            return;
        }
        // A dispatch_after gives nothing to cancel it by, as on the platform: the loop keeps it.
        loop->enqueueAt(toSeconds(when), std::move(block)).release();
        return;
    }
    // Another queue's delayed block is timed by the main run loop's clock, so it follows a
    // manual clock in tests, and handed over to its queue when due.
    auto handOff = [queue, block = std::move(block)]() mutable { queue->async(std::move(block)); };
    if (loop)
        loop->enqueueAt(toSeconds(when), std::move(handOff)).release();
    else
        pool().asyncAt(toSeconds(when), std::move(handOff));
}

void dispatch_global_queue_drain_for_testing() {
    pool().drain();
}
