#include "confetti/OCConfettiView.h"

#include "platform/ui/NSValue.h"
#include "platform/ui/layers/CABasicAnimation.h"
#include "platform/ui/layers/CALayer.h"

#include <numbers>

std::shared_ptr<OCConfettiView> OCConfettiView::create(CGRect frame, double flutterSpeed,
                                                       std::int64_t flutterType) {
    auto view = std::make_shared<OCConfettiView>(CreationKey(), frame, flutterSpeed, flutterType);
    view->commonInit();
    return view;
}

std::array<double, 3> OCConfettiView::flutterAxis(std::int64_t flutterType) {
    switch (flutterType) {
    case FlutterAxisDiagonal:
        return {1, 1, 0};
    case FlutterAxisX:
        return {1, 0, 0};
    case FlutterAxisY:
        return {0, 1, 0};
    default:
        return {-1, 1, 0};
    }
}

void OCConfettiView::didMoveToSuperview() {
    UIView::didMoveToSuperview();
    if (animationAdded_)
        return;
    animationAdded_ = true;
    // From the layer's own transform (no start value) to a half turn, linearly, every cycle
    // starting again from the identity; the square looks the same at both ends of a cycle.
    auto flip = CABasicAnimation::animationWithKeyPath("transform");
    flip->setDuration(1.0 / flutterSpeed_);
    flip->setRepeatCount(kFlutterRepeatCount);
    auto axis = flutterAxis(flutterType_);
    flip->setToValue(PlistValue(NSValue::valueWithCATransform3D(
        CATransform3DMakeRotation(std::numbers::pi, axis[0], axis[1], axis[2]))));
    layer()->addAnimation(flip, kRotationAnimationKey);
}
