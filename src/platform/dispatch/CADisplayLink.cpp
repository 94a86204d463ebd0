#include "platform/dispatch/CADisplayLink.h"

#include <algorithm>

std::shared_ptr<CADisplayLink> CADisplayLink::displayLinkWithTarget(std::shared_ptr<NSObject> target,
                                                                    SEL selector) {
    auto link = std::make_shared<CADisplayLink>(Private{});
    link->target_ = std::move(target);
    link->selector_ = std::move(selector);
    return link;
}

std::shared_ptr<CADisplayLink> CADisplayLink::displayLinkWithBlock(Block block) {
    auto link = std::make_shared<CADisplayLink>(Private{});
    link->block_ = std::move(block);
    return link;
}

void CADisplayLink::addToRunLoop(const std::shared_ptr<NSRunLoop>& loop, const NSRunLoopMode& mode) {
    if (!valid_ || !loop)
        return;
    bool known = std::any_of(registrations_.begin(), registrations_.end(),
                             [&](const Registration& r) { return r.mode == mode && r.loop.lock() == loop; });
    if (known)
        return;
    registrations_.push_back({loop, mode, {}});
    if (paused_)
        selfWhilePaused_ = std::static_pointer_cast<CADisplayLink>(shared_from_this());
    else
        subscribe(registrations_.back());
}

void CADisplayLink::removeFromRunLoop(const std::shared_ptr<NSRunLoop>& loop, const NSRunLoopMode& mode) {
    // The loop's observer may hold the last reference to this link.
    auto self = shared_from_this();
    auto it = std::find_if(registrations_.begin(), registrations_.end(),
                           [&](const Registration& r) { return r.mode == mode && r.loop.lock() == loop; });
    if (it == registrations_.end())
        return;
    Registration removed = std::move(*it);
    registrations_.erase(it);
    if (registrations_.empty())
        selfWhilePaused_.reset();
}

void CADisplayLink::invalidate() {
    auto self = shared_from_this();
    if (!valid_)
        return;
    valid_ = false;
    auto registrations = std::move(registrations_);
    auto selfWhilePaused = std::move(selfWhilePaused_);
    auto target = std::move(target_);
    auto block = std::move(block_);
    registrations_.clear();
    target_ = nullptr;
    block_ = nullptr;
}

void CADisplayLink::setPaused(bool paused) {
    if (paused == paused_)
        return;
    auto self = std::static_pointer_cast<CADisplayLink>(shared_from_this());
    paused_ = paused;
    if (!valid_)
        return;
    if (paused) {
        if (!registrations_.empty())
            selfWhilePaused_ = self;
        for (Registration& r : registrations_)
            r.subscription.reset();
        return;
    }
    for (Registration& r : registrations_)
        subscribe(r);
    selfWhilePaused_.reset();
}

void CADisplayLink::subscribe(Registration& registration) {
    auto loop = registration.loop.lock();
    if (!loop)
        return;
    auto self = std::static_pointer_cast<CADisplayLink>(shared_from_this());
    registration.subscription =
        loop->addFrameObserver([self](double now) { self->step(now); }, registration.mode);
}

void CADisplayLink::step(double now) {
    if (!valid_ || paused_)
        return;
    timestamp_ = now;
    // Copies, so that the callback may invalidate the link (dropping target and block) safely.
    auto self = std::static_pointer_cast<CADisplayLink>(shared_from_this());
    if (auto block = block_) {
        block(self);
        return;
    }
    if (auto target = target_)
        target->performSelector(selector_, {PlistValue(std::static_pointer_cast<NSObject>(self))});
}
