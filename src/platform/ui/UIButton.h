#pragma once

// A push button (UIKit's UIButton): a title per control state in a title label, with a title
// colour per state. A state without its own title or colour shows the normal state's.
//
//     auto b = UIButton::buttonWithType(UIButtonTypeCustom);
//     b->setTitle("Cancel", UIControlStateNormal);
//     b->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
//     b->addTarget(self, "cancel:", UIControlEventTouchUpInside);

#include "platform/ui/UIControl.h"
#include "platform/ui/UILabel.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

enum UIButtonType : std::int64_t { UIButtonTypeCustom = 0, UIButtonTypeSystem = 1 };

class UIButton : public UIControl {
public:
    static std::shared_ptr<UIButton> buttonWithType(std::int64_t type);
    static std::shared_ptr<UIButton> create(CGRect frame = CGRectZero);

    std::string className() const override { return "UIButton"; }
    std::int64_t buttonType() const { return type_; }

    const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }
    void setTitle(std::optional<std::string> title, UIControlState state);
    std::optional<std::string> titleForState(UIControlState state) const;
    std::optional<std::string> currentTitle() const { return titleForState(state()); }
    virtual void setTitleColor(std::optional<UIColor> color, UIControlState state);
    // The colour for the state, else the normal state's, else the type's default.
    UIColor titleColorForState(UIControlState state) const;

    void setHighlighted(bool highlighted) override;
    void setSelected(bool selected) override;
    void setEnabled(bool enabled) override;

    // The title's size (0 x 0 without a title), as a custom button measures itself.
    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize /*size*/) const override { return intrinsicContentSize(); }
    void layoutSubviews() override;
    std::string accessibilityText() const override { return currentTitle().value_or(""); }

protected:
    explicit UIButton(CGRect frame) : UIControl(frame) {}
    void commonInit() override;

private:
    void updateTitle();

    std::int64_t type_ = UIButtonTypeCustom;
    std::shared_ptr<UILabel> titleLabel_;
    std::map<UIControlState, std::string> titles_;
    std::map<UIControlState, UIColor> titleColors_;
};
