#pragma once

// A button of a navigation bar (UIBarButtonItem) made with a title: its style and a target/action
// pair. The target is held weakly, as UIKit does; a tap sends the action to the target with the
// item as sender (UIApplication::sendAction).
//
//     auto item = UIBarButtonItem::create("Respring", UIBarButtonItemStylePlain, self, "confirmRespring:");
//     navigationItem()->setRightBarButtonItem(item);

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <string>

enum UIBarButtonItemStyle : std::int64_t {
    UIBarButtonItemStylePlain = 0,
    UIBarButtonItemStyleBordered = 1,
    UIBarButtonItemStyleDone = 2,
};

class UIBarButtonItem : public NSObject {
public:
    // initWithTitle:style:target:action:
    static std::shared_ptr<UIBarButtonItem> create(std::string title, UIBarButtonItemStyle style,
                                                   const std::shared_ptr<NSObject>& target, SEL action);

    std::string className() const override { return "UIBarButtonItem"; }

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    UIBarButtonItemStyle style() const { return style_; }
    void setStyle(UIBarButtonItemStyle style) { style_ = style; }
    std::shared_ptr<NSObject> target() const { return target_.lock(); }
    void setTarget(const std::shared_ptr<NSObject>& target) { target_ = target; }
    const SEL& action() const { return action_; }
    void setAction(SEL action) { action_ = std::move(action); }

protected:
    UIBarButtonItem() = default;

private:
    std::string title_;
    UIBarButtonItemStyle style_ = UIBarButtonItemStylePlain;
    std::weak_ptr<NSObject> target_;
    SEL action_;
};
