#include "platform/dynamics/UIDynamicAnimator.h"

#include <algorithm>
#include <cmath>

namespace {
// A frame that arrives late catches up with at most this many steps.
constexpr int kMaxStepsPerFrame = 4;
} // namespace

std::uint32_t UIDynamicAnimator::Bodies::retain(const std::shared_ptr<UIView>& item) {
    if (auto found = find(item.get()); found != UIDynamicItemList::kNoBody) {
        ++uses[dense_[found]];
        return found;
    }
    std::uint32_t handle;
    if (!freeHandles_.empty()) {
        handle = freeHandles_.back();
        freeHandles_.pop_back();
    } else {
        handle = static_cast<std::uint32_t>(dense_.size());
        dense_.push_back(0);
    }
    CGPoint c = item->center();
    dense_[handle] = static_cast<std::uint32_t>(view.size());
    x.push_back(c.x);
    y.push_back(c.y);
    vx.push_back(0);
    vy.push_back(0);
    ax.push_back(0);
    ay.push_back(0);
    resistance.push_back(0);
    uses.push_back(1);
    handleOfRow.push_back(handle);
    view.push_back(item);
    byView_.emplace(item.get(), handle);
    return handle;
}

void UIDynamicAnimator::Bodies::release(std::uint32_t handle) {
    std::size_t r = dense_[handle];
    if (--uses[r] > 0)
        return;
    byView_.erase(view[r].get());
    std::size_t last = view.size() - 1;
    if (r != last) {
        x[r] = x[last], y[r] = y[last], vx[r] = vx[last], vy[r] = vy[last];
        ax[r] = ax[last], ay[r] = ay[last], resistance[r] = resistance[last];
        uses[r] = uses[last];
        handleOfRow[r] = handleOfRow[last];
        view[r] = std::move(view[last]);
        dense_[handleOfRow[r]] = static_cast<std::uint32_t>(r);
    }
    x.pop_back(), y.pop_back(), vx.pop_back(), vy.pop_back();
    ax.pop_back(), ay.pop_back(), resistance.pop_back();
    uses.pop_back(), handleOfRow.pop_back(), view.pop_back();
    freeHandles_.push_back(handle);
}

std::uint32_t UIDynamicAnimator::Bodies::find(const UIView* item) const {
    auto it = byView_.find(item);
    return it == byView_.end() ? UIDynamicItemList::kNoBody : it->second;
}

std::shared_ptr<UIDynamicAnimator> UIDynamicAnimator::create(const std::shared_ptr<UIView>& referenceView) {
    auto animator = std::shared_ptr<UIDynamicAnimator>(new UIDynamicAnimator());
    animator->referenceView_ = referenceView;
    return animator;
}

UIDynamicAnimator::~UIDynamicAnimator() {
    // The behaviours may outlive the animator (a piece keeps its own); they forget it, and their
    // bodies go with it.
    for (auto& b : behaviors_) {
        if (b)
            b->detach(false);
    }
}

void UIDynamicAnimator::addBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior) {
    if (!behavior || behavior->attached_ == this)
        return;
    if (auto other = behavior->dynamicAnimator())
        other->removeBehavior(behavior);
    behavior->slot_ = behaviors_.size();
    behaviors_.push_back(behavior);
    ++behaviorCount_;
    behavior->attach(std::static_pointer_cast<UIDynamicAnimator>(shared_from_this()));
    updateSubscription();
}

void UIDynamicAnimator::removeBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior) {
    if (!behavior || behavior->attached_ != this)
        return;
    std::size_t slot = behavior->slot_;
    behavior->detach(true);
    // The slot is emptied, not erased: a step in progress indexes the list, and removals are
    // squeezed out in one pass afterwards. A behaviour removed during a step lives until the step
    // ends, since its own action may be what removed it.
    if (stepping_)
        removedDuringStep_.push_back(std::move(behaviors_[slot]));
    behaviors_[slot].reset();
    --behaviorCount_;
    hasHoles_ = true;
    if (!stepping_)
        updateSubscription();
}

void UIDynamicAnimator::removeAllBehaviors() {
    for (const auto& b : behaviors()) // a copy: removal empties the slots
        removeBehavior(b);
}

std::vector<std::shared_ptr<UIDynamicBehavior>> UIDynamicAnimator::behaviors() const {
    std::vector<std::shared_ptr<UIDynamicBehavior>> out;
    out.reserve(behaviorCount_);
    for (const auto& b : behaviors_) {
        if (b)
            out.push_back(b);
    }
    return out;
}

void UIDynamicAnimator::compact() {
    if (!hasHoles_ || stepping_)
        return;
    std::size_t to = 0;
    for (std::size_t from = 0; from < behaviors_.size(); ++from) {
        if (!behaviors_[from])
            continue;
        if (to != from)
            behaviors_[to] = std::move(behaviors_[from]);
        behaviors_[to]->slot_ = to;
        ++to;
    }
    behaviors_.resize(to);
    hasHoles_ = false;
}

void UIDynamicAnimator::updateItemUsingCurrentState(const UIView& item) {
    std::uint32_t handle = bodies_.find(&item);
    if (handle == UIDynamicItemList::kNoBody)
        return;
    std::size_t r = bodies_.row(handle);
    bodies_.x[r] = item.center().x;
    bodies_.y[r] = item.center().y;
}

std::uint32_t UIDynamicAnimator::retainBody(const std::shared_ptr<UIView>& item) {
    std::uint32_t handle = bodies_.retain(item);
    if (!stepping_)
        updateSubscription();
    return handle;
}

void UIDynamicAnimator::releaseBody(std::uint32_t handle) {
    bodies_.release(handle);
    if (!stepping_)
        updateSubscription();
}

void UIDynamicAnimator::updateSubscription() {
    bool wanted = bodies_.count() > 0;
    if (!wanted) {
        frames_.reset();
        return;
    }
    if (frames_)
        return;
    auto loop = NSRunLoop::main();
    if (!loop)
        return;
    // The first frame after the simulation starts steps once, however soon it comes.
    firstFrame_ = true;
    std::weak_ptr<UIDynamicAnimator> weak = std::static_pointer_cast<UIDynamicAnimator>(shared_from_this());
    frames_ = loop->addFrameObserver([weak](double now) {
        if (auto self = weak.lock())
            self->onFrame(now);
    });
}

void UIDynamicAnimator::onFrame(double now) {
    pending_ = firstFrame_ ? kStepInterval : pending_ + std::max(0.0, now - lastFrame_);
    firstFrame_ = false;
    lastFrame_ = now;
    // A hair of tolerance, so frames on the 1/60 s grid step exactly once each.
    constexpr double kSlack = 1e-9;
    int steps = 0;
    while (pending_ + kSlack >= kStepInterval && steps < kMaxStepsPerFrame && bodies_.count() > 0) {
        step(kStepInterval);
        pending_ -= kStepInterval;
        ++steps;
    }
    if (steps == kMaxStepsPerFrame)
        pending_ = 0; // the rest is dropped, not simulated in a burst
    pending_ = std::max(pending_, 0.0);
}

void UIDynamicAnimator::step(double dt) {
    if (!(dt > 0) || !std::isfinite(dt))
        return;
    // An action may drop the last outside reference to this animator.
    auto self = shared_from_this();
    compact();

    const std::size_t n = bodies_.count();
    double* x = bodies_.x.data();
    double* y = bodies_.y.data();
    double* vx = bodies_.vx.data();
    double* vy = bodies_.vy.data();
    const double* ax = bodies_.ax.data();
    const double* ay = bodies_.ay.data();
    const double* resistance = bodies_.resistance.data();
    for (std::size_t i = 0; i < n; ++i) {
        double damping = 1.0 / (1.0 + resistance[i] * dt);
        vx[i] = (vx[i] + ax[i] * dt) * damping;
        vy[i] = (vy[i] + ay[i] * dt) * damping;
        x[i] += vx[i] * dt;
        y[i] += vy[i] * dt;
    }
    for (std::size_t i = 0; i < n; ++i)
        bodies_.view[i]->setCenter({x[i], y[i]});

    stepping_ = true;
    const std::size_t count = behaviors_.size(); // added during the step: from the next one on
    for (std::size_t i = 0; i < count; ++i) {
        UIDynamicBehavior* b = behaviors_[i].get();
        if (b && b->action_)
            b->runAction();
    }
    stepping_ = false;
    removedDuringStep_.clear();
    compact();
    updateSubscription();
}
