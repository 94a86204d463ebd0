#pragma once

// A horizontal, capsule-shaped determinate progress bar: a capsule outline inset 2 points from the
// edges, filled with the remaining colour, and a progress fill from the left 2 points inside it.
//
//     auto bar = TQBarProgressView::create();   // 120 x 20
//     bar->setProgress(0.5f);
//
// Progress is not clamped; past 1 the fill stops at the right end.

#include "hud/TQProgressIndicatorView.h"

#include <memory>
#include <optional>

class TQBarProgressView : public TQProgressIndicatorView {
public:
    // `init`: a 120 x 20 view at the origin.
    static std::shared_ptr<TQBarProgressView> create();
    static std::shared_ptr<TQBarProgressView> create(CGRect frame);

    std::string className() const override { return "TQBarProgressView"; }

    // The outline colour; a plain store (none leaves the outline unstroked). No redraw by itself.
    const std::optional<UIColor>& lineColor() const { return lineColor_; }
    void setLineColor(std::optional<UIColor> color) { lineColor_ = color; }
    // Must not be none (a caller error, reported as an assertion).
    const UIColor& progressRemainingColor() const { return progressRemainingColor_; }
    void setProgressRemainingColor(std::optional<UIColor> color);
    const UIColor& progressColor() const { return progressColor_; }
    void setProgressColor(std::optional<UIColor> color);

    // 120 x 10, or 120 x 20 on a pre-7 system.
    CGSize intrinsicContentSize() const override;
    void drawRect(CGRect rect) override;
    // Takes "progressColor" and "lineColor" from the appearance proxies.
    void applyAppearance() override;

protected:
    explicit TQBarProgressView(CGRect frame);

private:
    std::optional<UIColor> lineColor_ = UIColor::whiteColor();
    UIColor progressRemainingColor_ = UIColor::clearColor();
    UIColor progressColor_ = UIColor::whiteColor();
};
