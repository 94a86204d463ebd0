#pragma once

// A view that turns touches into actions (UIKit's UIControl): its state (highlighted, selected,
// enabled) and the targets and actions registered for control events.
//
//     button->addTarget(self, "cancel:", UIControlEventTouchUpInside);
//     button->sendActionsForControlEvents(UIControlEventTouchUpInside);
//
// Targets are held weakly, as the platform does; an action whose target has gone is skipped.

#include "platform/ui/UIView.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

using UIControlState = std::uint64_t;
inline constexpr UIControlState UIControlStateNormal = 0;
inline constexpr UIControlState UIControlStateHighlighted = 1 << 0;
inline constexpr UIControlState UIControlStateDisabled = 1 << 1;
inline constexpr UIControlState UIControlStateSelected = 1 << 2;

using UIControlEvents = std::uint64_t;
inline constexpr UIControlEvents UIControlEventTouchDown = 1 << 0;
inline constexpr UIControlEvents UIControlEventTouchUpInside = 1 << 6;
inline constexpr UIControlEvents UIControlEventValueChanged = 1 << 12;
inline constexpr UIControlEvents UIControlEventAllEvents = 0xFFFFFFFF;

class UIControl : public UIView {
public:
    static std::shared_ptr<UIControl> create(CGRect frame = CGRectZero);

    std::string className() const override { return "UIControl"; }

    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    UIControlState state() const;

    // The target receives `action` with the control as its argument. A null target with an action
    // selector is kept too (on the platform it goes up the responder chain; here it is dropped
    // when sent).
    void addTarget(const std::shared_ptr<NSObject>& target, SEL action, UIControlEvents events);
    void removeTarget(const NSObject* target, const SEL& action, UIControlEvents events);
    using Action = std::function<void(UIControl& sender)>;
    void addAction(Action action, UIControlEvents events);
    // The events for which anything is registered (0 when nothing is).
    UIControlEvents allControlEvents() const;
    void sendActionsForControlEvents(UIControlEvents events);

    // A tap: highlight, touch up inside, unhighlight. What the simulator does for a click.
    void simulateTap();

protected:
    explicit UIControl(CGRect frame) : UIView(frame) {}

private:
    struct Entry {
        std::weak_ptr<NSObject> target;
        bool hasTarget;
        SEL action;
        Action block;
        UIControlEvents events;
    };
    std::vector<Entry> entries_;
    bool highlighted_ = false;
    bool selected_ = false;
    bool enabled_ = true;
};
