#pragma once

// A confetti piece's view (OCConfettiView): a square filled with its background colour that,
// once it is put into a parent view, flips over and over about the axis of its flutter type. The
// flip is a repeating layer animation, drawn by the renderer; the view's frame and centre, as
// the simulation sees them, do not change.
//
//     auto view = OCConfettiView::create(CGRectMake(x, y, 8, 8), 2.5, OCConfettiView::FlutterAxisX);
//     area->addSubview(view);   // starts the flutter, once
//
// Flutter types and their axes (x right, y down, z out of the screen): 0 anti-diagonal
// (−1, 1, 0), 1 diagonal (1, 1, 0), 2 horizontal (1, 0, 0), 3 vertical (0, 1, 0); any other value
// flips like 0. One flip lasts 1 / flutterSpeed seconds and repeats 500 times.
//
// Construction touches nothing shared, so a generation worker may create the view; everything
// after that (the superview, the flutter) happens on the main thread.

#include "platform/ui/UIView.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class OCConfettiView : public UIView {
public:
    enum FlutterType : std::int64_t {
        FlutterAxisAntiDiagonal = 0,
        FlutterAxisDiagonal = 1,
        FlutterAxisX = 2,
        FlutterAxisY = 3,
    };
    static constexpr const char* kRotationAnimationKey = "OCConfettiRotationAnimation";
    static constexpr float kFlutterRepeatCount = 500;

    // initWithFrame:withFlutterSpeed:flutterType:
    static std::shared_ptr<OCConfettiView> create(CGRect frame, double flutterSpeed,
                                                  std::int64_t flutterType);
    std::string className() const override { return "OCConfettiView"; }

    bool animationAdded() const { return animationAdded_; }
    void setAnimationAdded(bool added) { animationAdded_ = added; }
    double flutterSpeed() const { return flutterSpeed_; }
    void setFlutterSpeed(double speed) { flutterSpeed_ = speed; }
    std::int64_t flutterType() const { return flutterType_; }
    void setFlutterType(std::int64_t type) { flutterType_ = type; }

    // Starts the flutter the first time the view gets a superview.
    void didMoveToSuperview() override;

    // The flip axis of a flutter type.
    static std::array<double, 3> flutterAxis(std::int64_t flutterType);

    // For create only: one allocation for the view and its reference count.
    struct CreationKey {
        explicit CreationKey() = default;
    };
    OCConfettiView(CreationKey, CGRect frame, double flutterSpeed, std::int64_t flutterType)
        : UIView(frame), flutterSpeed_(flutterSpeed), flutterType_(flutterType) {}

private:
    bool animationAdded_ = false;
    double flutterSpeed_;
    std::int64_t flutterType_;
};
