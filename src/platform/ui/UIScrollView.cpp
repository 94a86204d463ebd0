#include "platform/ui/UIScrollView.h"

#include <algorithm>
#include <cmath>

std::shared_ptr<UIScrollView> UIScrollView::create(CGRect frame) {
    auto s = std::shared_ptr<UIScrollView>(new UIScrollView(frame));
    s->commonInit();
    return s;
}

void UIScrollView::commonInit() {
    UIView::commonInit();
    setClipsToBounds(true);
}

void UIScrollView::setContentOffset(CGPoint offset) {
    if (!std::isfinite(offset.x) || !std::isfinite(offset.y))
        return;
    CGRect b = bounds();
    if (b.origin == offset)
        return;
    b.origin = offset;
    setBounds(b);
    didScroll();
}

void UIScrollView::setContentOffset(CGPoint offset, bool animated) {
    if (!animated) {
        UIView::performWithoutAnimation([&] { setContentOffset(offset); });
        return;
    }
    UIView::animateWithDuration(0.3, 0, UIViewAnimationOptionBeginFromCurrentState,
                                [&] { setContentOffset(offset); }, {});
}

void UIScrollView::setContentSize(CGSize size) {
    contentSize_ = size;
    markDisplayChanged();
}

void UIScrollView::setContentInset(UIEdgeInsets inset) {
    contentInset_ = inset;
    markDisplayChanged();
}

CGPoint UIScrollView::minimumContentOffset() const {
    return CGPointMake(-contentInset_.left, -contentInset_.top);
}

CGPoint UIScrollView::maximumContentOffset() const {
    CGPoint min = minimumContentOffset();
    return CGPointMake(std::max(min.x, contentSize_.width + contentInset_.right - bounds().width()),
                       std::max(min.y, contentSize_.height + contentInset_.bottom - bounds().height()));
}

CGPoint UIScrollView::clampedOffset(CGPoint offset) const {
    CGPoint min = minimumContentOffset(), max = maximumContentOffset();
    return CGPointMake(std::clamp(offset.x, min.x, max.x), std::clamp(offset.y, min.y, max.y));
}

void UIScrollView::scrollBy(CGPoint delta) {
    if (!scrollEnabled_)
        return;
    CGPoint o = contentOffset();
    UIView::performWithoutAnimation(
        [&] { setContentOffset(clampedOffset(CGPointMake(o.x + delta.x, o.y + delta.y))); });
}

void UIScrollView::scrollRectToVisible(CGRect rect, bool animated) {
    CGPoint o = contentOffset();
    CGFloat visibleTop = o.y + contentInset_.top,
            visibleBottom = o.y + bounds().height() - contentInset_.bottom;
    CGPoint target = o;
    if (rect.minY() < visibleTop)
        target.y = rect.minY() - contentInset_.top;
    else if (rect.maxY() > visibleBottom)
        target.y = rect.maxY() - bounds().height() + contentInset_.bottom;
    target = clampedOffset(target);
    if (target != o)
        setContentOffset(target, animated);
}

void UIScrollView::contentAboveMovedBy(CGFloat dy) {
    CGPoint o = contentOffset();
    dragStartOffset_.y += dy;
    UIView::performWithoutAnimation([&] { setContentOffset(clampedOffset(CGPointMake(o.x, o.y + dy))); });
}

bool UIScrollView::touchBegan(CGPoint p) {
    if (!scrollEnabled_)
        return false;
    dragging_ = true;
    dragStartOffset_ = contentOffset();
    // A point in the view's coordinates shifts with the offset; keep it in fixed terms.
    dragStartFinger_ = CGPointMake(p.x - dragStartOffset_.x, p.y - dragStartOffset_.y);
    return true;
}

void UIScrollView::touchMoved(CGPoint p) {
    if (!dragging_)
        return;
    CGPoint o = contentOffset();
    CGPoint finger = CGPointMake(p.x - o.x, p.y - o.y);
    CGPoint target = CGPointMake(dragStartOffset_.x, dragStartOffset_.y - (finger.y - dragStartFinger_.y));
    UIView::performWithoutAnimation([&] { setContentOffset(clampedOffset(target)); });
}

void UIScrollView::touchEnded(CGPoint p) {
    touchMoved(p);
    dragging_ = false;
}
