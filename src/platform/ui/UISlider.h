#pragma once

// A slider (UIKit's UISlider) in the iOS look: a thin rounded track, the part left of the thumb
// in the tint colour and the rest light grey, and a white round thumb of 28 points. The value runs
// from minimumValue to maximumValue; dragging the thumb (or touching the track) moves it and
// sends UIControlEventValueChanged while the finger moves (continuous, the default) or once
// when it lifts.
//
//     auto size = UISlider::create(CGRectMake(16, 0, 343, 44));
//     size->setMinimumValue(40);
//     size->setMaximumValue(80);
//     size->setValue(56, false);

#include "platform/ui/UIControl.h"
#include "platform/ui/UITouchResponder.h"

#include <memory>
#include <optional>

class UISlider : public UIControl, public UITouchResponder {
public:
    static constexpr CGFloat kThumbSize = 28;
    static constexpr CGFloat kTrackHeight = 2;

    static std::shared_ptr<UISlider> create(CGRect frame = CGRectZero);

    std::string className() const override { return "UISlider"; }

    double value() const { return value_; }
    // Clamped to [minimumValue, maximumValue].
    void setValue(double value, bool animated);
    double minimumValue() const { return min_; }
    // Moving a bound past the other moves both, and the value follows into range.
    void setMinimumValue(double v);
    double maximumValue() const { return max_; }
    void setMaximumValue(double v);
    bool isContinuous() const { return continuous_; }
    void setContinuous(bool c) { continuous_ = c; }
    std::optional<UIColor> minimumTrackTintColor() const { return minTint_; }
    void setMinimumTrackTintColor(std::optional<UIColor> c);

    // Where the thumb's centre sits for `value`, in the slider's coordinates; and the value
    // under a point on the track.
    CGPoint thumbCenterForValue(double value) const;
    double valueForPoint(CGPoint p) const;
    const std::shared_ptr<UIView>& thumbView() const { return thumb_; }

    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    bool drawsContent() const override { return true; }
    CGSize sizeThatFits(CGSize size) const override { return CGSizeMake(size.width, 34); }
    std::string accessibilityText() const override;

    bool touchBegan(CGPoint p) override;
    void touchMoved(CGPoint p) override;
    void touchEnded(CGPoint p) override;
    void touchCancelled() override;
    bool keepsDrags() const override { return true; }

protected:
    explicit UISlider(CGRect frame) : UIControl(frame) {}
    void commonInit() override;

private:
    void placeThumb();
    void moveTo(CGPoint p);

    double value_ = 0;
    double min_ = 0;
    double max_ = 1;
    bool continuous_ = true;
    std::optional<UIColor> minTint_;
    std::shared_ptr<UIView> thumb_;
    CGFloat grabOffset_ = 0;
    double valueAtTouch_ = 0;
};
