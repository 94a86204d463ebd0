#pragma once

// A toolbar, as far as the system uses one: a translucent bar whose backdrop is blurred and tinted
// with its bar tint colour (the older systems' stand-in for a blur view). It holds no items.

#include "platform/ui/UIView.h"
#include "platform/ui/UIVisualEffectView.h"

#include <memory>
#include <optional>

class UIToolbar : public UIView {
public:
    static std::shared_ptr<UIToolbar> create(CGRect frame = CGRectZero);

    std::string className() const override { return "UIToolbar"; }

    const std::optional<UIColor>& barTintColor() const { return barTintColor_; }
    void setBarTintColor(std::optional<UIColor> color);
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent);

    void drawRect(CGRect rect) override;
    bool drawsContent() const override { return true; }

protected:
    explicit UIToolbar(CGRect frame) : UIView(frame) {}

private:
    std::optional<UIColor> barTintColor_;
    bool translucent_ = true;
    // The last blur of what lies under the bar, reused while that does not change.
    UIBackdropBlurCache blurCache_;
};
