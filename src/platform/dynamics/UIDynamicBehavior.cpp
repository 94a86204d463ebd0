#include "platform/dynamics/UIDynamicBehavior.h"

#include "platform/dynamics/UIDynamicAnimator.h"

std::size_t UIDynamicItemList::find(const UIView* item) const {
    if (entries_.size() < kIndexFrom) {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].item.get() == item)
                return i;
        }
        return entries_.size();
    }
    auto it = index_.find(item);
    return it == index_.end() ? entries_.size() : it->second;
}

bool UIDynamicItemList::add(const std::shared_ptr<UIView>& item) {
    if (!item || find(item.get()) != entries_.size())
        return false;
    entries_.push_back({item, kNoBody, {}});
    if (entries_.size() == kIndexFrom) {
        for (std::size_t i = 0; i < entries_.size(); ++i)
            index_[entries_[i].item.get()] = i;
    } else if (entries_.size() > kIndexFrom) {
        index_[item.get()] = entries_.size() - 1;
    }
    return true;
}

bool UIDynamicItemList::remove(const UIView* item, std::shared_ptr<UIView>& removed, std::uint32_t& body) {
    std::size_t i = find(item);
    if (i == entries_.size())
        return false;
    bool indexed = entries_.size() >= kIndexFrom;
    removed = std::move(entries_[i].item);
    body = entries_[i].body;
    std::size_t last = entries_.size() - 1;
    if (i != last) {
        entries_[i] = std::move(entries_[last]);
        if (indexed)
            index_[entries_[i].item.get()] = i;
    }
    entries_.pop_back();
    if (indexed)
        index_.erase(item);
    if (entries_.size() < kIndexFrom)
        index_.clear();
    return true;
}

std::vector<std::shared_ptr<UIView>> UIDynamicItemList::items() const {
    std::vector<std::shared_ptr<UIView>> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_)
        out.push_back(e.item);
    return out;
}

void UIDynamicBehavior::setAction(Action action) {
    if (runningAction_) {
        replacement_ = std::move(action);
        actionReplaced_ = true;
        return;
    }
    action_ = std::move(action);
}

void UIDynamicBehavior::runAction() {
    if (!action_)
        return;
    runningAction_ = true;
    action_();
    runningAction_ = false;
    if (actionReplaced_) {
        actionReplaced_ = false;
        action_ = std::move(replacement_);
        replacement_ = nullptr;
    }
}

bool UIDynamicBehavior::addItemToList(const std::shared_ptr<UIView>& item) {
    if (!items_.add(item))
        return false;
    if (attached_) {
        std::size_t i = items_.size() - 1;
        std::uint32_t body = attached_->retainBody(item);
        items_.setBody(i, body);
        applyTo(i, body);
    }
    return true;
}

bool UIDynamicBehavior::removeItemFromList(const std::shared_ptr<UIView>& item) {
    if (!item)
        return false;
    std::shared_ptr<UIView> removed;
    std::uint32_t body = UIDynamicItemList::kNoBody;
    std::size_t i = items_.find(item.get());
    if (i == items_.size())
        return false;
    if (attached_ && items_.body(i) != UIDynamicItemList::kNoBody)
        withdrawFrom(i, items_.body(i));
    items_.remove(item.get(), removed, body);
    if (attached_ && body != UIDynamicItemList::kNoBody)
        attached_->releaseBody(body);
    return true;
}

std::uint32_t UIDynamicBehavior::bodyOf(const UIView* item) const {
    std::size_t i = items_.find(item);
    return i == items_.size() ? UIDynamicItemList::kNoBody : items_.body(i);
}

void UIDynamicBehavior::attach(const std::shared_ptr<UIDynamicAnimator>& animator) {
    animator_ = animator;
    attached_ = animator.get();
    for (std::size_t i = 0; i < items_.size(); ++i) {
        std::uint32_t body = attached_->retainBody(items_.item(i));
        items_.setBody(i, body);
        applyTo(i, body);
    }
}

void UIDynamicBehavior::detach(bool animatorAlive) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        std::uint32_t body = items_.body(i);
        items_.setBody(i, UIDynamicItemList::kNoBody);
        if (animatorAlive && attached_ && body != UIDynamicItemList::kNoBody) {
            withdrawFrom(i, body);
            attached_->releaseBody(body);
        }
    }
    animator_.reset();
    attached_ = nullptr;
}
