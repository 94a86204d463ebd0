#include "platform/ui/UIRenderer.h"

#include "platform/foundation/NSLog.h"
#include "platform/ui/UIMotionEffect.h"
#include "platform/ui/layers/CALayer.h"

#include <cairo.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace {
// A rectangle in device pixels, as the bounds of what a view can touch.
struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return !(x1 > x0 && y1 > y0); }
    bool intersects(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
    void unite(const Box& o) {
        if (o.empty())
            return;
        if (empty()) {
            *this = o;
            return;
        }
        x0 = std::min(x0, o.x0), y0 = std::min(y0, o.y0), x1 = std::max(x1, o.x1), y1 = std::max(y1, o.y1);
    }
    Box intersection(const Box& o) const {
        Box r{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
        return r.empty() ? Box{} : r;
    }
    Box roundedOut() const { return {std::floor(x0), std::floor(y0), std::ceil(x1), std::ceil(y1)}; }
};

bool finiteRect(const CGRect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

bool usable(const cairo_matrix_t& m) {
    double det = m.xx * m.yy - m.yx * m.xy;
    return std::isfinite(m.xx) && std::isfinite(m.yx) && std::isfinite(m.xy) && std::isfinite(m.yy) &&
           std::isfinite(m.x0) && std::isfinite(m.y0) && std::isfinite(det) && std::abs(det) > 1e-12;
}

Box deviceBox(const CGRect& r, const cairo_matrix_t& m) {
    double xs[4] = {r.minX(), r.maxX(), r.maxX(), r.minX()};
    double ys[4] = {r.minY(), r.minY(), r.maxY(), r.maxY()};
    Box b{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (int i = 0; i < 4; ++i) {
        cairo_matrix_transform_point(&m, &xs[i], &ys[i]);
        b.x0 = std::min(b.x0, xs[i]), b.y0 = std::min(b.y0, ys[i]);
        b.x1 = std::max(b.x1, xs[i]), b.y1 = std::max(b.y1, ys[i]);
    }
    return b;
}

bool clips(const UIView& v) {
    return v.clipsToBounds() || v.layer()->masksToBounds();
}

// Views are drawn as they are on screen now: the in-flight values of running animations.
bool visible(const UIView& v) {
    return !v.isHidden() && v.presentationAlpha() > 0 && finiteRect(v.presentationBounds());
}

// The matrix from a subview's coordinates to its superview's: the bounds' centre goes to the
// view's centre through the layer transform, projected onto the screen plane. The centre is
// displaced by the view's motion effects at the device's current tilt; like the platform's
// presentation layer, this moves the picture and leaves the view's model values alone.
bool localMatrix(const UIView& v, cairo_matrix_t& out) {
    CGRect b = v.presentationBounds();
    CGPoint c = v.presentationCenter();
    if (!v.motionEffects().empty()) {
        CGPoint shift = UIMotionEffect::centerOffsetForView(v);
        c.x += shift.x;
        c.y += shift.y;
    }
    if (!std::isfinite(c.x) || !std::isfinite(c.y))
        return false;
    CGAffineTransform t = CATransform3DGetAffineTransform(v.presentationTransform());
    cairo_matrix_t toCentre, transform, toPosition;
    cairo_matrix_init_translate(&toCentre, -(b.origin.x + b.size.width / 2),
                                -(b.origin.y + b.size.height / 2));
    cairo_matrix_init(&transform, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_matrix_init_translate(&toPosition, c.x, c.y);
    // A transform that turns the view edge-on (a flip through 90°) or scales it to nothing
    // leaves nothing to see.
    if (!usable(transform))
        return false;
    cairo_matrix_multiply(&out, &toCentre, &transform);
    cairo_matrix_multiply(&out, &out, &toPosition);
    return true;
}

// The device box that a view and its visible descendants can paint, for sizing a group.
Box subtreeBox(const UIView& v, const cairo_matrix_t& m) {
    Box box = deviceBox(v.presentationBounds(), m);
    if (clips(v))
        return box;
    for (const auto& s : v.subviews()) {
        cairo_matrix_t local, child;
        if (!visible(*s) || !localMatrix(*s, local))
            continue;
        cairo_matrix_multiply(&child, &local, &m);
        box.unite(subtreeBox(*s, child));
    }
    return box;
}

void roundedRectPath(cairo_t* cr, const CGRect& r, CGFloat radius) {
    radius = std::min({radius, r.width() / 2, r.height() / 2});
    if (!(radius > 0)) {
        cairo_rectangle(cr, r.minX(), r.minY(), r.width(), r.height());
        return;
    }
    constexpr double pi = std::numbers::pi;
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.maxX() - radius, r.minY() + radius, radius, -pi / 2, 0);
    cairo_arc(cr, r.maxX() - radius, r.maxY() - radius, radius, 0, pi / 2);
    cairo_arc(cr, r.minX() + radius, r.maxY() - radius, radius, pi / 2, pi);
    cairo_arc(cr, r.minX() + radius, r.minY() + radius, radius, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

void setColour(cairo_t* cr, const UIColor& c, double opacity) {
    cairo_set_source_rgba(cr, c.rgba.r, c.rgba.g, c.rgba.b, std::clamp(c.rgba.a * opacity, 0.0, 1.0));
}

class Painter {
public:
    // `clipKnown`: the context's clip is exactly `clip` (a context the renderer made itself), so
    // the clips added below can be described to the views that draw.
    Painter(const CGContextRef& ctx, Box clip, bool clipKnown) : ctx_(ctx), cr_(ctx->cairo()), clip_(clip) {
        if (clipKnown)
            clipDescription_ = std::vector<double>{clip.x0, clip.y0, clip.x1, clip.y1};
    }

    void paintRoot(UIView& root) {
        cairo_matrix_t base, m, shift;
        cairo_get_matrix(cr_, &base);
        cairo_matrix_init_translate(&shift, -root.bounds().origin.x, -root.bounds().origin.y);
        cairo_matrix_multiply(&m, &shift, &base);
        if (visible(root) && usable(m))
            paint(root, m, 1);
        cairo_set_matrix(cr_, &base);
    }

private:
    void paint(UIView& v, const cairo_matrix_t& m, double inherited) {
        const CALayer& layer = *v.layer();
        const CGRect bounds = v.presentationBounds();
        const Box box = deviceBox(bounds, m);
        const bool onScreen = box.intersects(clip_);
        const bool clipping = clips(v);
        if (!onScreen && (clipping || v.subviews().empty()))
            return;

        const double alpha = v.presentationAlpha() * inherited;
        const bool group = v.presentationAlpha() < 1 && layer.allowsGroupOpacity() &&
                           (v.drawsContent() || !v.subviews().empty() || layer.borderWidth() > 0);
        // Inside a group everything paints at full strength and the group carries the alpha;
        // without one, each part carries it.
        const double own = group ? 1 : alpha;

        cairo_save(cr_);
        const std::size_t describedClips = clipDescription_ ? clipDescription_->size() : 0;
        if (group) {
            Box area = (clipping ? box : subtreeBox(v, m)).roundedOut().intersection(clip_);
            if (area.empty()) {
                cairo_restore(cr_);
                return;
            }
            cairo_identity_matrix(cr_);
            cairo_rectangle(cr_, area.x0, area.y0, area.x1 - area.x0, area.y1 - area.y0);
            cairo_clip(cr_);
            cairo_push_group(cr_);
            ++groups_;
        }
        cairo_set_matrix(cr_, &m);
        const CGFloat radius = layer.cornerRadius();

        const std::optional<UIColor> background = v.presentationBackgroundColor();
        if (onScreen && background && background->alpha() > 0) {
            cairo_new_path(cr_);
            roundedRectPath(cr_, bounds, radius);
            setColour(cr_, *background, own);
            cairo_fill(cr_);
        }
        if (clipping) {
            cairo_new_path(cr_);
            roundedRectPath(cr_, bounds, radius);
            cairo_clip(cr_);
            if (clipDescription_)
                clipDescription_->insert(clipDescription_->end(),
                                         {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0, bounds.minX(), bounds.minY(),
                                          bounds.width(), bounds.height(), radius});
        }
        if (onScreen && v.drawsContent())
            drawContent(v, own);
        v.clearNeedsDisplay();

        for (const auto& s : v.subviews()) {
            cairo_matrix_t local, child;
            if (!visible(*s) || !localMatrix(*s, local))
                continue;
            cairo_matrix_multiply(&child, &local, &m);
            paint(*s, child, group ? 1 : alpha);
            cairo_set_matrix(cr_, &m);
        }

        if (onScreen && layer.borderWidth() > 0) {
            // The border's outer edge follows the bounds; the inner edge is the bounds inset
            // by the width, with the corner radius reduced to match.
            CGFloat w = std::min({layer.borderWidth(), bounds.width() / 2, bounds.height() / 2});
            cairo_new_path(cr_);
            roundedRectPath(cr_, bounds, radius);
            roundedRectPath(cr_, CGRectInset(bounds, w, w), std::max(0.0, radius - w));
            cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
            // A layer whose border colour was never set draws it opaque black.
            setColour(cr_, layer.borderColor().value_or(UIColor::blackColor()), own);
            cairo_fill(cr_);
            cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
        }

        if (group) {
            cairo_pop_group_to_source(cr_);
            cairo_identity_matrix(cr_);
            cairo_paint_with_alpha(cr_, alpha);
            --groups_;
        }
        if (clipDescription_)
            clipDescription_->resize(describedClips);
        cairo_restore(cr_);
    }

    void drawContent(UIView& v, double own) {
        bool partial = own < 1;
        if (partial)
            cairo_push_group(cr_);
        std::size_t token = ctx_->beginCleanState();
        // Only drawing that goes straight to the frame learns its clip: inside a group, the pixels
        // it leaves are not on the target surface.
        if (clipDescription_ && groups_ == 0 && !partial)
            ctx_->setClipDescription(*clipDescription_);
        CGContext::pushCurrent(ctx_);
        v.drawRect(v.bounds());
        CGContext::removeCurrent(ctx_);
        ctx_->setClipDescription(std::nullopt);
        ctx_->endCleanState(token);
        if (partial) {
            cairo_pop_group_to_source(cr_);
            cairo_paint_with_alpha(cr_, own);
        }
        if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS && !reported_) {
            reported_ = true;
            NSLog("UIRenderer: drawing of %@ failed: %@",
                  {v.className(), std::string(cairo_status_to_string(cairo_status(cr_)))});
        }
    }

    CGContextRef ctx_;
    cairo_t* cr_;
    Box clip_;
    // The clips in force, as the context's clip description: the frame's region, then the
    // matrix, bounds and corner radius of each clipping view. Unset when the context came with a
    // clip of its own whose shape is not known.
    std::optional<std::vector<double>> clipDescription_;
    int groups_ = 0;
    bool reported_ = false;
};

// Whether the root's own background paints every pixel of a frame `scale` times its bounds with
// an opaque colour, so nothing of an earlier frame can show through anywhere.
bool coversFrame(const UIView& root, CGFloat scale) {
    const std::optional<UIColor> background = root.presentationBackgroundColor();
    const CGFloat w = root.bounds().width() * scale, h = root.bounds().height() * scale;
    return visible(root) && root.presentationAlpha() >= 1 && background && background->alpha() >= 1 &&
           !(root.layer()->cornerRadius() > 0) && root.presentationBounds() == root.bounds() &&
           w == std::floor(w) && h == std::floor(h);
}

Box clipBoxOf(cairo_t* cr) {
    double x0, y0, x1, y1;
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    cairo_identity_matrix(cr);
    cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
    cairo_set_matrix(cr, &m);
    return {x0, y0, x1, y1};
}
} // namespace

UIRenderer::UIRenderer(CGFloat scale) : scale_(std::isfinite(scale) && scale > 0 ? scale : 2) {}

bool UIRenderer::prepareFrame(const UIView& root) {
    CGFloat w = std::ceil(root.bounds().width() * scale_), h = std::ceil(root.bounds().height() * scale_);
    if (!(w >= 1 && h >= 1 && w <= 32767 && h <= 32767)) {
        frame_.reset();
        return false;
    }
    auto pw = static_cast<std::size_t>(w), ph = static_cast<std::size_t>(h);
    if (frame_ && frame_->width() == pw && frame_->height() == ph)
        return true;
    frame_ = CGImage::create(pw, ph);
    return frame_ != nullptr;
}

const CGImageRef& UIRenderer::renderFrame(UIView& root) {
    if (!prepareFrame(root))
        return frame_;
    return renderFrame(root, root.bounds());
}

const CGImageRef& UIRenderer::renderFrame(UIView& root, CGRect dirty) {
    bool fresh = !frame_;
    if (frame_) {
        CGFloat w = std::ceil(root.bounds().width() * scale_), h = std::ceil(root.bounds().height() * scale_);
        fresh = static_cast<CGFloat>(frame_->width()) != w || static_cast<CGFloat>(frame_->height()) != h;
    }
    if (!prepareFrame(root))
        return frame_;
    if (fresh || !finiteRect(dirty))
        dirty = root.bounds();

    cairo_t* cr = cairo_create(frame_->surface());
    // The dirty rectangle, in pixels, rounded out so partly covered pixels are repainted whole.
    Box region = Box{(dirty.minX() - root.bounds().origin.x) * scale_,
                     (dirty.minY() - root.bounds().origin.y) * scale_,
                     (dirty.maxX() - root.bounds().origin.x) * scale_,
                     (dirty.maxY() - root.bounds().origin.y) * scale_}
                     .roundedOut()
                     .intersection(
                         {0, 0, static_cast<double>(frame_->width()), static_cast<double>(frame_->height())});
    if (!region.empty()) {
        cairo_rectangle(cr, region.x0, region.y0, region.x1 - region.x0, region.y1 - region.y0);
        cairo_clip(cr);
        // An opaque root background replaces every pixel anyway.
        if (!coversFrame(root, scale_)) {
            cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
            cairo_paint(cr);
            cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        }
        cairo_scale(cr, scale_, scale_);
        auto ctx = CGContext::create(cr);
        Painter(ctx, region, true).paintRoot(root);
    }
    cairo_destroy(cr);
    cairo_surface_flush(frame_->surface());
    return frame_;
}

void UIRenderer::renderInContext(UIView& root, const CGContextRef& context) {
    if (!context)
        return;
    cairo_t* cr = context->cairo();
    cairo_save(cr);
    Painter(context, clipBoxOf(cr), false).paintRoot(root);
    cairo_restore(cr);
}

std::shared_ptr<UIImage> UIRenderer::imageOfView(UIView& root, CGFloat scale) {
    UIRenderer renderer(scale);
    CGImageRef image = renderer.renderFrame(root);
    return UIImage::imageWithCGImage(image, renderer.scale());
}
