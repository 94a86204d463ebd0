#pragma once

// A view that shows a blur of whatever lies behind it, tinted by its effect. The blur is a real
// backdrop blur: while drawing, the view reads the pixels that the views behind it have already
// put on the target surface under its own area, blurs them (three box-blur passes, close to a
// Gaussian) and paints them back, clipped to its bounds, with the effect's tint over them. So it
// works in any renderer that paints back to front into one surface; when drawn into an empty
// offscreen group it blurs nothing and shows only the tint.
//
//     auto blur = UIVisualEffectView::create(UIBlurEffect::effectWithStyle(UIBlurEffectStyleLight));
//     blur->setFrame(parent->bounds());
//     parent->addSubview(blur);

#include "platform/graphics/BoxBlur.h"
#include "platform/graphics/CGContext.h"
#include "platform/ui/UIBlurEffect.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

// The last blur a backdrop drew, kept by whoever draws it again and again (a visual effect view)
// so that a frame whose backdrop did not change under it skips the blur passes. It is keyed on
// what the blur depends on: the backdrop averaged down, and the passes run over it. The backdrop
// as read is kept too: a frame that reads the very pixels of the last one skips averaging it down,
// comparing being far cheaper than averaging.
class UIBackdropBlurCache {
public:
    UIBackdropBlurCache() = default;
    UIBackdropBlurCache(const UIBackdropBlurCache&) = delete;
    UIBackdropBlurCache& operator=(const UIBackdropBlurCache&) = delete;
    ~UIBackdropBlurCache();

    // The blurred backdrop at the reduced size of `plan`, an image this cache owns and keeps
    // until the next call; null when `region` cannot be read or no image can be made.
    cairo_surface_t* blur(const CGPixelRegion& region, const CGBackdropBlurPlan& plan);
    // Whether `blur` would answer its last image without blurring: the same backdrop, reduced and
    // blurred the same way.
    bool holds(const CGPixelRegion& region, const CGBackdropBlurPlan& plan) const;

private:
    // Whether `region` holds, row by row, the pixels kept in `backdrop_`.
    bool sameBackdrop(const CGPixelRegion& region) const;

    std::vector<std::uint32_t> backdrop_; // the last region read, rows packed
    int backdropWidth_ = 0, backdropHeight_ = 0;
    int factor_ = 0;
    std::vector<std::uint32_t> reduced_;
    std::vector<std::uint32_t> input_;
    std::array<int, 3> radii_{};
    cairo_surface_t* output_ = nullptr;
};

class UIVisualEffectView : public UIView {
public:
    static std::shared_ptr<UIVisualEffectView> create(std::shared_ptr<UIBlurEffect> effect);

    std::string className() const override { return "UIVisualEffectView"; }

    const std::shared_ptr<UIBlurEffect>& effect() const { return effect_; }
    void setEffect(std::shared_ptr<UIBlurEffect> effect);

    void drawRect(CGRect rect) override;
    bool drawsContent() const override { return static_cast<bool>(effect_); }

protected:
    explicit UIVisualEffectView(std::shared_ptr<UIBlurEffect> effect);
    void commonInit() override;

private:
    // The pixels the last drawing left under the bounds, blurred and tinted, with what they
    // depend on besides the backdrop: the clip, the transform, the effect and the drawing state.
    // A drawing with the same key over the backdrop kept in blurCache_ leaves the same pixels.
    struct DrawnPixels {
        std::vector<double> key;
        int x = 0, y = 0, width = 0, height = 0;
        std::vector<std::uint32_t> pixels;
    };

    std::shared_ptr<UIBlurEffect> effect_;
    UIBackdropBlurCache blurCache_;
    DrawnPixels drawn_;
};

// Replaces what lies on the context's target surface under `rect` (the context's coordinates) by
// its blur, `blurRadius` points wide (about three standard deviations of a Gaussian). Does nothing
// on a surface it cannot read. With a cache, an unchanged backdrop reuses the last blur.
void UIDrawBackdropBlur(const CGContextRef& ctx, CGRect rect, double blurRadius,
                        UIBackdropBlurCache* cache = nullptr);

// Blurs premultiplied 32-bit pixels in place: `passes` horizontal and vertical box blurs of the
// given radius in pixels. Pure, so tests reach it without a screen.
void UIBoxBlurPixels(std::span<std::uint32_t> pixels, int width, int height, int stride, int radius,
                     int passes = 3);
