#pragma once

// The custom view that the simulator's `hud mode 4` puts in a HUD which has none of its own: a
// 37 × 37 point check mark drawn in the view's tint colour, the picture a caller typically shows
// when work has finished. The HUD tints it with its content colour like any custom indicator.

#include "platform/ui/UIView.h"

#include <memory>

class SimCheckmarkView : public UIView {
    struct Private {};

public:
    static constexpr double kSide = 37;

    static std::shared_ptr<SimCheckmarkView> create();
    explicit SimCheckmarkView(Private) : UIView(CGRectMake(0, 0, kSide, kSide)) {}

    std::string className() const override { return "SimCheckmarkView"; }
    CGSize intrinsicContentSize() const override { return CGSizeMake(kSide, kSide); }
    bool drawsContent() const override { return true; }
    void drawRect(CGRect rect) override;
};
