#include "platform/graphics/TextEngine.h"

#include "platform/graphics/TextForLayout.h"

#include <pango/pangocairo.h>

#include <climits>
#include <cmath>
#include <cstring>

namespace {
constexpr std::size_t kCacheCapacity = 512;

// Pango measures in integer units of 1/1024; widths beyond what an int holds mean "no limit".
int pangoUnits(CGFloat points) {
    CGFloat v = std::round(points * PANGO_SCALE);
    if (!(v < static_cast<CGFloat>(INT_MAX)))
        return INT_MAX;
    return std::max(0, static_cast<int>(v));
}

PangoWeight pangoWeight(UIFontWeight w) {
    struct Step {
        UIFontWeight upTo;
        int weight;
    };
    // Midpoints between the platform's named weights.
    static constexpr Step steps[] = {{-0.7, 100},  {-0.5, 200}, {-0.2, 300}, {0.115, 400},
                                     {0.265, 500}, {0.35, 600}, {0.48, 700}, {0.59, 800}};
    for (const auto& s : steps)
        if (w < s.upTo)
            return static_cast<PangoWeight>(s.weight);
    return static_cast<PangoWeight>(900);
}

// Cache keys carry numbers as their raw bytes: formatting them as text was the larger part of a
// cached measurement.
template <typename T> void appendRaw(std::string& key, T value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    key.append(bytes, sizeof value);
}

std::string fontKey(const UIFont& f) {
    std::string key = f.familyName();
    key += '\x1f';
    appendRaw(key, f.pointSize());
    appendRaw(key, f.weight());
    key += f.isItalic() ? 'i' : 'r';
    return key;
}
} // namespace

TextEngine& TextEngine::forThisThread() {
    thread_local TextEngine engine;
    return engine;
}

TextEngine::TextEngine() {
    // The default font map is per thread in Pango; the context is ours.
    context_ = pango_font_map_create_context(pango_cairo_font_map_get_default());
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context_, FALSE);
    pango_context_set_language(context_, pango_language_from_string("en-us"));
}

TextEngine::~TextEngine() {
    for (auto& e : lru_)
        g_object_unref(e.laid.layout);
    for (auto& [key, d] : descriptions_)
        pango_font_description_free(d);
    g_object_unref(context_);
}

PangoFontDescription* TextEngine::description(const UIFont& font) {
    std::string key = fontKey(font);
    auto it = descriptions_.find(key);
    if (it != descriptions_.end())
        return it->second;
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, font.familyName().c_str());
    pango_font_description_set_absolute_size(d, font.pointSize() * PANGO_SCALE);
    pango_font_description_set_weight(d, pangoWeight(font.weight()));
    pango_font_description_set_style(d, font.isItalic() ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    descriptions_.emplace(std::move(key), d);
    return d;
}

TextEngine::Metrics TextEngine::metrics(const UIFont& font) {
    std::string key = fontKey(font);
    auto it = metrics_.find(key);
    if (it != metrics_.end())
        return it->second;
    PangoFontMetrics* m = pango_context_get_metrics(context_, description(font), nullptr);
    Metrics out{static_cast<CGFloat>(pango_font_metrics_get_ascent(m)) / PANGO_SCALE,
                static_cast<CGFloat>(pango_font_metrics_get_descent(m)) / PANGO_SCALE};
    pango_font_metrics_unref(m);
    metrics_.emplace(std::move(key), out);
    return out;
}

PangoLayout* TextEngine::build(const std::string& text, const UIFont& font, const TextLayoutParams& p) {
    PangoLayout* l = pango_layout_new(context_);
    pango_layout_set_font_description(l, description(font));
    pango_layout_set_text(l, text.data(), static_cast<int>(text.size()));
    if (p.width >= 0) {
        pango_layout_set_width(l, pangoUnits(p.width));
        pango_layout_set_wrap(l, p.lineBreakMode == 1 ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
        PangoEllipsizeMode ellipsize = p.lineBreakMode == 3   ? PANGO_ELLIPSIZE_START
                                       : p.lineBreakMode == 4 ? PANGO_ELLIPSIZE_END
                                       : p.lineBreakMode == 5 ? PANGO_ELLIPSIZE_MIDDLE
                                                              : PANGO_ELLIPSIZE_NONE;
        pango_layout_set_ellipsize(l, ellipsize);
        // A negative height limits the lines of each paragraph; a huge one lifts Pango's
        // default of ellipsizing every paragraph to its first line.
        if (ellipsize != PANGO_ELLIPSIZE_NONE)
            pango_layout_set_height(
                l, p.maxLines > 0 ? -static_cast<int>(std::min<int64_t>(p.maxLines, 100000)) : INT_MAX);
    }
    switch (p.alignment) {
    case 1:
        pango_layout_set_alignment(l, PANGO_ALIGN_CENTER);
        break;
    case 2:
        pango_layout_set_auto_dir(l, FALSE);
        pango_layout_set_alignment(l, PANGO_ALIGN_RIGHT);
        break;
    case 3:
        pango_layout_set_justify(l, TRUE);
        break;
    case 0:
        pango_layout_set_auto_dir(l, FALSE);
        break;
    default: // natural: left for left-to-right text, mirrored for right-to-left
        break;
    }
    return l;
}

TextEngine::Laid TextEngine::layout(std::string_view rawText, const UIFont& font, const TextLayoutParams& p) {
    // Only what can be shown goes to Pango, whose work grows with the whole text.
    std::string text = textForLayout(rawText, p, font.pointSize());
    std::string key = text;
    key += '\x1e';
    key += fontKey(font);
    appendRaw(key, p.alignment);
    appendRaw(key, p.lineBreakMode);
    appendRaw(key, p.width < 0 ? -1 : pangoUnits(p.width));
    const std::size_t limitAt = key.size();
    appendRaw(key, p.maxLines);
    if (auto it = cache_.find(key); it != cache_.end()) {
        lru_.splice(lru_.begin(), lru_, it->second);
        return it->second->laid;
    }
    // A label measured without a limit of lines is then drawn with the limit of the lines its
    // height holds, which is all of them: a limit the text does not reach changes nothing in its
    // layout (nothing is cut, so nothing is ellipsized), and the layout made without one serves.
    // That holds only while the limit leaves the shown part of the text as it is (TextForLayout.h).
    if (p.maxLines > 0 && p.width >= 0 &&
        static_cast<double>(p.maxLines + 2) *
                static_cast<double>(charactersPerLine(p.width, font.pointSize())) >=
            static_cast<double>(kLongestLaidOutText)) {
        std::string unlimited = key.substr(0, limitAt);
        appendRaw(unlimited, std::int64_t{0});
        if (auto it = cache_.find(unlimited);
            it != cache_.end() && it->second->laid.totalLines <= p.maxLines) {
            lru_.splice(lru_.begin(), lru_, it->second);
            return it->second->laid;
        }
    }

    Laid laid;
    laid.layout = build(text, font, p);
    laid.totalLines = pango_layout_get_line_count(laid.layout);
    PangoLayoutIter* iter = pango_layout_get_iter(laid.layout);
    int widest = 0, bottom = 0, lines = 0;
    do {
        if (p.maxLines > 0 && lines >= p.maxLines)
            break;
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        widest = std::max(widest, logical.width);
        bottom = logical.y + logical.height;
        ++lines;
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    laid.lineCount = lines;
    laid.visibleHeight = static_cast<CGFloat>(bottom) / PANGO_SCALE;
    laid.size = text.empty() ? CGSizeZero
                             : CGSizeMake(static_cast<CGFloat>(widest) / PANGO_SCALE, laid.visibleHeight);

    lru_.push_front({key, laid});
    cache_.emplace(std::move(key), lru_.begin());
    while (lru_.size() > kCacheCapacity) {
        g_object_unref(lru_.back().laid.layout);
        cache_.erase(lru_.back().key);
        lru_.pop_back();
    }
    return laid;
}
