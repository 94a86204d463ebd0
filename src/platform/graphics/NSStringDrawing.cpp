#include "platform/graphics/NSStringDrawing.h"

#include "platform/graphics/TextEngine.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>

namespace {
TextLayoutParams paramsFor(const NSStringAttributes& a, CGFloat width, int64_t maxLines) {
    TextLayoutParams p;
    p.alignment = a.alignment;
    p.lineBreakMode = a.lineBreakMode;
    p.width = std::isfinite(width) && width > 0 ? width : -1;
    p.maxLines = std::max<int64_t>(0, maxLines);
    return p;
}

// Draws the lines of the layout whose ink meets the clip, as pango_cairo_show_layout draws them
// (each at its logical left and baseline): a long text runs far past the screen, and its lines
// out of sight would cost as much to draw as those in sight for no pixel.
void showLinesInClip(cairo_t* cr, PangoLayout* layout, CGPoint origin) {
    double left = 0, top = 0, right = 0, bottom = 0;
    cairo_clip_extents(cr, &left, &top, &right, &bottom);
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        PangoRectangle ink, logical;
        pango_layout_iter_get_line_extents(iter, &ink, &logical);
        const double inkTop = origin.y + static_cast<double>(ink.y) / PANGO_SCALE;
        const double inkLeft = origin.x + static_cast<double>(ink.x) / PANGO_SCALE;
        if (inkTop > bottom || inkTop + static_cast<double>(ink.height) / PANGO_SCALE < top ||
            inkLeft > right || inkLeft + static_cast<double>(ink.width) / PANGO_SCALE < left)
            continue;
        cairo_new_path(cr);
        cairo_move_to(cr, origin.x + static_cast<double>(logical.x) / PANGO_SCALE,
                      origin.y + static_cast<double>(pango_layout_iter_get_baseline(iter)) / PANGO_SCALE);
        pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(iter));
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    cairo_new_path(cr);
}

// The same for glyph lines, of which only the lines shown are drawn. Their ink is not measured:
// a line whose logical box, widened by its height on every side, misses the clip draws nothing.
void showGlyphLinesInClip(cairo_t* cr, const TextEngine::Laid& laid, CGPoint origin) {
    double left = 0, top = 0, right = 0, bottom = 0;
    cairo_clip_extents(cr, &left, &top, &right, &bottom);
    auto meetsClip = [&](const PangoRectangle& logical) {
        const double x = origin.x + static_cast<double>(logical.x) / PANGO_SCALE;
        const double y = origin.y + static_cast<double>(logical.y) / PANGO_SCALE;
        const double width = static_cast<double>(logical.width) / PANGO_SCALE;
        const double height = static_cast<double>(logical.height) / PANGO_SCALE;
        return !(y - height > bottom || y + 2 * height < top || x - height > right ||
                 x + width + height < left);
    };
    const auto& lines = laid.lines->lines();
    const std::size_t glyphLines =
        std::min(lines.size(), static_cast<std::size_t>(laid.lineCount - (laid.ellipsized ? 1 : 0)));
    for (std::size_t i = 0; i < glyphLines; ++i) {
        PangoRectangle logical = lines[i].logical;
        logical.x = alignedLineOffset(laid.alignment, laid.layoutWidth, logical.width);
        if (!meetsClip(logical))
            continue;
        cairo_new_path(cr);
        GlyphLines::show(cr, lines[i], origin.x + static_cast<double>(logical.x) / PANGO_SCALE,
                         origin.y + static_cast<double>(lines[i].baseline) / PANGO_SCALE);
    }
    if (laid.ellipsized) {
        const TextEngine::LineFacts last = laid.lineFacts().back();
        if (meetsClip(last.logical)) {
            cairo_new_path(cr);
            cairo_move_to(cr, origin.x + static_cast<double>(last.logical.x) / PANGO_SCALE,
                          origin.y + static_cast<double>(last.baseline) / PANGO_SCALE);
            pango_cairo_show_layout_line(cr, pango_layout_get_line_readonly(laid.ellipsized->layout, 0));
        }
    }
    cairo_new_path(cr);
}

void show(const CGContextRef& c, const TextEngine::Laid& laid, CGPoint origin, const NSStringAttributes& a) {
    if (!c || !(laid.layout || laid.lines) || !c->canPaint() || !std::isfinite(origin.x) ||
        !std::isfinite(origin.y))
        return;
    cairo_t* cr = c->cairo();
    cairo_save(cr);
    if (laid.lineCount < laid.totalLines) {
        // Lines beyond the limit are laid out but not shown.
        cairo_rectangle(cr, origin.x - 1e4, origin.y, 2e4 + std::max(0.0, laid.size.width),
                        laid.visibleHeight);
        cairo_clip(cr);
    }
    c->setSourceColor(a.foregroundColor);
    if (laid.lines)
        showGlyphLinesInClip(cr, laid, origin);
    else
        showLinesInClip(cr, laid.layout, origin);
    cairo_restore(cr);
}
} // namespace

CGSize NSStringSizeWithAttributes(std::string_view text, const NSStringAttributes& attributes) {
    return TextEngine::forThisThread().layout(text, attributes.font, paramsFor(attributes, -1, 0)).size;
}

CGRect NSStringBoundingRectWithSize(std::string_view text, CGSize size,
                                    const NSStringAttributes& attributes) {
    auto laid = TextEngine::forThisThread().layout(
        text, attributes.font, paramsFor(attributes, size.width, attributes.numberOfLines));
    return {CGPointZero, laid.size};
}

void NSStringDrawAtPoint(std::string_view text, CGPoint point, const NSStringAttributes& attributes,
                         const CGContextRef& context) {
    if (text.empty() || !context)
        return;
    show(context, TextEngine::forThisThread().layout(text, attributes.font, paramsFor(attributes, -1, 0)),
         point, attributes);
}

void NSStringDrawInRect(std::string_view text, CGRect rect, const NSStringAttributes& attributes,
                        const CGContextRef& context) {
    if (text.empty() || !context)
        return;
    TextEngine& engine = TextEngine::forThisThread();
    // How many lines fit the height decides the limit; the last one that fits is truncated in
    // a truncating mode, so the layout is made again with that limit.
    CGFloat lineHeight = attributes.font.lineHeight();
    CGFloat lines = lineHeight > 0 ? std::floor(rect.height() / lineHeight + 1e-6) : 1;
    int64_t fitting = std::isfinite(lines) ? static_cast<int64_t>(std::clamp(lines, 1.0, 1e6)) : 1;
    int64_t limit = attributes.numberOfLines > 0 ? std::min(attributes.numberOfLines, fitting) : fitting;
    auto laid = engine.layout(text, attributes.font, paramsFor(attributes, rect.width(), limit));
    show(context, laid, {rect.minX(), rect.minY()}, attributes);
}
