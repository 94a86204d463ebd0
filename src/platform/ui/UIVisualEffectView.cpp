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

// One box-blur pass along a line of `count` pixels `step` apart, through a scratch line. The
// window's running sums are divided by a fixed-point reciprocal, and the line's ends repeat its
// first and last pixels.
void blurLine(std::uint32_t* line, int count, int step, int radius, std::vector<std::uint32_t>& scratch) {
    const auto n = static_cast<std::size_t>(count);
    const auto r = static_cast<std::size_t>(radius);
    scratch.resize(n + 2 * r + 1);
    for (std::size_t i = 0; i < r; ++i)
        scratch[i] = line[0];
    for (std::size_t i = 0; i < n; ++i)
        scratch[r + i] = line[i * static_cast<std::size_t>(step)];
    for (std::size_t i = 0; i <= r; ++i)
        scratch[r + n + i] = line[(n - 1) * static_cast<std::size_t>(step)];
    const std::uint64_t window = 2 * r + 1;
    const std::uint64_t reciprocal = ((std::uint64_t{1} << 32) + window / 2) / window;
    std::uint64_t sum[4] = {0, 0, 0, 0};
    auto add = [&](std::uint32_t p, std::uint64_t sign) {
        for (int c = 0; c < 4; ++c)
            sum[c] += sign * ((p >> (8 * c)) & 0xff);
    };
    for (std::size_t i = 0; i < window; ++i)
        add(scratch[i], 1);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t out = 0;
        for (int c = 0; c < 4; ++c)
            out |= static_cast<std::uint32_t>(
                       std::min<std::uint64_t>((sum[c] * reciprocal + (std::uint64_t{1} << 31)) >> 32, 255))
                   << (8 * c);
        line[i * static_cast<std::size_t>(step)] = out;
        // Slide the window: the pixel entering on the right, the one leaving on the left.
        add(scratch[i + window], 1);
        add(scratch[i], ~std::uint64_t{0});
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

void UIVisualEffectView::drawRect(CGRect /*rect*/) {
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
            // Blur at a reduced resolution: a blur this wide loses nothing to it, and the work
            // falls with the square of the factor. The region is averaged down block by block,
            // blurred, and scaled back up smoothly.
            const int factor = std::clamp(radius / 3, 1, 8);
            const int sw = (w + factor - 1) / factor, sh = (h + factor - 1) / factor;
            cairo_surface_t* small = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, sw, sh);
            const int srcStride = cairo_image_surface_get_stride(target);
            const unsigned char* src = cairo_image_surface_get_data(target);
            unsigned char* dst = cairo_image_surface_get_data(small);
            if (src && dst) {
                const int smallStride = cairo_image_surface_get_stride(small) / 4;
                auto* out = reinterpret_cast<std::uint32_t*>(dst);
                std::vector<std::uint32_t> sums(static_cast<std::size_t>(sw) * 4);
                for (int sy = 0; sy < sh; ++sy) {
                    std::fill(sums.begin(), sums.end(), 0);
                    const int rowEnd = std::min(h, (sy + 1) * factor);
                    for (int y = sy * factor; y < rowEnd; ++y) {
                        const auto* row = reinterpret_cast<const std::uint32_t*>(
                                              src + static_cast<std::size_t>(y0 + y) * srcStride) +
                                          x0;
                        for (int x = 0; x < w; ++x) {
                            std::uint32_t p = row[x];
                            std::uint32_t* sum = &sums[static_cast<std::size_t>(x / factor) * 4];
                            sum[0] += p & 0xff, sum[1] += (p >> 8) & 0xff, sum[2] += (p >> 16) & 0xff,
                                sum[3] += p >> 24;
                        }
                    }
                    for (int sx = 0; sx < sw; ++sx) {
                        const std::uint32_t count = static_cast<std::uint32_t>(
                            (rowEnd - sy * factor) * (std::min(w, (sx + 1) * factor) - sx * factor));
                        const std::uint32_t* sum = &sums[static_cast<std::size_t>(sx) * 4];
                        std::uint32_t p = 0;
                        for (int c = 0; c < 4; ++c)
                            p |= ((sum[c] + count / 2) / count) << (8 * c);
                        out[static_cast<std::size_t>(sy) * smallStride + sx] = p;
                    }
                }
                UIBoxBlurPixels(
                    {out, static_cast<std::size_t>(smallStride) * sh}, sw, sh, smallStride,
                    std::max(1, static_cast<int>(std::lround(static_cast<double>(radius) / factor))));
                cairo_surface_mark_dirty(small);
                // Paint the blurred backdrop back in device space, scaled up smoothly, clipped to
                // the bounds.
                cairo_save(cr);
                cairo_rectangle(cr, b.minX(), b.minY(), b.width(), b.height());
                cairo_clip(cr);
                cairo_identity_matrix(cr);
                cairo_translate(cr, x0, y0);
                cairo_scale(cr, factor, factor);
                cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
                cairo_set_source_surface(cr, small, 0, 0);
                cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
                cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
                cairo_paint(cr);
                cairo_restore(cr);
            }
            cairo_surface_destroy(small);
        }
    }
}
