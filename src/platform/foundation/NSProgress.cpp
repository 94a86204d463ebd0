#include "platform/foundation/NSProgress.h"

#include <algorithm>

std::shared_ptr<NSProgress> NSProgress::progressWithTotalUnitCount(std::int64_t unitCount) {
    return std::make_shared<NSProgress>(Private{}, unitCount);
}

std::shared_ptr<NSProgress> NSProgress::progressWithTotalUnitCount(std::int64_t unitCount,
                                                                   const std::shared_ptr<NSProgress>& parent,
                                                                   std::int64_t pendingUnitCount) {
    auto p = progressWithTotalUnitCount(unitCount);
    if (parent)
        parent->addChild(p, pendingUnitCount);
    return p;
}

std::int64_t NSProgress::totalUnitCount() const {
    std::lock_guard lock(mutex_);
    return total_;
}

void NSProgress::setTotalUnitCount(std::int64_t count) {
    {
        std::lock_guard lock(mutex_);
        if (total_ == count)
            return;
        total_ = count;
    }
    changed();
}

std::int64_t NSProgress::completedUnitCount() const {
    std::lock_guard lock(mutex_);
    return completed_;
}

void NSProgress::setCompletedUnitCount(std::int64_t count) {
    {
        std::lock_guard lock(mutex_);
        if (completed_ == count)
            return;
        completed_ = count;
    }
    changed();
}

double NSProgress::fractionCompleted() const {
    std::lock_guard lock(mutex_);
    if (total_ <= 0)
        return 0;
    double done = static_cast<double>(std::max<std::int64_t>(completed_, 0));
    for (const auto& c : children_) {
        // A finished child counts its units whole even when its own fraction rounds below 1.
        double share = c.progress->isFinished() ? 1.0 : std::max(0.0, c.progress->fractionCompleted());
        done += share * static_cast<double>(c.pending);
    }
    return done / static_cast<double>(total_);
}

bool NSProgress::isIndeterminate() const {
    std::lock_guard lock(mutex_);
    return total_ < 0 || completed_ < 0;
}

bool NSProgress::isFinished() const {
    std::lock_guard lock(mutex_);
    return total_ > 0 && completed_ >= total_;
}

void NSProgress::addChild(const std::shared_ptr<NSProgress>& child, std::int64_t pendingUnitCount) {
    if (!child || child.get() == this)
        return;
    {
        std::lock_guard lock(mutex_);
        children_.push_back(Child{child, pendingUnitCount});
    }
    {
        std::lock_guard lock(child->mutex_);
        child->parent_ = std::static_pointer_cast<NSProgress>(shared_from_this());
    }
    changed();
}

void NSProgress::setFractionCompletedHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void NSProgress::changed() {
    Handler handler;
    std::shared_ptr<NSProgress> parent;
    {
        std::lock_guard lock(mutex_);
        handler = handler_;
        parent = parent_.lock();
    }
    // Called outside the lock, so a handler may read this object (or set it again) freely.
    if (handler)
        handler(fractionCompleted());
    if (parent)
        parent->changed();
}
