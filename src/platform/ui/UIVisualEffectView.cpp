#include "platform/ui/UIVisualEffectView.h"

#include "platform/graphics/BoxBlur.h"
#include "platform/graphics/CGContext.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <optional>
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

namespace {
// Where a backdrop blur of a rectangle reads and paints, in the target's device pixels.
struct BackdropArea {
    cairo_surface_t* target = nullptr;
    CGBackdropBlurPlan plan;
    int x0 = 0, y0 = 0;   // the origin of the region read
    CGPixelRegion region; // the backdrop read: the box and a margin around it, within the surface
    int boxX0 = 0, boxY0 = 0, boxX1 = 0, boxY1 = 0; // the rectangle's pixels, rounded out, within the surface
};

// The area a blur of `b` (the context's coordinates) reads on the context's target surface, with
// the target flushed for reading; nothing when the surface cannot be read or nothing would blur.
std::optional<BackdropArea> backdropArea(cairo_t* cr, CGRect b, double blurRadius) {
    // The surface the views behind were painted on; with offscreen groups pushed, the base target
    // still holds everything drawn before them.
    cairo_surface_t* target = cairo_get_target(cr);
    if (!target || cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(target) != CAIRO_FORMAT_ARGB32)
        return std::nullopt;
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
    BackdropArea area;
    area.target = target;
    // The blur radius in points spans about three standard deviations of the Gaussian.
    area.plan = CGBackdropBlurPlanForSigma(blurRadius * std::hypot(ux, uy) / 3);
    if (area.plan.margin <= 0 || !std::isfinite(minX + minY + maxX + maxY))
        return std::nullopt;
    const int surfaceW = cairo_image_surface_get_width(target);
    const int surfaceH = cairo_image_surface_get_height(target);
    // Read a margin around the box, so its edges blur with their neighbours.
    auto clampTo = [](double v, int limit) { return static_cast<int>(std::clamp(v, 0.0, double(limit))); };
    const int margin = area.plan.margin;
    area.x0 = clampTo(std::floor(minX) - margin, surfaceW);
    area.y0 = clampTo(std::floor(minY) - margin, surfaceH);
    const int x1 = clampTo(std::ceil(maxX) + margin, surfaceW);
    const int y1 = clampTo(std::ceil(maxY) + margin, surfaceH);
    if (x1 <= area.x0 || y1 <= area.y0)
        return std::nullopt;
    area.boxX0 = clampTo(std::floor(minX), surfaceW);
    area.boxY0 = clampTo(std::floor(minY), surfaceH);
    area.boxX1 = clampTo(std::ceil(maxX), surfaceW);
    area.boxY1 = clampTo(std::ceil(maxY), surfaceH);
    cairo_surface_flush(target);
    auto* src = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(target));
    if (!src)
        return std::nullopt;
    const int stride = cairo_image_surface_get_stride(target) / 4;
    area.region = {src + static_cast<std::size_t>(area.y0) * stride + area.x0, x1 - area.x0, y1 - area.y0,
                   stride};
    return area;
}

// Paints the blurred backdrop back in device space, scaled up smoothly, clipped to `b`.
void paintBlurred(cairo_t* cr, CGRect b, const BackdropArea& area, cairo_surface_t* small) {
    const int f = area.plan.factor;
    cairo_save(cr);
    cairo_rectangle(cr, b.minX(), b.minY(), b.width(), b.height());
    cairo_clip(cr);
    cairo_identity_matrix(cr);
    cairo_translate(cr, area.x0, area.y0);
    cairo_scale(cr, f, f);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, small, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    cairo_restore(cr);
}

// Everything a visual effect view's drawing depends on besides the backdrop it reads.
std::vector<double> drawingKey(const CGContext& ctx, const std::vector<double>& clip, CGRect b,
                               const UIBlurEffect& effect, const BackdropArea& area) {
    cairo_matrix_t m;
    cairo_get_matrix(ctx.cairo(), &m);
    const CGContext::State& state = ctx.state();
    const CGColor tint = effect.tintColor().rgba;
    std::vector<double> key{m.xx,
                            m.yx,
                            m.xy,
                            m.yy,
                            m.x0,
                            m.y0,
                            b.minX(),
                            b.minY(),
                            b.width(),
                            b.height(),
                            effect.blurRadius(),
                            tint.r,
                            tint.g,
                            tint.b,
                            tint.a,
                            state.alpha,
                            static_cast<double>(state.blendMode),
                            state.antialias ? 1.0 : 0.0,
                            state.flattened ? 1.0 : 0.0,
                            static_cast<double>(cairo_image_surface_get_width(area.target)),
                            static_cast<double>(cairo_image_surface_get_height(area.target)),
                            static_cast<double>(area.x0),
                            static_cast<double>(area.y0),
                            static_cast<double>(area.region.width),
                            static_cast<double>(area.region.height)};
    key.insert(key.end(), clip.begin(), clip.end());
    return key;
}

// Copies the pixels of a box of the image at `pixels` (`stride` pixels a row) to or from `kept`.
void copyBox(std::uint32_t* pixels, int stride, int x, int y, int width, int height, std::uint32_t* kept,
             bool toImage) {
    for (int row = 0; row < height; ++row) {
        std::uint32_t* image = pixels + static_cast<std::size_t>(y + row) * stride + x;
        std::uint32_t* copy = kept + static_cast<std::size_t>(row) * width;
        if (toImage)
            std::copy_n(copy, width, image);
        else
            std::copy_n(image, width, copy);
    }
}
} // namespace

void UIVisualEffectView::drawRect(CGRect /*rect*/) {
    CGContextRef ctx = CGContext::current();
    if (!ctx || !effect_)
        return;
    const CGRect b = bounds();
    const std::vector<double>* clip = ctx->clipDescription();
    std::optional<BackdropArea> area;
    if (clip && cairo_status(ctx->cairo()) == CAIRO_STATUS_SUCCESS)
        area = backdropArea(ctx->cairo(), b, effect_->blurRadius());
    if (!area) {
        // The blur below may keep another backdrop; the pixels kept belong to the one before.
        drawn_.key.clear();
        UIDrawBackdropBlur(ctx, b, effect_->blurRadius(), &blurCache_);
        CGContextSetFillColorWithColor(ctx, effect_->tintColor().rgba);
        CGContextFillRect(ctx, b);
        return;
    }
    // Drawn straight to the target under a known clip: the same backdrop under the same clip,
    // transform and effect comes out as the same pixels, which the last drawing kept.
    std::vector<double> key = drawingKey(*ctx, *clip, b, *effect_, *area);
    auto* pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(area->target));
    const int stride = cairo_image_surface_get_stride(area->target) / 4;
    if (!drawn_.key.empty() && drawn_.key == key && blurCache_.holds(area->region, area->plan)) {
        CGContextSetFillColorWithColor(ctx, effect_->tintColor().rgba);
        copyBox(pixels, stride, drawn_.x, drawn_.y, drawn_.width, drawn_.height, drawn_.pixels.data(), true);
        cairo_surface_mark_dirty(area->target);
        return;
    }
    drawn_.key.clear();
    cairo_surface_t* small = blurCache_.blur(area->region, area->plan);
    if (small)
        paintBlurred(ctx->cairo(), b, *area, small);
    CGContextSetFillColorWithColor(ctx, effect_->tintColor().rgba);
    CGContextFillRect(ctx, b);
    if (!small || cairo_status(ctx->cairo()) != CAIRO_STATUS_SUCCESS)
        return;
    cairo_surface_flush(area->target);
    drawn_.x = area->boxX0;
    drawn_.y = area->boxY0;
    drawn_.width = area->boxX1 - area->boxX0;
    drawn_.height = area->boxY1 - area->boxY0;
    drawn_.pixels.resize(static_cast<std::size_t>(drawn_.width) * drawn_.height);
    copyBox(pixels, stride, drawn_.x, drawn_.y, drawn_.width, drawn_.height, drawn_.pixels.data(), false);
    drawn_.key = std::move(key);
}

void UIDrawBackdropBlur(const CGContextRef& ctx, CGRect b, double blurRadius, UIBackdropBlurCache* cache) {
    if (!ctx)
        return;
    cairo_t* cr = ctx->cairo();
    const std::optional<BackdropArea> area = backdropArea(cr, b, blurRadius);
    if (!area)
        return;
    UIBackdropBlurCache scratch;
    UIBackdropBlurCache& blurred = cache ? *cache : scratch;
    if (cairo_surface_t* small = blurred.blur(area->region, area->plan))
        paintBlurred(cr, b, *area, small);
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

bool UIBackdropBlurCache::holds(const CGPixelRegion& region, const CGBackdropBlurPlan& plan) const {
    return output_ && plan.factor == factor_ && plan.radii == radii_ && sameBackdrop(region);
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
