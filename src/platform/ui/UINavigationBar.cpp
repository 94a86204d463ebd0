#include "platform/ui/UINavigationBar.h"

#include "platform/graphics/NSStringDrawing.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIGraphics.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr CGFloat kSideMargin = 8;
constexpr CGFloat kButtonPadding = 8;
} // namespace

std::shared_ptr<UINavigationBar> UINavigationBar::create(CGRect frame) {
    auto bar = std::shared_ptr<UINavigationBar>(new UINavigationBar(frame));
    bar->commonInit();
    return bar;
}

void UINavigationBar::commonInit() {
    UIView::commonInit();
    setBackgroundColor(UIColor::barBackgroundColor());
    titleLabel_ = UILabel::create();
    titleLabel_->setFont(UIFont::systemFontOfSize(17, UIFontWeightSemibold));
    titleLabel_->setTextAlignment(NSTextAlignmentCenter);
    titleLabel_->setOpaque(false);
    addSubview(titleLabel_);
    promptLabel_ = UILabel::create();
    promptLabel_->setFont(UIFont::systemFontOfSize(13));
    promptLabel_->setTextColor(UIColor::labelColor());
    promptLabel_->setTextAlignment(NSTextAlignmentCenter);
    promptLabel_->setOpaque(false);
    promptLabel_->setHidden(true);
    addSubview(promptLabel_);
}

CGFloat UINavigationBar::heightForItem(const UINavigationItem* item) {
    return kStatusBarHeight + kBarHeight + (item && !item->prompt().empty() ? kPromptHeight : 0);
}

UINavigationBar::Shown UINavigationBar::describe(const UINavigationItem* item) {
    Shown s;
    if (!item)
        return s;
    s.title = item->title();
    s.prompt = item->prompt();
    if (const auto& l = item->leftBarButtonItem()) {
        s.leftItem = l.get();
        s.leftTitle = l->title();
        s.leftStyle = l->style();
    }
    if (const auto& r = item->rightBarButtonItem()) {
        s.rightItem = r.get();
        s.rightTitle = r->title();
        s.rightStyle = r->style();
    }
    return s;
}

void UINavigationBar::setBackTitle(std::optional<std::string> title, std::function<void()> onBack) {
    backTitle_ = std::move(title);
    onBack_ = std::move(onBack);
}

void UINavigationBar::setItem(std::shared_ptr<UINavigationItem> item) {
    item_ = std::move(item);
    stale_ = true;
    syncWithItem();
}

std::shared_ptr<UIButton> UINavigationBar::makeButton(const std::shared_ptr<UIBarButtonItem>& item) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setTitle(item->title(), UIControlStateNormal);
    UIColor tint = *tintColor();
    button->setTitleColor(tint, UIControlStateNormal);
    button->setTitleColor(tint.colorWithAlphaComponent(0.3), UIControlStateHighlighted);
    button->titleLabel()->setFont(item->style() == UIBarButtonItemStyleDone
                                      ? UIFont::systemFontOfSize(17, UIFontWeightSemibold)
                                      : UIFont::systemFontOfSize(17));
    // The item is looked up when tapped, so a target set later still receives the action.
    std::weak_ptr<UIBarButtonItem> weakItem = item;
    button->addAction(
        [weakItem](UIControl&) {
            if (auto it = weakItem.lock())
                UIApplication::sharedApplication()->sendAction(it->action(), it->target(), it);
        },
        UIControlEventTouchUpInside);
    addSubview(button);
    return button;
}

bool UINavigationBar::syncWithItem() {
    Shown now = describe(item_.get());
    if (!now.leftItem)
        now.backTitle = backTitle_;
    if (now == shown_ && !stale_)
        return false;
    stale_ = false;
    shown_ = now;
    shownTitle_ = now.title;
    titleLabel_->setText(now.title);
    promptLabel_->setText(now.prompt);
    promptLabel_->setHidden(now.prompt.empty());
    if (left_)
        left_->removeFromSuperview();
    if (right_)
        right_->removeFromSuperview();
    left_ = item_ && item_->leftBarButtonItem() ? makeButton(item_->leftBarButtonItem()) : nullptr;
    if (!left_ && now.backTitle) {
        left_ = UIButton::buttonWithType(UIButtonTypeCustom);
        left_->setTitle("\u2039 " + *now.backTitle, UIControlStateNormal);
        UIColor tint = *tintColor();
        left_->setTitleColor(tint, UIControlStateNormal);
        left_->setTitleColor(tint.colorWithAlphaComponent(0.3), UIControlStateHighlighted);
        left_->titleLabel()->setFont(UIFont::systemFontOfSize(17));
        // Looked up when tapped: the bar may be given another screen's back action meanwhile.
        std::weak_ptr<UINavigationBar> weakBar =
            std::static_pointer_cast<UINavigationBar>(shared_from_this());
        left_->addAction(
            [weakBar](UIControl&) {
                auto bar = weakBar.lock();
                if (bar && bar->onBack_) {
                    auto back = bar->onBack_;
                    back();
                }
            },
            UIControlEventTouchUpInside);
        addSubview(left_);
    }
    right_ = item_ && item_->rightBarButtonItem() ? makeButton(item_->rightBarButtonItem()) : nullptr;
    setNeedsLayout();
    setNeedsDisplay();
    return true;
}

void UINavigationBar::layoutSubviews() {
    CGRect b = bounds();
    CGFloat barTop = b.maxY() - kBarHeight;
    CGFloat leftEdge = kSideMargin, rightEdge = b.width() - kSideMargin;
    if (left_) {
        CGSize s = left_->intrinsicContentSize();
        left_->setFrame(CGRectMake(kSideMargin, barTop, std::ceil(s.width) + 2 * kButtonPadding, kBarHeight));
        leftEdge = left_->frame().maxX();
    }
    if (right_) {
        CGSize s = right_->intrinsicContentSize();
        CGFloat w = std::ceil(s.width) + 2 * kButtonPadding;
        right_->setFrame(CGRectMake(b.width() - kSideMargin - w, barTop, w, kBarHeight));
        rightEdge = right_->frame().minX();
    }
    // The title stays centred on the bar; it narrows symmetrically to clear the buttons.
    CGFloat half = std::max<CGFloat>(0, std::min(b.width() / 2 - leftEdge, rightEdge - b.width() / 2) - 4);
    titleLabel_->setFrame(CGRectMake(b.width() / 2 - half, barTop, 2 * half, kBarHeight));
    promptLabel_->setFrame(
        CGRectMake(kSideMargin, kStatusBarHeight, b.width() - 2 * kSideMargin, kPromptHeight));
}

void UINavigationBar::drawRect(CGRect) {
    // The status bar's clock, and the hairline under the bar.
    NSStringAttributes a;
    a.font = UIFont::systemFontOfSize(12, UIFontWeightSemibold);
    a.alignment = NSTextAlignmentCenter;
    // The status bar's text and battery take the colour of text: black, or white in the dark style.
    const UIColor ink = UIColor::labelColor();
    a.foregroundColor = ink.rgba;
    NSStringDrawInRect("9:41", CGRectMake(0, 3, bounds().width(), 16), a);
    UIColorSetFill(ink);
    // A battery at the right of the status bar.
    CGFloat bx = bounds().width() - 34, by = 6;
    UIColorSetStroke(ink.colorWithAlphaComponent(0.6));
    CGContextStrokeRectWithWidth(UIGraphicsGetCurrentContext(), CGRectMake(bx + 0.5, by + 0.5, 24, 10), 1);
    UIRectFill(CGRectMake(bx + 2, by + 2, 21, 7));
    UIRectFill(CGRectMake(bx + 25.5, by + 3.5, 1.5, 4));
    UIColorSetFill(UIColor::barHairlineColor());
    UIRectFill(CGRectMake(0, bounds().maxY() - 0.5, bounds().width(), 0.5));
}
