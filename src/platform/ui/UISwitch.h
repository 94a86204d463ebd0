#pragma once

// An on/off switch (UIKit's UISwitch) in the iOS Settings look: a 51 x 31 point rounded track,
// green when on and white with a grey rim when off, and a white round thumb that slides to the
// side of the state. A tap flips it and sends UIControlEventValueChanged; so does dragging the
// thumb across and letting go on the other side.
//
//     auto toggle = UISwitch::create();
//     toggle->setOn(true, false);
//     toggle->addAction([](UIControl& c) { ... }, UIControlEventValueChanged);

#include "platform/ui/UIControl.h"
#include "platform/ui/UITouchResponder.h"

#include <memory>
#include <optional>

class UISwitch : public UIControl, public UITouchResponder {
public:
    static constexpr CGFloat kWidth = 51;
    static constexpr CGFloat kHeight = 31;
    static UIColor defaultOnTintColor() { return UIColor::systemGreenColor(); }

    // The frame's size is ignored: a switch is always 51 x 31 points.
    static std::shared_ptr<UISwitch> create(CGRect frame = CGRectZero);

    std::string className() const override { return "UISwitch"; }

    bool isOn() const { return on_; }
    void setOn(bool on) { setOn(on, false); }
    // With `animated` the thumb slides and the track's colour fades over a quarter second.
    void setOn(bool on, bool animated);
    UIColor onTintColor() const { return onTint_.value_or(defaultOnTintColor()); }
    void setOnTintColor(std::optional<UIColor> color);

    const std::shared_ptr<UIView>& thumbView() const { return thumb_; }

    void setFrame(CGRect frame) override;
    CGSize sizeThatFits(CGSize) const override { return CGSizeMake(kWidth, kHeight); }
    void setEnabled(bool enabled) override;
    std::string accessibilityText() const override { return on_ ? "1" : "0"; }

    bool touchBegan(CGPoint p) override;
    void touchMoved(CGPoint p) override;
    void touchEnded(CGPoint p) override;
    void touchCancelled() override;

protected:
    explicit UISwitch(CGRect frame) : UIControl(frame) {}
    void commonInit() override;

private:
    void applyState();

    bool on_ = false;
    std::optional<UIColor> onTint_;
    std::shared_ptr<UIView> thumb_;
    CGPoint touchStart_{};
    bool dragged_ = false;
};
