#pragma once

// A layer animation of one property from one value to another (CABasicAnimation), evaluated on
// the main run loop's clock whenever the layer is drawn: no per-frame code runs for it.
//
//     auto flip = CABasicAnimation::animationWithKeyPath("transform");
//     flip->setDuration(0.25);
//     flip->setRepeatCount(500);
//     flip->setToValue(NSValue::valueWithCATransform3D(CATransform3DMakeRotation(M_PI, 1, 0, 0)));
//     view->layer()->addAnimation(flip, "flip");
//
// Timing: a cycle lasts `duration` seconds (0 means the platform's 0.25) and runs `repeatCount`
// times (0 means once; fractions end part way); the animation starts at `beginTime` (set to the
// clock's now when it is added, unless given). Pacing is linear. Without `fromValue` each cycle
// starts from the layer's own value; without `toValue` it ends there. With `autoreverses` every
// cycle runs forth and back. After its end the layer shows its own value again, and an animation
// that `isRemovedOnCompletion` (the default) leaves the layer at the next frame.
//
// Key paths the renderer shows: "transform" (values are NSValues of CATransform3D). Other key
// paths are kept and listed but change nothing on screen.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/plist/PlistValue.h"

#include <memory>
#include <string>

class CABasicAnimation : public NSObject {
public:
    static std::shared_ptr<CABasicAnimation> animationWithKeyPath(std::string keyPath);
    std::string className() const override { return "CABasicAnimation"; }

    const std::string& keyPath() const { return keyPath_; }
    double duration() const { return duration_; }
    void setDuration(double d) { duration_ = d; }
    float repeatCount() const { return repeatCount_; }
    void setRepeatCount(float count) { repeatCount_ = count; }
    bool autoreverses() const { return autoreverses_; }
    void setAutoreverses(bool a) { autoreverses_ = a; }
    double beginTime() const { return beginTime_; }
    void setBeginTime(double t) { beginTime_ = t; }
    bool isRemovedOnCompletion() const { return removedOnCompletion_; }
    void setRemovedOnCompletion(bool r) { removedOnCompletion_ = r; }
    const PlistValue& fromValue() const { return fromValue_; }
    void setFromValue(PlistValue v) { fromValue_ = std::move(v); }
    const PlistValue& toValue() const { return toValue_; }
    void setToValue(PlistValue v) { toValue_ = std::move(v); }

    // The length of one cycle in seconds, and of the whole animation (infinite for an endless one).
    double cycleDuration() const;
    double activeDuration() const;
    // How far through its cycle the animation is at `now` (0 to 1, with autoreversing folded
    // back), or a negative number before its start and after its end.
    double fractionAt(double now) const;
    bool hasEndedAt(double now) const;

    // An independent copy: a layer keeps a copy of what it is given, so later changes by the
    // caller do not reach the running animation.
    std::shared_ptr<CABasicAnimation> copy() const;

private:
    explicit CABasicAnimation(std::string keyPath) : keyPath_(std::move(keyPath)) {}

    std::string keyPath_;
    double duration_ = 0;
    float repeatCount_ = 0;
    bool autoreverses_ = false;
    double beginTime_ = 0;
    bool removedOnCompletion_ = true;
    PlistValue fromValue_, toValue_;
};
