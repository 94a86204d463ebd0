#pragma once

// A timer synchronised with the display: once added to a run loop it calls its target once per
// frame, while the loop runs in one of the modes it was added for. The run loop holds the link
// and the link holds its target strongly, as on the platform, until `invalidate`. A paused link
// stays registered but is not stepped, and does not wake the loop.
//
//     auto link = CADisplayLink::displayLinkWithTarget(hud, "updateProgressFromProgressObject");
//     link->addToRunLoop(NSRunLoop::main(), NSDefaultRunLoopMode);  // pauses while tracking
//     ...
//     link->invalidate();
//
// The target's method receives the link as its one argument (an Object value); a method that
// takes no argument ignores it.

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSObject.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CADisplayLink : public NSObject {
    struct Private {};

public:
    using Block = std::function<void(const std::shared_ptr<CADisplayLink>& link)>;

    static std::shared_ptr<CADisplayLink> displayLinkWithTarget(std::shared_ptr<NSObject> target,
                                                                SEL selector);
    static std::shared_ptr<CADisplayLink> displayLinkWithBlock(Block block);

    explicit CADisplayLink(Private) {}

    std::string className() const override { return "CADisplayLink"; }

    // Starts stepping on `loop` in `mode` (common modes: default and tracking). Adding the same
    // loop and mode twice changes nothing; an invalidated link cannot be added again.
    void addToRunLoop(const std::shared_ptr<NSRunLoop>& loop, const NSRunLoopMode& mode);
    void removeFromRunLoop(const std::shared_ptr<NSRunLoop>& loop, const NSRunLoopMode& mode);
    // Removes the link from every run loop and releases its target. Safe from its own callback.
    void invalidate();
    bool isValid() const { return valid_; }

    bool isPaused() const { return paused_; }
    void setPaused(bool paused);

    // The time of the frame being (or last) shown, on the run loop's clock; 0 before the first.
    double timestamp() const { return timestamp_; }
    double targetTimestamp() const { return timestamp_ + duration(); }
    double duration() const { return NSRunLoop::kFrameInterval; }

private:
    struct Registration {
        std::weak_ptr<NSRunLoop> loop;
        NSRunLoopMode mode;
        FrameSubscription subscription;
    };

    void subscribe(Registration& registration);
    void step(double now);

    std::shared_ptr<NSObject> target_;
    SEL selector_;
    Block block_;
    std::vector<Registration> registrations_;
    // While paused the loop holds no observer for the link, so the link keeps itself alive
    // instead, as the run loop would keep a paused link on the platform.
    std::shared_ptr<CADisplayLink> selfWhilePaused_;
    bool paused_ = false;
    bool valid_ = true;
    double timestamp_ = 0;
};
