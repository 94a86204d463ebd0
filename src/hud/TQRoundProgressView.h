#pragma once

// A round determinate progress indicator. Annular, it is a thin ring whose progress arc grows
// clockwise from twelve o'clock over a faint track; otherwise it is an outlined circle that a
// 4-point band fills clockwise along its inside edge (a filled sector on pre-7 systems).
//
//     auto pie = TQRoundProgressView::create();   // 37 x 37
//     pie->setProgress(0.25f);                    // redrawn on the next drawing pass
//
// Progress is not clamped: values past 1 sweep past a full turn.

#include "hud/TQProgressIndicatorView.h"

#include <memory>
#include <optional>

class TQRoundProgressView : public TQProgressIndicatorView {
public:
    // `init`: a 37 x 37 view at the origin.
    static std::shared_ptr<TQRoundProgressView> create();
    static std::shared_ptr<TQRoundProgressView> create(CGRect frame);

    std::string className() const override { return "TQRoundProgressView"; }

    // Both colours must not be none: a none colour is a caller error, reported as an assertion.
    const UIColor& progressTintColor() const { return progressTintColor_; }
    void setProgressTintColor(std::optional<UIColor> color);
    const UIColor& backgroundTintColor() const { return backgroundTintColor_; }
    void setBackgroundTintColor(std::optional<UIColor> color);
    bool isAnnular() const { return annular_; }
    void setAnnular(bool annular) { annular_ = annular; }

    CGSize intrinsicContentSize() const override { return CGSizeMake(37, 37); }
    void drawRect(CGRect rect) override;
    // Takes "progressTintColor" and "backgroundTintColor" from the appearance proxies.
    void applyAppearance() override;

protected:
    explicit TQRoundProgressView(CGRect frame);

private:
    void drawAnnular(CGRect bounds, double start, double end) const;
    void drawPie(CGRect bounds, double start, double end) const;

    UIColor progressTintColor_ = UIColor::whiteColor();
    UIColor backgroundTintColor_ = UIColor::colorWithWhite(1, 0.1);
    bool annular_ = false;
};
