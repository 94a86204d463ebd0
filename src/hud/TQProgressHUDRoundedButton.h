#pragma once

// The HUD's optional button: a pill-shaped outline button whose 1-point border takes the last
// title colour set, with a faint fill of the selected-state title colour while highlighted. It
// has no size of its own until an action is attached, so an unused button takes no room.

#include "platform/ui/UIButton.h"

#include <memory>

class TQProgressHUDRoundedButton : public UIButton {
public:
    static std::shared_ptr<TQProgressHUDRoundedButton> buttonWithType(std::int64_t type);
    static std::shared_ptr<TQProgressHUDRoundedButton> create(CGRect frame = CGRectZero);

    std::string className() const override { return "TQProgressHUDRoundedButton"; }

    void layoutSubviews() override;
    CGSize intrinsicContentSize() const override;
    void setTitleColor(std::optional<UIColor> color, UIControlState state) override;
    void setHighlighted(bool highlighted) override;

protected:
    explicit TQProgressHUDRoundedButton(CGRect frame) : UIButton(frame) {}
    void commonInit() override;
};
