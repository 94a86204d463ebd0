#include "platform/graphics/GlyphLines.h"

#include <pango/pangocairo.h>

#include <string_view>

namespace {

// Characters that make a layout break, measure or hyphenate a paragraph in ways a line of its
// own does not show: tabs, soft hyphens and the separators that break a line inside a paragraph.
bool hasCharacterLaidOutSpecially(std::string_view paragraph) {
    for (std::string_view special : {"\t", "\v", "\f", "\u00AD", "\u0085", "\u2028"})
        if (paragraph.find(special) != std::string_view::npos)
            return true;
    return false;
}

// The logical box of an empty line, from the metrics of the font the description loads, as a
// layout measures an empty paragraph.
PangoRectangle emptyLineExtents(PangoContext* context, const PangoFontDescription* description) {
    PangoRectangle logical{};
    PangoFont* font = pango_context_load_font(context, description);
    if (!font)
        return logical;
    PangoFontMetrics* metrics = pango_font_get_metrics(font, pango_context_get_language(context));
    if (metrics) {
        logical.y = -pango_font_metrics_get_ascent(metrics);
        logical.height = -logical.y + pango_font_metrics_get_descent(metrics);
        pango_font_metrics_unref(metrics);
    }
    g_object_unref(font);
    return logical;
}

} // namespace

int alignedLineOffset(PangoAlignment alignment, int layoutWidth, int lineWidth) {
    if (layoutWidth == 0)
        return 0;
    if (alignment == PANGO_ALIGN_RIGHT)
        return layoutWidth - lineWidth;
    if (alignment != PANGO_ALIGN_CENTER)
        return 0;
    int offset = (layoutWidth - lineWidth) / 2;
    // Whole points stay whole, as Pango keeps them.
    if (((layoutWidth | lineWidth) & (PANGO_SCALE - 1)) == 0)
        offset = PANGO_UNITS_ROUND(offset);
    return offset;
}

std::shared_ptr<const GlyphLines> GlyphLines::lay(PangoContext* context,
                                                  const PangoFontDescription* description, std::string text,
                                                  int width, BreakWidths& widths) {
    auto laid = std::shared_ptr<GlyphLines>(new GlyphLines());
    laid->text_ = std::move(text);
    const std::string& all = laid->text_;
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_font_desc_new(description));
    bool plain = true;
    int y = 0;
    // Paragraphs as a layout finds them: a text ending in a separator ends in an empty one.
    for (std::size_t start = 0;;) {
        int delimiter = 0, next = 0;
        pango_find_paragraph_boundary(all.data() + start, static_cast<int>(all.size() - start), &delimiter,
                                      &next);
        Line& line = laid->lines_.emplace_back();
        line.start = static_cast<int>(start);
        line.length = delimiter;
        if (delimiter == 0) {
            line.logical = emptyLineExtents(context, description);
        } else if (!laid->shape(context, attributes, line) || !widths.fits(line.logical.width, width)) {
            plain = false;
            break;
        }
        // Lines stack on their logical boxes; the baseline lies the ascent below the top.
        line.baseline = y - line.logical.y;
        line.logical.y = y;
        y += line.logical.height;
        if (next == delimiter)
            break;
        start += static_cast<std::size_t>(next);
    }
    pango_attr_list_unref(attributes);
    if (!plain)
        return nullptr;
    return laid;
}

bool GlyphLines::shape(PangoContext* context, PangoAttrList* attributes, Line& line) {
    const char* paragraph = text_.data() + line.start;
    if (hasCharacterLaidOutSpecially(std::string_view(paragraph, static_cast<std::size_t>(line.length))))
        return false;
    // The paragraph is itemized as text of its own, so that nothing walks the rest of the text.
    // Left to right as its base, any right-to-left character in it leaves an odd level and sends
    // it back to Pango, whose layout resolves its direction.
    GList* items = pango_itemize_with_base_dir(context, PANGO_DIRECTION_LTR, paragraph, 0, line.length,
                                               attributes, nullptr);
    bool leftToRight = true;
    for (GList* at = items; at; at = at->next)
        leftToRight = leftToRight && static_cast<PangoItem*>(at->data)->analysis.level == 0;
    if (!leftToRight) {
        g_list_free_full(items, reinterpret_cast<GDestroyNotify>(pango_item_free));
        return false;
    }
    int x = 0;
    for (GList* at = items; at; at = at->next) {
        auto* item = static_cast<PangoItem*>(at->data);
        PangoGlyphString* glyphs = pango_glyph_string_new();
        pango_shape_with_flags(paragraph + item->offset, item->length, paragraph, line.length,
                               &item->analysis, glyphs, PANGO_SHAPE_NONE);
        // The line's box grows to take in each run's, as a layout's line extents do.
        PangoRectangle run;
        pango_glyph_string_extents(glyphs, item->analysis.font, nullptr, &run);
        PangoRectangle& box = line.logical;
        const int left = std::min(box.x, x + run.x);
        box.width = std::max(box.x + box.width, x + run.x + run.width) - left;
        box.x = left;
        const int top = std::min(box.y, run.y);
        box.height = std::max(box.y + box.height, run.y + run.height) - top;
        box.y = top;
        line.runs.push_back({item, glyphs, x});
        x += run.width;
    }
    g_list_free(items); // the runs own the items now
    return true;
}

GlyphLines::~GlyphLines() {
    for (Line& line : lines_)
        for (Run& run : line.runs) {
            pango_glyph_string_free(run.glyphs);
            pango_item_free(run.item);
        }
}

void GlyphLines::show(cairo_t* cr, const Line& line, double x, double baseline) {
    for (const Run& run : line.runs) {
        cairo_move_to(cr, x + static_cast<double>(run.x) / PANGO_SCALE, baseline);
        pango_cairo_show_glyph_string(cr, run.item->analysis.font, run.glyphs);
    }
}
