#include "platform/ui/UIControl.h"

#include <algorithm>

std::shared_ptr<UIControl> UIControl::create(CGRect frame) {
    auto v = std::shared_ptr<UIControl>(new UIControl(frame));
    v->commonInit();
    return v;
}

void UIControl::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    markDisplayChanged();
}

void UIControl::setSelected(bool selected) {
    selected_ = selected;
    markDisplayChanged();
}

void UIControl::setEnabled(bool enabled) {
    enabled_ = enabled;
    markDisplayChanged();
}

UIControlState UIControl::state() const {
    UIControlState s = UIControlStateNormal;
    if (highlighted_)
        s |= UIControlStateHighlighted;
    if (!enabled_)
        s |= UIControlStateDisabled;
    if (selected_)
        s |= UIControlStateSelected;
    return s;
}

void UIControl::addTarget(const std::shared_ptr<NSObject>& target, SEL action, UIControlEvents events) {
    if (action.empty() || events == 0)
        return;
    entries_.push_back(Entry{target, static_cast<bool>(target), std::move(action), nullptr, events});
}

void UIControl::removeTarget(const NSObject* target, const SEL& action, UIControlEvents events) {
    for (auto& e : entries_) {
        if ((!target || e.target.lock().get() == target) && (action.empty() || e.action == action))
            e.events &= ~events;
    }
    std::erase_if(entries_, [](const Entry& e) { return e.events == 0; });
}

void UIControl::addAction(Action action, UIControlEvents events) {
    if (!action || events == 0)
        return;
    entries_.push_back(Entry{{}, false, {}, std::move(action), events});
}

UIControlEvents UIControl::allControlEvents() const {
    UIControlEvents all = 0;
    for (const auto& e : entries_)
        all |= e.events;
    return all;
}

void UIControl::sendActionsForControlEvents(UIControlEvents events) {
    // A copy, so an action may add or remove actions while they are sent.
    auto entries = entries_;
    auto self = std::static_pointer_cast<UIControl>(shared_from_this());
    for (const auto& e : entries) {
        if (!(e.events & events))
            continue;
        if (e.block) {
            e.block(*self);
        } else if (auto target = e.target.lock()) {
            target->performSelector(e.action, {PlistValue(std::static_pointer_cast<NSObject>(self))});
        }
    }
}

void UIControl::simulateTap() {
    if (!enabled_)
        return;
    setHighlighted(true);
    sendActionsForControlEvents(UIControlEventTouchDown);
    setHighlighted(false);
    sendActionsForControlEvents(UIControlEventTouchUpInside);
}
