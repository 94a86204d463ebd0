#include "platform/ui/UILabel.h"

#include <cmath>

std::shared_ptr<UILabel> UILabel::create(CGRect frame) {
    auto label = std::shared_ptr<UILabel>(new UILabel(frame));
    label->commonInit();
    return label;
}

UILabel::UILabel(CGRect frame) : UIView(frame) {}

void UILabel::commonInit() {
    UIView::commonInit();
    setOpaque(false);
    setUserInteractionEnabled(false);
}

void UILabel::contentChanged() {
    // A width given for the old text says nothing about the new one: measure unbounded until
    // layout gives a width again.
    layoutWidth_ = 0;
    setNeedsDisplay();
    // The text's size may have changed; whoever places this label gets to look again.
    invalidateIntrinsicContentSize();
    if (auto parent = superview())
        parent->setNeedsLayout();
}

void UILabel::setText(std::string text) {
    if (text == text_)
        return;
    text_ = std::move(text);
    contentChanged();
}

void UILabel::setFont(const UIFont& font) {
    if (font == font_)
        return;
    font_ = font;
    contentChanged();
}

void UILabel::setTextColor(std::optional<UIColor> color) {
    textColor_ = color.value_or(UIColor::labelColor());
    setNeedsDisplay();
}

void UILabel::setTextAlignment(NSTextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void UILabel::setNumberOfLines(int64_t lines) {
    if (lines == numberOfLines_)
        return;
    numberOfLines_ = std::max<int64_t>(0, lines);
    contentChanged();
}

void UILabel::setLineBreakMode(NSLineBreakMode mode) {
    lineBreakMode_ = mode;
    contentChanged();
}

void UILabel::setEnabled(bool enabled) {
    enabled_ = enabled;
    setNeedsDisplay();
}

void UILabel::setPreferredMaxLayoutWidth(CGFloat width) {
    preferredMaxLayoutWidth_ = std::isfinite(width) ? std::max(0.0, width) : 0;
    contentChanged();
}

NSStringAttributes UILabel::attributes() const {
    NSStringAttributes a;
    a.font = font_;
    // A disabled label greys its text, as the platform does.
    a.foregroundColor =
        enabled_ ? textColor_.rgba
                 : UIColor::resolved(UIColor::colorWithWhite(0.56, 1), UIColor::tertiaryLabelColor()).rgba;
    a.alignment = alignment_;
    a.lineBreakMode = lineBreakMode_;
    a.numberOfLines = numberOfLines_;
    return a;
}

CGSize UILabel::sizeThatFits(CGSize size) const {
    if (text_.empty())
        return CGSizeZero;
    NSStringAttributes a = attributes();
    CGFloat width = numberOfLines_ == 1 ? 0 : size.width;
    CGSize s = NSStringBoundingRectWithSize(text_, CGSizeMake(width, 0), a).size;
    return {std::ceil(s.width), std::ceil(s.height)};
}

CGSize UILabel::intrinsicContentSize() const {
    CGFloat wrap = preferredMaxLayoutWidth_;
    if (wrap <= 0 && numberOfLines_ != 1)
        wrap = layoutWidth_;
    return sizeThatFits(CGSizeMake(wrap, 0));
}

bool UILabel::adoptLayoutWidth(CGFloat width) {
    if (!(width > 0))
        width = 0;
    if (numberOfLines_ == 1 || preferredMaxLayoutWidth_ > 0 || std::abs(width - layoutWidth_) < 0.5)
        return false;
    CGSize before = intrinsicContentSize();
    layoutWidth_ = width;
    return intrinsicContentSize() != before;
}

CGRect UILabel::textRectForBounds(CGRect bounds, int64_t numberOfLines) const {
    if (text_.empty())
        return {bounds.origin, CGSizeMake(0, 0)};
    NSStringAttributes a = attributes();
    a.numberOfLines = numberOfLines;
    CGSize s = NSStringBoundingRectWithSize(text_, CGSizeMake(bounds.width(), 0), a).size;
    s.width = std::min(s.width, bounds.width());
    s.height = std::min(s.height, bounds.height());
    return CGRectMake(bounds.minX(), bounds.minY(), s.width, s.height);
}

void UILabel::drawRect(CGRect /*rect*/) {
    drawTextInRect(bounds());
}

void UILabel::drawTextInRect(CGRect rect) {
    if (text_.empty() || rect.width() <= 0 || rect.height() <= 0)
        return;
    NSStringAttributes a = attributes();
    // Only whole lines that fit the height are shown (at least one), centred vertically.
    CGFloat lineHeight = font_.lineHeight();
    int64_t fitting =
        lineHeight > 0
            ? static_cast<int64_t>(std::clamp(std::floor(rect.height() / lineHeight + 1e-6), 1.0, 1e6))
            : 1;
    a.numberOfLines = numberOfLines_ > 0 ? std::min(numberOfLines_, fitting) : fitting;
    CGSize s = NSStringBoundingRectWithSize(text_, CGSizeMake(rect.width(), 0), a).size;
    CGFloat y = rect.minY() + (rect.height() - s.height) / 2;
    NSStringDrawInRect(text_, CGRectMake(rect.minX(), y, rect.width(), s.height + 1), a);
}
