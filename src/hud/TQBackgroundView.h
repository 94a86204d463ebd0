#pragma once

// A rectangular backdrop that shows its colour either flat or behind a blur. The HUD uses one as
// the full-screen dimming layer and one as the rounded bezel that holds its content.
//
//     auto bezel = TQBackgroundView::create();          // blurred, light grey, on current systems
//     bezel->setStyle(TQBackgroundStyleFlat);
//     bezel->setColor(UIColor::colorWithWhite(0, 0.8));
//
// The blurred style puts one blur layer over the view's own background colour: a blur view on
// current systems, a translucent toolbar (enlarged 100 points on every side, clipped by the
// view) before iOS 8. Before iOS 7 there is no blur at all and the style stays flat.

#include "platform/ui/UIToolbar.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIVisualEffectView.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

enum TQBackgroundStyle : std::int64_t {
    TQBackgroundStyleFlat = 0,
    TQBackgroundStyleBlurred = 1,
};

class TQBackgroundView : public UIView {
public:
    // `init` is `initWithFrame:` with an empty frame.
    static std::shared_ptr<TQBackgroundView> create(CGRect frame = CGRectZero);

    std::string className() const override { return "TQBackgroundView"; }

    std::int64_t style() const { return style_; }
    void setStyle(std::int64_t style);
    std::int64_t blurEffectStyle() const { return blurEffectStyle_; }
    void setBlurEffectStyle(std::int64_t style);
    const UIColor& color() const { return color_; }
    // Must not be none (a caller error, reported as an assertion).
    void setColor(std::optional<UIColor> color);

    // No size of its own: it always comes from the frame or the constraints.
    CGSize intrinsicContentSize() const override { return CGSizeZero; }
    void layoutSubviews() override;

    // Internal: rebuild the blur layer for the current style, and apply a new colour to whatever
    // shows it. The held layers are read and written atomically.
    void updateForBackgroundStyle();
    void updateViewsForColor(const UIColor& color);
    std::shared_ptr<UIVisualEffectView> effectView() const { return effectView_.load(); }
    void setEffectView(std::shared_ptr<UIVisualEffectView> view) { effectView_.store(std::move(view)); }
    std::shared_ptr<UIToolbar> toolbar() const { return toolbar_.load(); }
    void setToolbar(std::shared_ptr<UIToolbar> toolbar) { toolbar_.store(std::move(toolbar)); }

protected:
    explicit TQBackgroundView(CGRect frame) : UIView(frame) {}
    void commonInit() override;

private:
    std::int64_t style_ = TQBackgroundStyleFlat;
    std::int64_t blurEffectStyle_ = 0;
    UIColor color_ = UIColor::blackColor();
    std::atomic<std::shared_ptr<UIVisualEffectView>> effectView_;
    std::atomic<std::shared_ptr<UIToolbar>> toolbar_;
};
