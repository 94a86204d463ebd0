#include "platform/ui/UISegmentedControl.h"

#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/UIGraphics.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr CGFloat kRadius = 4;
constexpr CGFloat kLine = 1;

NSStringAttributes titleAttributes(const UIColor& colour) {
    NSStringAttributes a;
    a.font = UIFont::systemFontOfSize(13);
    a.foregroundColor = colour.rgba;
    a.alignment = NSTextAlignmentCenter;
    a.lineBreakMode = NSLineBreakByTruncatingTail;
    a.numberOfLines = 1;
    return a;
}
} // namespace

std::shared_ptr<UISegmentedControl> UISegmentedControl::create(std::vector<std::string> items, CGRect frame) {
    auto c = std::shared_ptr<UISegmentedControl>(new UISegmentedControl(frame));
    c->titles_ = std::move(items);
    c->commonInit();
    if (frame.size.width <= 0 || frame.size.height <= 0) {
        CGRect f = c->frame();
        f.size = c->sizeThatFits(CGSizeZero);
        c->setFrame(f);
    }
    return c;
}

std::string UISegmentedControl::titleForSegmentAtIndex(std::int64_t index) const {
    return index >= 0 && index < numberOfSegments() ? titles_[static_cast<std::size_t>(index)]
                                                    : std::string();
}

void UISegmentedControl::setTitle(std::string title, std::int64_t index) {
    if (index < 0 || index >= numberOfSegments())
        return;
    titles_[static_cast<std::size_t>(index)] = std::move(title);
    setNeedsDisplay();
}

void UISegmentedControl::insertSegmentWithTitle(std::string title, std::int64_t atIndex) {
    atIndex = std::clamp<std::int64_t>(atIndex, 0, numberOfSegments());
    titles_.insert(titles_.begin() + atIndex, std::move(title));
    if (selected_ >= atIndex)
        ++selected_;
    setNeedsDisplay();
}

void UISegmentedControl::removeAllSegments() {
    titles_.clear();
    selected_ = UISegmentedControlNoSegment;
    setNeedsDisplay();
}

void UISegmentedControl::setSelectedSegmentIndex(std::int64_t index) {
    selected_ = index >= 0 && index < numberOfSegments() ? index : UISegmentedControlNoSegment;
    setNeedsDisplay();
}

std::string UISegmentedControl::accessibilityText() const {
    return titleForSegmentAtIndex(selected_);
}

CGSize UISegmentedControl::sizeThatFits(CGSize) const {
    CGFloat widest = 0;
    for (const auto& t : titles_)
        widest =
            std::max(widest, NSStringSizeWithAttributes(t, titleAttributes(UIColor::blackColor())).width);
    return CGSizeMake(
        std::ceil((widest + 24) * static_cast<CGFloat>(std::max<std::int64_t>(1, numberOfSegments()))),
        kHeight);
}

CGRect UISegmentedControl::rectForSegmentAtIndex(std::int64_t index) const {
    if (index < 0 || index >= numberOfSegments())
        return CGRectZero;
    CGFloat w = bounds().width() / static_cast<CGFloat>(numberOfSegments());
    return CGRectMake(bounds().minX() + w * static_cast<CGFloat>(index), bounds().minY(), w,
                      bounds().height());
}

std::int64_t UISegmentedControl::segmentIndexAtPoint(CGPoint p) const {
    if (!bounds().contains(p) || numberOfSegments() == 0)
        return UISegmentedControlNoSegment;
    CGFloat w = bounds().width() / static_cast<CGFloat>(numberOfSegments());
    return std::clamp<std::int64_t>(static_cast<std::int64_t>((p.x - bounds().minX()) / w), 0,
                                    numberOfSegments() - 1);
}

void UISegmentedControl::drawRect(CGRect) {
    UIColor tint = *tintColor();
    if (!isEnabled())
        tint = tint.colorWithAlphaComponent(0.4);
    CGRect frameRect = CGRectInset(bounds(), kLine / 2, kLine / 2);
    auto outline = UIBezierPath::bezierPathWithRoundedRect(frameRect, kRadius);

    if (selected_ != UISegmentedControlNoSegment) {
        // The selected segment's fill follows the outline's rounded ends.
        CGContextRef ctx = UIGraphicsGetCurrentContext();
        CGContextSaveGState(ctx);
        outline->addClip();
        UIColorSetFill(tint);
        UIRectFill(rectForSegmentAtIndex(selected_));
        CGContextRestoreGState(ctx);
    }
    if (touched_ != UISegmentedControlNoSegment && touched_ != selected_) {
        UIColorSetFill(tint.colorWithAlphaComponent(0.15));
        UIRectFill(CGRectInset(rectForSegmentAtIndex(touched_), kLine, kLine));
    }

    UIColorSetStroke(tint);
    outline->setLineWidth(kLine);
    outline->stroke();
    for (std::int64_t i = 1; i < numberOfSegments(); ++i) {
        CGFloat x = rectForSegmentAtIndex(i).minX();
        UIColorSetFill(tint);
        UIRectFill(CGRectMake(x - kLine / 2, bounds().minY(), kLine, bounds().height()));
    }

    for (std::int64_t i = 0; i < numberOfSegments(); ++i) {
        CGRect r = CGRectInset(rectForSegmentAtIndex(i), 4, 0);
        auto a = titleAttributes(i == selected_ ? UIColor::whiteColor() : tint);
        CGFloat h = a.font.lineHeight();
        NSStringDrawInRect(titles_[static_cast<std::size_t>(i)],
                           CGRectMake(r.minX(), r.midY() - h / 2, r.width(), h), a);
    }
}

bool UISegmentedControl::touchBegan(CGPoint p) {
    if (!isEnabled())
        return false;
    touched_ = segmentIndexAtPoint(p);
    setNeedsDisplay();
    return touched_ != UISegmentedControlNoSegment;
}

void UISegmentedControl::touchEnded(CGPoint p) {
    std::int64_t index = segmentIndexAtPoint(p);
    bool same = index == touched_;
    touched_ = UISegmentedControlNoSegment;
    setNeedsDisplay();
    if (same && index != UISegmentedControlNoSegment && index != selected_) {
        setSelectedSegmentIndex(index);
        sendActionsForControlEvents(UIControlEventValueChanged);
    }
}
