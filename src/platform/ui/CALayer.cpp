#include "platform/ui/CALayer.h"

#include "platform/ui/UIView.h"
#include "platform/ui/UIViewAnimationState.h"

void CALayer::setCornerRadius(CGFloat r) {
    cornerRadius_ = r;
    UIView::markDisplayChanged();
}
void CALayer::setBorderWidth(CGFloat w) {
    borderWidth_ = w;
    UIView::markDisplayChanged();
}
void CALayer::setBorderColor(std::optional<UIColor> c) {
    borderColor_ = c;
    UIView::markDisplayChanged();
}
void CALayer::setMasksToBounds(bool m) {
    masksToBounds_ = m;
    UIView::markDisplayChanged();
}
void CALayer::setTransform(const CATransform3D& t) {
    if (owner_)
        UIViewAnimationState::willChange(*owner_, UIViewAnimationState::Property::Transform);
    transform_ = t;
    UIView::markDisplayChanged();
}
