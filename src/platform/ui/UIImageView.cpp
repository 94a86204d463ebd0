#include "platform/ui/UIImageView.h"

#include <algorithm>

CGRect UIViewContentModeRect(UIViewContentMode mode, CGSize size, CGRect bounds) {
    CGFloat bw = bounds.width(), bh = bounds.height();
    CGFloat w = size.width, h = size.height;
    if (!(w > 0) || !(h > 0))
        return bounds;
    switch (mode) {
    case UIViewContentModeScaleAspectFit:
    case UIViewContentModeScaleAspectFill: {
        CGFloat sx = bw / w, sy = bh / h;
        CGFloat s = mode == UIViewContentModeScaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
        w *= s, h *= s;
        return CGRectMake(bounds.minX() + (bw - w) / 2, bounds.minY() + (bh - h) / 2, w, h);
    }
    case UIViewContentModeCenter:
        return CGRectMake(bounds.minX() + (bw - w) / 2, bounds.minY() + (bh - h) / 2, w, h);
    case UIViewContentModeTop:
        return CGRectMake(bounds.minX() + (bw - w) / 2, bounds.minY(), w, h);
    case UIViewContentModeBottom:
        return CGRectMake(bounds.minX() + (bw - w) / 2, bounds.maxY() - h, w, h);
    case UIViewContentModeLeft:
        return CGRectMake(bounds.minX(), bounds.minY() + (bh - h) / 2, w, h);
    case UIViewContentModeRight:
        return CGRectMake(bounds.maxX() - w, bounds.minY() + (bh - h) / 2, w, h);
    case UIViewContentModeTopLeft:
        return CGRectMake(bounds.minX(), bounds.minY(), w, h);
    case UIViewContentModeTopRight:
        return CGRectMake(bounds.maxX() - w, bounds.minY(), w, h);
    case UIViewContentModeBottomLeft:
        return CGRectMake(bounds.minX(), bounds.maxY() - h, w, h);
    case UIViewContentModeBottomRight:
        return CGRectMake(bounds.maxX() - w, bounds.maxY() - h, w, h);
    case UIViewContentModeScaleToFill:
    case UIViewContentModeRedraw:
        break;
    }
    return bounds;
}

std::shared_ptr<UIImageView> UIImageView::create(CGRect frame) {
    auto view = std::shared_ptr<UIImageView>(new UIImageView(frame));
    view->commonInit();
    return view;
}

std::shared_ptr<UIImageView> UIImageView::createWithImage(std::shared_ptr<UIImage> image) {
    CGSize size = image ? image->size() : CGSizeZero;
    auto view = create(CGRectMake(0, 0, size.width, size.height));
    view->setImage(std::move(image));
    return view;
}

UIImageView::UIImageView(CGRect frame) : UIView(frame) {}

void UIImageView::commonInit() {
    UIView::commonInit();
    setOpaque(false);
    setUserInteractionEnabled(false);
}

void UIImageView::setImage(std::shared_ptr<UIImage> image) {
    if (image == image_)
        return;
    image_ = std::move(image);
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
    if (auto parent = superview())
        parent->setNeedsLayout();
}

void UIImageView::setContentMode(UIViewContentMode mode) {
    contentMode_ = mode;
    setNeedsDisplay();
}

CGSize UIImageView::intrinsicContentSize() const {
    return image_ ? image_->size() : CGSizeMake(UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric);
}

CGSize UIImageView::sizeThatFits(CGSize) const {
    return image_ ? image_->size() : CGSizeZero;
}

void UIImageView::drawRect(CGRect) {
    if (image_)
        image_->drawInRect(UIViewContentModeRect(contentMode_, image_->size(), bounds()));
}
