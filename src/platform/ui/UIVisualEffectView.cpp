#include "platform/ui/UIVisualEffectView.h"

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

namespace {

// One box-blur pass along a line of `count` pixels `step` apart, through a scratch line.
void blurLine(std::uint32_t* line, int count, int step, int radius, std::vector<std::uint32_t>& scratch) {
    scratch.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        scratch[static_cast<std::size_t>(i)] = line[i * step];
    const int window = 2 * radius + 1;
    std::uint32_t sum[4] = {0, 0, 0, 0};
    auto channel = [](std::uint32_t p, int c) { return (p >> (8 * c)) & 0xff; };
    auto at = [&](int i) { return scratch[static_cast<std::size_t>(std::clamp(i, 0, count - 1))]; };
    for (int i = -radius; i <= radius; ++i)
        for (int c = 0; c < 4; ++c)
            sum[c] += channel(at(i), c);
    for (int i = 0; i < count; ++i) {
        std::uint32_t out = 0;
        for (int c = 0; c < 4; ++c)
            out |= ((sum[c] + static_cast<std::uint32_t>(window / 2)) / static_cast<std::uint32_t>(window))
                   << (8 * c);
        line[i * step] = out;
        for (int c = 0; c < 4; ++c)
            sum[c] += channel(at(i + radius + 1), c) - channel(at(i - radius), c);
    }
}

} // namespace

void UIBoxBlurPixels(std::span<std::uint32_t> pixels, int width, int height, int stride, int radius,
                     int passes) {
    if (width <= 0 || height <= 0 || radius <= 0 || pixels.size() < static_cast<std::size_t>(stride) * height)
        return;
    std::vector<std::uint32_t> scratch;
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < height; ++y)
            blurLine(pixels.data() + static_cast<std::size_t>(y) * stride, width, 1, radius, scratch);
        for (int x = 0; x < width; ++x)
            blurLine(pixels.data() + x, height, stride, radius, scratch);
    }
}

void UIVisualEffectView::drawRect(CGRect rect) {
    CGContextRef ctx = CGContext::current();
    if (!ctx || !effect_)
        return;
    UIDrawBackdropBlur(ctx, bounds(), effect_->blurRadius());
    CGContextSetFillColorWithColor(ctx, effect_->tintColor().rgba);
    CGContextFillRect(ctx, bounds());
}

void UIDrawBackdropBlur(const CGContextRef& ctx, CGRect b, double blurRadius) {
    if (!ctx)
        return;
    cairo_t* cr = ctx->cairo();
    // The surface the views behind were painted on; with offscreen groups pushed, the base target
    // still holds everything drawn before them.
    cairo_surface_t* target = cairo_get_target(cr);
    if (target && cairo_surface_get_type(target) == CAIRO_SURFACE_TYPE_IMAGE &&
        cairo_image_surface_get_format(target) == CAIRO_FORMAT_ARGB32) {
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
        const double scale = std::hypot(ux, uy);
        const int radius = std::max(1, static_cast<int>(std::lround(blurRadius * scale / 3)));
        const int surfaceW = cairo_image_surface_get_width(target);
        const int surfaceH = cairo_image_surface_get_height(target);
        // Read a margin of one blur radius around the box, so edges blur with their neighbours.
        const int x0 = std::clamp(static_cast<int>(std::floor(minX)) - 3 * radius, 0, surfaceW);
        const int y0 = std::clamp(static_cast<int>(std::floor(minY)) - 3 * radius, 0, surfaceH);
        const int x1 = std::clamp(static_cast<int>(std::ceil(maxX)) + 3 * radius, 0, surfaceW);
        const int y1 = std::clamp(static_cast<int>(std::ceil(maxY)) + 3 * radius, 0, surfaceH);
        if (x1 > x0 && y1 > y0) {
            cairo_surface_flush(target);
            const int w = x1 - x0, h = y1 - y0;
            cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
            const int srcStride = cairo_image_surface_get_stride(target);
            const int dstStride = cairo_image_surface_get_stride(copy);
            const unsigned char* src = cairo_image_surface_get_data(target);
            unsigned char* dst = cairo_image_surface_get_data(copy);
            if (src && dst) {
                for (int y = 0; y < h; ++y)
                    std::copy_n(src + static_cast<std::size_t>(y0 + y) * srcStride + x0 * 4, w * 4,
                                dst + static_cast<std::size_t>(y) * dstStride);
                UIBoxBlurPixels(
                    {reinterpret_cast<std::uint32_t*>(dst), static_cast<std::size_t>(dstStride / 4) * h}, w,
                    h, dstStride / 4, radius);
                cairo_surface_mark_dirty(copy);
                // Paint the blurred backdrop back in device space, clipped to the bounds.
                cairo_save(cr);
                cairo_rectangle(cr, b.minX(), b.minY(), b.width(), b.height());
                cairo_clip(cr);
                cairo_identity_matrix(cr);
                cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
                cairo_set_source_surface(cr, copy, x0, y0);
                cairo_paint(cr);
                cairo_restore(cr);
            }
            cairo_surface_destroy(copy);
        }
    }
}
