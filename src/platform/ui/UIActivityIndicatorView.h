#pragma once

// The platform's spinning activity indicator: twelve spokes whose brightness runs round once a
// second while it animates. The large white style is 37 x 37 points, the others 20 x 20.
//
//     auto spinner = UIActivityIndicatorView::create(UIActivityIndicatorViewStyleWhiteLarge);
//     spinner->startAnimating();
//
// While animating it follows the main run loop's frames (only the latest one before anything
// looks: see FrameCadence::LatestFrame) and redraws when the lit spoke moves; stopped, it costs
// nothing.

#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <memory>
#include <optional>

enum UIActivityIndicatorViewStyle : std::int64_t {
    UIActivityIndicatorViewStyleWhiteLarge = 0,
    UIActivityIndicatorViewStyleWhite = 1,
    UIActivityIndicatorViewStyleGray = 2,
};

class UIActivityIndicatorView : public UIView {
public:
    static std::shared_ptr<UIActivityIndicatorView>
    create(std::int64_t style = UIActivityIndicatorViewStyleWhite);

    std::string className() const override { return "UIActivityIndicatorView"; }

    std::int64_t activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(std::int64_t style);
    // The spokes' colour; none means the style's (white, or grey for the grey style).
    const std::optional<UIColor>& color() const { return color_; }
    void setColor(std::optional<UIColor> color);
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize) const override { return intrinsicContentSize(); }
    // Takes "color" from the appearance proxies.
    void applyAppearance() override;
    void drawRect(CGRect rect) override;
    bool drawsContent() const override { return true; }

protected:
    explicit UIActivityIndicatorView(std::int64_t style);

private:
    std::int64_t style_;
    std::optional<UIColor> color_;
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
    int phase_ = 0;
    FrameSubscription frames_;
};
