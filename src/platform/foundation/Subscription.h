#pragma once

// A registration held by whoever made it: destroying the handle (or calling reset) cancels it, so
// a callback cannot outlive the object that registered it. Every registration of the platform
// layer hands one back: frame observers, log sinks, notification observers, URL and respring
// handlers, delayed tasks.
//
//     class Watcher {
//         Subscription onLog_ = NSLogAddSink([this](const std::string& line) { seen(line); });
//     };  // the sink goes with the watcher
//
// A handle is move-only. Cancelling is idempotent; the cancel step runs at most once, on the
// thread that resets or destroys the handle.

#include <functional>
#include <utility>

class [[nodiscard]] Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription&& o) noexcept : cancel_(std::exchange(o.cancel_, nullptr)) {}
    Subscription& operator=(Subscription&& o) noexcept {
        if (this != &o) {
            reset();
            cancel_ = std::exchange(o.cancel_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    // Cancels the registration now.
    void reset() {
        if (auto c = std::exchange(cancel_, nullptr))
            c();
    }
    // Keeps the registration for the rest of its registry's life: the handle no longer cancels.
    void release() { cancel_ = nullptr; }
    explicit operator bool() const { return static_cast<bool>(cancel_); }

private:
    std::function<void()> cancel_;
};
