#include "platform/ui/UIButton.h"

#include <cmath>

std::shared_ptr<UIButton> UIButton::create(CGRect frame) {
    auto b = std::shared_ptr<UIButton>(new UIButton(frame));
    b->commonInit();
    return b;
}

std::shared_ptr<UIButton> UIButton::buttonWithType(std::int64_t type) {
    auto b = std::shared_ptr<UIButton>(new UIButton(CGRectZero));
    b->type_ = type;
    b->commonInit();
    return b;
}

void UIButton::commonInit() {
    UIControl::commonInit();
    titleLabel_ = UILabel::create();
    titleLabel_->setFont(UIFont::systemFontOfSize(UIFont::buttonFontSize()));
    titleLabel_->setTextAlignment(NSTextAlignmentCenter);
    titleLabel_->setBackgroundColor(UIColor::clearColor());
    titleLabel_->setOpaque(false);
    addSubview(titleLabel_);
    updateTitle();
}

void UIButton::setTitle(std::optional<std::string> title, UIControlState state) {
    if (title)
        titles_[state] = *title;
    else
        titles_.erase(state);
    updateTitle();
}

std::optional<std::string> UIButton::titleForState(UIControlState state) const {
    if (auto it = titles_.find(state); it != titles_.end())
        return it->second;
    if (auto it = titles_.find(UIControlStateNormal); it != titles_.end())
        return it->second;
    return std::nullopt;
}

void UIButton::setTitleColor(std::optional<UIColor> color, UIControlState state) {
    if (color)
        titleColors_[state] = *color;
    else
        titleColors_.erase(state);
    updateTitle();
}

UIColor UIButton::titleColorForState(UIControlState state) const {
    if (auto it = titleColors_.find(state); it != titleColors_.end())
        return it->second;
    if (auto it = titleColors_.find(UIControlStateNormal); it != titleColors_.end())
        return it->second;
    // A custom button's titles are white by default; a system button's follow the tint.
    return type_ == UIButtonTypeSystem ? tintColor().value_or(UIColor::blueColor()) : UIColor::whiteColor();
}

void UIButton::setHighlighted(bool highlighted) {
    UIControl::setHighlighted(highlighted);
    updateTitle();
}

void UIButton::setSelected(bool selected) {
    UIControl::setSelected(selected);
    updateTitle();
}

void UIButton::setEnabled(bool enabled) {
    UIControl::setEnabled(enabled);
    updateTitle();
}

void UIButton::updateTitle() {
    if (!titleLabel_)
        return;
    titleLabel_->setText(currentTitle().value_or(""));
    titleLabel_->setTextColor(titleColorForState(state()));
    setNeedsLayout();
}

CGSize UIButton::intrinsicContentSize() const {
    if (!titleLabel_ || titleLabel_->text().empty())
        return CGSizeZero;
    return titleLabel_->sizeThatFits(CGSizeZero);
}

void UIButton::layoutSubviews() {
    UIControl::layoutSubviews();
    CGSize t = titleLabel_->sizeThatFits(CGSizeZero);
    CGRect b = bounds();
    t.width = std::min(t.width, b.size.width);
    titleLabel_->setFrame(CGRectMake(std::round((b.size.width - t.width) / 2),
                                     std::round((b.size.height - t.height) / 2), t.width, t.height));
}
