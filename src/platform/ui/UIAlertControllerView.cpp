#include "platform/ui/UIAlertControllerView.h"

#include "platform/ui/UIGraphics.h"
#include "platform/ui/UIVisualEffectView.h"
#include "platform/ui/layers/CALayer.h"

#include <cmath>

namespace {
constexpr CGFloat kTextInset = 16;
constexpr CGFloat kTopMargin = 19;
constexpr CGFloat kGap = 3;
constexpr CGFloat kBottomMargin = 20;
// The panel is frosted glass: what lies behind it is blurred (so text behind it never shows through
// as text) and then washed with this near-white, or with a dark grey in the dark style.
UIColor panelColour() {
    return UIColor::resolved(UIColor::colorWithWhite(0.97, 0.82),
                             UIColor::colorWithRed(0.17, 0.17, 0.18, 0.9));
}
constexpr double kBackdropBlurRadius = 20;
UIColor separatorColour() {
    return UIColor::resolved(UIColor::colorWithWhite(0, 0.2), UIColor::colorWithWhite(1, 0.15));
}
} // namespace

std::shared_ptr<UIAlertControllerView>
UIAlertControllerView::create(const std::shared_ptr<UIAlertController>& alert) {
    auto v = std::shared_ptr<UIAlertControllerView>(new UIAlertControllerView(CGRectMake(0, 0, kWidth, 100)));
    v->commonInit();
    v->build(alert);
    return v;
}

std::vector<std::shared_ptr<UIAlertAction>>
UIAlertControllerView::displayOrder(const std::vector<std::shared_ptr<UIAlertAction>>& actions) {
    std::vector<std::shared_ptr<UIAlertAction>> others, cancels;
    for (const auto& a : actions)
        (a->style() == UIAlertActionStyleCancel ? cancels : others).push_back(a);
    if (actions.size() == 2 && !cancels.empty()) {
        cancels.insert(cancels.end(), others.begin(), others.end());
        return cancels;
    }
    others.insert(others.end(), cancels.begin(), cancels.end());
    return others;
}

std::string UIAlertControllerView::accessibilityText() const {
    auto a = alert_.lock();
    return a ? a->alertTitle().value_or("") : std::string();
}

void UIAlertControllerView::build(const std::shared_ptr<UIAlertController>& alert) {
    alert_ = alert;
    setOpaque(false);
    setBackgroundColor(UIColor::clearColor());
    layer()->setCornerRadius(kCornerRadius);
    setClipsToBounds(true);

    CGFloat y = kTopMargin, textWidth = kWidth - 2 * kTextInset;
    bool hasTitle = alert && alert->alertTitle() && !alert->alertTitle()->empty();
    bool hasMessage = alert && alert->message() && !alert->message()->empty();
    if (hasTitle) {
        titleLabel_ = UILabel::create();
        titleLabel_->setText(*alert->alertTitle());
        titleLabel_->setFont(UIFont::systemFontOfSize(17, UIFontWeightSemibold));
        titleLabel_->setTextAlignment(NSTextAlignmentCenter);
        titleLabel_->setNumberOfLines(0);
        CGSize s = titleLabel_->sizeThatFits(CGSizeMake(textWidth, 0));
        titleLabel_->setFrame(CGRectMake(kTextInset, y, textWidth, std::ceil(s.height)));
        addSubview(titleLabel_);
        y = titleLabel_->frame().maxY() + kGap;
    }
    if (hasMessage) {
        messageLabel_ = UILabel::create();
        messageLabel_->setText(*alert->message());
        messageLabel_->setFont(UIFont::systemFontOfSize(13));
        messageLabel_->setTextAlignment(NSTextAlignmentCenter);
        messageLabel_->setNumberOfLines(0);
        CGSize s = messageLabel_->sizeThatFits(CGSizeMake(textWidth, 0));
        messageLabel_->setFrame(CGRectMake(kTextInset, y, textWidth, std::ceil(s.height)));
        addSubview(messageLabel_);
        y = messageLabel_->frame().maxY();
    }
    buttonsTop_ = std::ceil(y + kBottomMargin - (hasTitle || hasMessage ? 0 : kTopMargin + kBottomMargin));

    auto actions = alert ? displayOrder(alert->actions()) : std::vector<std::shared_ptr<UIAlertAction>>{};
    sideBySide_ = actions.size() == 2;
    std::weak_ptr<UIAlertController> weakAlert = alert;
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const auto& action = actions[i];
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setTitle(action->title(), UIControlStateNormal);
        UIColor colour = action->style() == UIAlertActionStyleDestructive ? destructiveColor() : *tintColor();
        if (!action->isEnabled())
            colour = UIColor::colorWithWhite(0.5, 0.5);
        button->setTitleColor(colour, UIControlStateNormal);
        button->setTitleColor(colour.colorWithAlphaComponent(0.4), UIControlStateHighlighted);
        button->titleLabel()->setFont(action->style() == UIAlertActionStyleCancel
                                          ? UIFont::systemFontOfSize(17, UIFontWeightSemibold)
                                          : UIFont::systemFontOfSize(17));
        std::weak_ptr<UIAlertAction> weakAction = action;
        button->addAction(
            [weakAlert, weakAction](UIControl&) {
                auto a = weakAlert.lock();
                auto act = weakAction.lock();
                if (a && act)
                    a->performAction(act);
            },
            UIControlEventTouchUpInside);
        if (sideBySide_)
            button->setFrame(
                CGRectMake(static_cast<CGFloat>(i) * kWidth / 2, buttonsTop_, kWidth / 2, kButtonHeight));
        else
            button->setFrame(
                CGRectMake(0, buttonsTop_ + static_cast<CGFloat>(i) * kButtonHeight, kWidth, kButtonHeight));
        addSubview(button);
        buttons_.push_back({button, action});
    }
    CGFloat rows = sideBySide_ ? 1 : static_cast<CGFloat>(actions.size());
    CGFloat height = buttonsTop_ + rows * kButtonHeight;
    if (actions.empty())
        height = buttonsTop_;
    setBounds(CGRectMake(0, 0, kWidth, std::max<CGFloat>(height, 44)));
}

void UIAlertControllerView::drawRect(CGRect) {
    UIDrawBackdropBlur(UIGraphicsGetCurrentContext(), bounds(), kBackdropBlurRadius, &blurCache_);
    UIColorSetFill(panelColour());
    UIRectFill(bounds());
    // Hairlines above the buttons, and between them.
    if (buttons_.empty())
        return;
    CGFloat hair = 0.5;
    UIColorSetFill(separatorColour());
    if (sideBySide_) {
        UIRectFill(CGRectMake(0, buttonsTop_ - hair, kWidth, hair));
        UIRectFill(CGRectMake(kWidth / 2 - hair / 2, buttonsTop_, hair, kButtonHeight));
        return;
    }
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        UIRectFill(CGRectMake(0, buttonsTop_ + static_cast<CGFloat>(i) * kButtonHeight - hair, kWidth, hair));
}
