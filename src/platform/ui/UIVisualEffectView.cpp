#include "platform/ui/UIVisualEffectView.h"

#include "platform/graphics/BoxBlur.h"
#include "platform/graphics/CGContext.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <vector>

std::shared_ptr<UIVisualEffectView> UIVisualEffectView::create(std::shared_ptr<UIBlurEffect> effect) {
    auto v = std::shared_ptr<UIVisualEffectView>(new UIVisualEffectView(std::move(effect)));
    v->commonInit();
    return v;
}

UIVisualEffectView::UIVisualEffectView(std::shared_ptr<UIBlurEffect> effect)
    : UIView(CGRectZero), effect_(std::move(effect)) {}

void UIVisualEffectView::commonInit() {
    UIView::commonInit();
    setOpaque(false);
}

void UIVisualEffectView::setEffect(std::shared_ptr<UIBlurEffect> effect) {
    effect_ = std::move(effect);
    setNeedsDisplay();
}

void UIBoxBlurPixels(std::span<std::uint32_t> pixels, int width, int height, int stride, int radius,
                     int passes) {
    if (radius <= 0 || passes <= 0)
        return;
    const std::vector<int> radii(static_cast<std::size_t>(passes), radius);
    CGBoxBlurPixels({pixels.data(), width, height, stride}, pixels.size(), radii);
}

void UIVisualEffectView::drawRect(CGRect /*rect*/) {
    CGContextRef ctx = CGContext::current();
    if (!ctx || !effect_)
        return;
    UIDrawBackdropBlur(ctx, bounds(), effect_->blurRadius(), &blurCache_);
    CGContextSetFillColorWithColor(ctx, effect_->tintColor().rgba);
    CGContextFillRect(ctx, bounds());
}

void UIDrawBackdropBlur(const CGContextRef& ctx, CGRect b, double blurRadius, UIBackdropBlurCache* cache) {
    if (!ctx)
        return;
    cairo_t* cr = ctx->cairo();
    // The surface the views behind were painted on; with offscreen groups pushed, the base target
    // still holds everything drawn before them.
    cairo_surface_t* target = cairo_get_target(cr);
    if (!target || cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(target) != CAIRO_FORMAT_ARGB32)
        return;
    // The device-pixel box of the view's bounds.
    double xs[4] = {b.minX(), b.maxX(), b.minX(), b.maxX()};
    double ys[4] = {b.minY(), b.minY(), b.maxY(), b.maxY()};
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (int i = 0; i < 4; ++i) {
        cairo_user_to_device(cr, &xs[i], &ys[i]);
        minX = std::min(minX, xs[i]), maxX = std::max(maxX, xs[i]);
        minY = std::min(minY, ys[i]), maxY = std::max(maxY, ys[i]);
    }
    double ux = 1, uy = 0;
    cairo_user_to_device_distance(cr, &ux, &uy);
    // The blur radius in points spans about three standard deviations of the Gaussian.
    const CGBackdropBlurPlan plan = CGBackdropBlurPlanForSigma(blurRadius * std::hypot(ux, uy) / 3);
    if (plan.margin <= 0 || !std::isfinite(minX + minY + maxX + maxY))
        return;
    const int surfaceW = cairo_image_surface_get_width(target);
    const int surfaceH = cairo_image_surface_get_height(target);
    // Read a margin around the box, so its edges blur with their neighbours.
    auto clampTo = [](double v, int limit) { return static_cast<int>(std::clamp(v, 0.0, double(limit))); };
    const int x0 = clampTo(std::floor(minX) - plan.margin, surfaceW);
    const int y0 = clampTo(std::floor(minY) - plan.margin, surfaceH);
    const int x1 = clampTo(std::ceil(maxX) + plan.margin, surfaceW);
    const int y1 = clampTo(std::ceil(maxY) + plan.margin, surfaceH);
    if (x1 <= x0 || y1 <= y0)
        return;
    cairo_surface_flush(target);
    auto* src = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(target));
    if (!src)
        return;
    const int f = plan.factor;
    const CGPixelRegion region{
        src + static_cast<std::size_t>(y0) * (cairo_image_surface_get_stride(target) / 4) + x0, x1 - x0,
        y1 - y0, cairo_image_surface_get_stride(target) / 4};
    UIBackdropBlurCache scratch;
    UIBackdropBlurCache& blurred = cache ? *cache : scratch;
    cairo_surface_t* small = blurred.blur(region, plan);
    if (!small)
        return;
    // Paint the blurred backdrop back in device space, scaled up smoothly, clipped to the bounds.
    cairo_save(cr);
    cairo_rectangle(cr, b.minX(), b.minY(), b.width(), b.height());
    cairo_clip(cr);
    cairo_identity_matrix(cr);
    cairo_translate(cr, x0, y0);
    cairo_scale(cr, f, f);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, small, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    cairo_restore(cr);
}

UIBackdropBlurCache::~UIBackdropBlurCache() {
    if (output_)
        cairo_surface_destroy(output_);
}

bool UIBackdropBlurCache::sameBackdrop(const CGPixelRegion& region) const {
    if (region.width != backdropWidth_ || region.height != backdropHeight_ || !region.data)
        return false;
    const auto row = static_cast<std::size_t>(region.width);
    for (int y = 0; y < region.height; ++y)
        if (!std::equal(region.data + static_cast<std::size_t>(y) * region.stride,
                        region.data + static_cast<std::size_t>(y) * region.stride + row,
                        backdrop_.data() + static_cast<std::size_t>(y) * row))
            return false;
    return true;
}

cairo_surface_t* UIBackdropBlurCache::blur(const CGPixelRegion& region, const CGBackdropBlurPlan& plan) {
    const int f = plan.factor;
    const int sw = (region.width + f - 1) / f, sh = (region.height + f - 1) / f;
    // The very backdrop of the last blur, blurred the same way, gives the same image.
    if (output_ && f == factor_ && plan.radii == radii_ && sameBackdrop(region))
        return output_;
    reduced_.resize(static_cast<std::size_t>(sw) * sh);
    const CGPixelRegion reduced{reduced_.data(), sw, sh, sw};
    if (!CGDownsamplePixels(region, f, reduced))
        return nullptr;
    // Kept before anything below can fail: the next frame compares with what this one read.
    backdropWidth_ = 0; // no backdrop kept until the copy is whole
    backdrop_.resize(static_cast<std::size_t>(region.width) * region.height);
    for (int y = 0; y < region.height; ++y)
        std::copy_n(region.data + static_cast<std::size_t>(y) * region.stride, region.width,
                    backdrop_.data() + static_cast<std::size_t>(y) * region.width);
    backdropWidth_ = region.width;
    backdropHeight_ = region.height;
    factor_ = f;
    // The blur depends only on the reduced backdrop and the passes run over it: when both are
    // what they were last time, the blurred image from then is still right.
    if (output_ && reduced_ == input_ && plan.radii == radii_ &&
        cairo_image_surface_get_width(output_) == sw && cairo_image_surface_get_height(output_) == sh)
        return output_;
    if (!output_ || cairo_image_surface_get_width(output_) != sw ||
        cairo_image_surface_get_height(output_) != sh) {
        if (output_)
            cairo_surface_destroy(output_);
        output_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, sw, sh);
    }
    auto* out = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(output_));
    if (cairo_surface_status(output_) != CAIRO_STATUS_SUCCESS || !out) {
        cairo_surface_destroy(output_);
        output_ = nullptr;
        return nullptr;
    }
    cairo_surface_flush(output_);
    const int stride = cairo_image_surface_get_stride(output_) / 4;
    for (int y = 0; y < sh; ++y)
        std::copy_n(reduced_.data() + static_cast<std::size_t>(y) * sw, sw,
                    out + static_cast<std::size_t>(y) * stride);
    CGBoxBlurPixels({out, sw, sh, stride}, static_cast<std::size_t>(stride) * sh, plan.radii);
    cairo_surface_mark_dirty(output_);
    input_.swap(reduced_);
    radii_ = plan.radii;
    return output_;
}
