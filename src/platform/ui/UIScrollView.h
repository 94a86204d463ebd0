#pragma once

// A view that scrolls its content (UIKit's UIScrollView): the content offset is the bounds'
// origin, the content size says how far it may go, and the content inset adds room around the
// content (a navigation bar over the top of a list). A finger dragging over it, or the mouse
// wheel, moves the content, kept within its range; code may set any offset.
//
//     auto scroller = UIScrollView::create(screenBounds);
//     scroller->setContentSize(CGSizeMake(375, 1200));
//     scroller->scrollBy(CGPointMake(0, 120));          // a wheel step, clamped

#include "platform/ui/UITouchResponder.h"
#include "platform/ui/UIView.h"

#include <memory>

struct UIEdgeInsets {
    CGFloat top = 0, left = 0, bottom = 0, right = 0;
    bool operator==(const UIEdgeInsets&) const = default;
};

inline UIEdgeInsets UIEdgeInsetsMake(CGFloat top, CGFloat left, CGFloat bottom, CGFloat right) {
    return {top, left, bottom, right};
}

class UIScrollView : public UIView, public UITouchResponder {
public:
    static std::shared_ptr<UIScrollView> create(CGRect frame = CGRectZero);

    std::string className() const override { return "UIScrollView"; }

    CGPoint contentOffset() const { return bounds().origin; }
    void setContentOffset(CGPoint offset);
    // With `animated` the content glides there over a third of a second.
    void setContentOffset(CGPoint offset, bool animated);
    CGSize contentSize() const { return contentSize_; }
    void setContentSize(CGSize size);
    UIEdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(UIEdgeInsets inset);
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
    bool isDragging() const { return dragging_; }

    // The offsets the user can reach: from minus the top inset to where the content's end (plus
    // the bottom inset) meets the bottom of the view.
    CGPoint minimumContentOffset() const;
    CGPoint maximumContentOffset() const;
    CGPoint clampedOffset(CGPoint offset) const;
    // Moves the content by `delta` (positive y shows what lies further down), clamped.
    void scrollBy(CGPoint delta);
    // Scrolls the least distance that shows `rect` (content coordinates) whole, clamped.
    void scrollRectToVisible(CGRect rect, bool animated);

    bool touchBegan(CGPoint p) override;
    void touchMoved(CGPoint p) override;
    void touchEnded(CGPoint p) override;
    void touchCancelled() override { dragging_ = false; }

    // Called after the offset changes (subclasses lay out what came into view).
    virtual void didScroll() {}

protected:
    explicit UIScrollView(CGRect frame) : UIView(frame) {}
    void commonInit() override;
    // The content above the view grew (or shrank, negative) by `dy`: moves the offset with it,
    // and a drag under way too, so that what is on screen stays put.
    void contentAboveMovedBy(CGFloat dy);

private:
    CGSize contentSize_{};
    UIEdgeInsets contentInset_{};
    bool scrollEnabled_ = true;
    bool dragging_ = false;
    // The finger's point in the view's superview-independent screen terms: the offset moves
    // with the content, so the drag is measured against where it started.
    CGPoint dragStartFinger_{};
    CGPoint dragStartOffset_{};
};
