#include "platform/graphics/TextEngine.h"

#include "platform/graphics/DrawingLibraries.h"
#include "platform/graphics/TextForLayout.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

namespace {
constexpr std::size_t kCacheCapacity = 512;
constexpr std::size_t kAdvancesKept = 8;
// Text measured without a width is laid out from glyphs of its own (and its shaping kept for the
// wrapping of its overlong word) only when a run of it is longer than this; ordinary text keeps
// Pango's layout.
constexpr std::size_t kNaturalLineRun = 64;
// The values of NSTextAlignment and NSLineBreakMode that the wrapping of long words looks at.
constexpr std::int64_t kJustified = 3;
constexpr std::int64_t kCharWrapping = 1;
constexpr std::int64_t kTruncatingTail = 4;
// The hyphen Pango shows where it breaks a word (U+2010 HYPHEN).
constexpr const char* kHyphen = "\u2010";

bool ellipsizes(std::int64_t lineBreakMode) {
    return lineBreakMode >= 3 && lineBreakMode <= 5;
}

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
// The box of the first `maxLines` lines of `l` (all when 0), which the result owns.
TextEngine::Laid measured(PangoLayout* l, std::int64_t maxLines, bool empty) {
    TextEngine::Laid laid;
    laid.layout = l;
    laid.totalLines = pango_layout_get_line_count(l);
    PangoLayoutIter* iter = pango_layout_get_iter(l);
    int widest = 0, bottom = 0, lines = 0;
    do {
        if (maxLines > 0 && lines >= maxLines)
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
    laid.size =
        empty ? CGSizeZero : CGSizeMake(static_cast<CGFloat>(widest) / PANGO_SCALE, laid.visibleHeight);
    return laid;
}

// The box of the first `maxLines` glyph lines (all when 0), aligned in a layout of `width`.
TextEngine::Laid measuredLines(std::shared_ptr<const GlyphLines> lines, std::int64_t maxLines, int width,
                               PangoAlignment alignment) {
    TextEngine::Laid laid;
    const auto& all = lines->lines();
    laid.totalLines = static_cast<int>(all.size());
    laid.lineCount =
        maxLines > 0 ? static_cast<int>(std::min<std::int64_t>(maxLines, laid.totalLines)) : laid.totalLines;
    int widest = 0;
    for (int i = 0; i < laid.lineCount; ++i)
        widest = std::max(widest, all[static_cast<std::size_t>(i)].logical.width);
    const PangoRectangle& last = all[static_cast<std::size_t>(laid.lineCount - 1)].logical;
    laid.visibleHeight = static_cast<CGFloat>(last.y + last.height) / PANGO_SCALE;
    laid.size = CGSizeMake(static_cast<CGFloat>(widest) / PANGO_SCALE, laid.visibleHeight);
    laid.lines = std::move(lines);
    laid.layoutWidth = width;
    laid.alignment = alignment;
    return laid;
}

// The bytes of the first `count` characters of valid UTF-8 `text`, or all of it.
std::size_t bytesOfFirstCharacters(const std::string& text, std::size_t count) {
    for (std::size_t at = 0, seen = 0; at < text.size(); ++at)
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && seen++ == count)
            return at;
    return text.size();
}

PangoAlignment glyphLineAlignment(std::int64_t alignment) {
    // Glyph lines are left to right, so natural alignment is left.
    return alignment == 1 ? PANGO_ALIGN_CENTER : alignment == 2 ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT;
}
} // namespace

TextEngine::EllipsizedLine::~EllipsizedLine() {
    if (layout)
        g_object_unref(layout);
}

std::string_view TextEngine::Laid::text() const {
    if (ellipsized)
        return ellipsized->text;
    if (lines)
        return lines->text();
    return layout ? pango_layout_get_text(layout) : "";
}

std::vector<TextEngine::LineFacts> TextEngine::Laid::lineFacts() const {
    std::vector<LineFacts> facts;
    if (lines) {
        for (const GlyphLines::Line& line : lines->lines()) {
            LineFacts& f =
                facts.emplace_back(LineFacts{line.start, line.length, line.logical, line.baseline});
            f.logical.x += alignedLineOffset(alignment, layoutWidth, line.logical.width);
        }
        if (ellipsized) {
            // The cut layout ends with the ellipsized line, in place of the lines from there on.
            facts.resize(static_cast<std::size_t>(lineCount));
            LineFacts& last = facts.back();
            const int top = last.logical.y;
            PangoLayoutIter* iter = pango_layout_get_iter(ellipsized->layout);
            pango_layout_iter_get_line_extents(iter, nullptr, &last.logical);
            last.baseline = top + pango_layout_iter_get_baseline(iter);
            last.logical.y += top;
            last.start = ellipsized->start;
            last.length = pango_layout_iter_get_line_readonly(iter)->length;
            pango_layout_iter_free(iter);
        }
        return facts;
    }
    if (!layout)
        return facts;
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        const PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
        LineFacts& f = facts.emplace_back();
        f.start = line->start_index;
        f.length = line->length;
        pango_layout_iter_get_line_extents(iter, nullptr, &f.logical);
        f.baseline = pango_layout_iter_get_baseline(iter);
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    return facts;
}

// Each broken line must come out as one line, left to right. Should Pango measure one wider than
// the sum of its advances and break it again, or should a paragraph of its own take another
// direction than the text around it, Pango's own wrapping serves instead.
bool TextEngine::keepsBrokenLines(PangoLayout* l, const Wrapped& wrapped) {
    std::vector<int> starts;
    PangoLayoutIter* iter = pango_layout_get_iter(l);
    bool leftToRight = true;
    do {
        starts.push_back(pango_layout_iter_get_index(iter));
        leftToRight =
            leftToRight && pango_layout_iter_get_line_readonly(iter)->resolved_dir == PANGO_DIRECTION_LTR;
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    if (!leftToRight)
        return false;
    for (const auto& [lineStart, lineEnd] : wrapped.lines) {
        auto inside = std::upper_bound(starts.begin(), starts.end(), static_cast<int>(lineStart));
        if (inside != starts.end() && *inside < static_cast<int>(lineEnd))
            return false;
    }
    return true;
}

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
        if (e.laid.layout)
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
    return layoutShown(shownPartOfText(rawText, p, font.pointSize()), font, p);
}

TextEngine::Laid TextEngine::layoutShown(const std::string& text, const UIFont& font,
                                         const TextLayoutParams& p) {
    // The key holds everything the layout depends on: the text, the font, and every parameter
    // (the width as Pango receives it).
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

    // Glyph lines made for this text at another width serve when they break there the same way.
    std::string anyWidthKey = text;
    anyWidthKey += '\x1e';
    anyWidthKey += fontKey(font);
    appendRaw(anyWidthKey, p.alignment);
    appendRaw(anyWidthKey, p.lineBreakMode);
    appendRaw(anyWidthKey, p.maxLines);
    lastReusable_ = false;
    std::optional<Laid> reused = reusedAtWidth(anyWidthKey, font, p);
    Laid laid = reused ? *reused : lay(text, font, p);
    Entry entry{key, anyWidthKey, laid, lastBreaks_};
    lru_.push_front(std::move(entry));
    cache_.emplace(std::move(key), lru_.begin());
    // An ellipsized line is Pango's, made for its width: a cut serves no other width.
    if (laid.lines && !laid.ellipsized && (reused || lastReusable_))
        byAnyWidth_[std::move(anyWidthKey)] = lru_.begin();
    while (lru_.size() > kCacheCapacity) {
        Entry& oldest = lru_.back();
        if (oldest.laid.layout)
            g_object_unref(oldest.laid.layout);
        if (auto it = byAnyWidth_.find(oldest.anyWidthKey);
            it != byAnyWidth_.end() && it->second == std::prev(lru_.end()))
            byAnyWidth_.erase(it);
        cache_.erase(oldest.key);
        lru_.pop_back();
    }
    return laid;
}

std::optional<TextEngine::Laid> TextEngine::reusedAtWidth(const std::string& anyWidthKey, const UIFont& font,
                                                          const TextLayoutParams& p) {
    // A label settling on its width lays its text out at one width and then at the width of its
    // widest line, a point narrower: when every break compared a width that falls the same way
    // at the new width, and the same words count as longer than a line, the lines are the same.
    auto it = byAnyWidth_.find(anyWidthKey);
    if (p.width < 0 || it == byAnyWidth_.end())
        return std::nullopt;
    const Entry& made = *it->second;
    if (!made.laid.lines || made.laid.ellipsized ||
        !made.breaks.holdAt(pangoUnits(p.width), charactersPerLine(p.width, font.pointSize())))
        return std::nullopt;
    lastBreaks_ = made.breaks;
    Laid laid = made.laid;
    laid.layoutWidth = pangoUnits(p.width);
    return laid;
}

TextEngine::Laid TextEngine::lay(const std::string& text, const UIFont& font, const TextLayoutParams& p) {
    if (auto wrapped = wrapOverlongWords(text, font, p)) {
        Laid laid = layWrapped(text, *wrapped, font, p);
        if (laid.layout || laid.lines)
            return laid;
    }
    if (p.width < 0) {
        if (auto line = naturalLine(text, font))
            return measuredLines(std::move(line), p.maxLines, 0, glyphLineAlignment(p.alignment));
        return measured(build(text, font, p), p.maxLines, text.empty());
    }
    const std::string broken = withBreaksInOverlongWords(text, charactersPerLine(p.width, font.pointSize()));
    return measured(build(broken, font, p), p.maxLines, text.empty());
}

std::optional<TextEngine::Wrapped> TextEngine::wrapOverlongWords(const std::string& text, const UIFont& font,
                                                                 const TextLayoutParams& p) {
    // Justified lines would lose their justification at the inserted paragraph breaks, and
    // wrapping by characters may start a long word beside the text before it: both keep Pango's
    // own wrapping.
    const std::size_t longest = charactersPerLine(p.width, font.pointSize());
    if (p.width < 0 || p.alignment == kJustified || p.lineBreakMode == kCharWrapping ||
        text.size() > static_cast<std::size_t>(INT_MAX) || !hasRunLongerThan(text, longest))
        return std::nullopt;
    const TextBreaks& breaks = textBreaks(text);
    const std::vector<std::size_t>& offsets = breaks.offsets;
    const std::vector<PangoLogAttr>& attrs = breaks.attrs;
    const std::size_t characters = offsets.size() - 1;

    const int width = pangoUnits(p.width);
    const int hyphen = hyphenWidth(font);
    Wrapped wrapped;
    std::size_t copied = 0; // bytes of `text` already in wrapped.text
    for (std::size_t start = 0, end; start < characters; start = end) {
        // A word runs from one break opportunity to the next, without its trailing spaces.
        std::size_t letters = 0;
        for (end = start; end < characters; ++end) {
            if (end > start && (attrs[end].is_line_break || attrs[end].is_mandatory_break))
                break;
            if (attrs[end].is_char_break && !attrs[end].is_white)
                ++letters;
        }
        std::size_t last = end;
        while (last > start && attrs[last - 1].is_white)
            --last;
        if (letters <= longest) {
            wrapped.breaks.longestWholeWord = std::max(wrapped.breaks.longestWholeWord, letters);
            continue;
        }
        wrapped.breaks.shortestBrokenWord = std::min(wrapped.breaks.shortestBrokenWord, letters);
        std::string word = text.substr(offsets[start], offsets[last] - offsets[start]);
        const std::vector<int>& widths = advances(word, font);
        if (widths.size() != last - start)
            return std::nullopt;
        std::vector<WordCharacter> characterList(last - start);
        for (std::size_t i = 0; i < characterList.size(); ++i)
            characterList[i] = {widths[i], static_cast<bool>(attrs[start + i].is_char_break),
                                breakInsertsHyphen(attrs[start + i])};
        std::size_t lineStart = offsets[start];
        for (std::size_t at : lineStartsInWord(characterList, width, hyphen, &wrapped.breaks.widths)) {
            const std::size_t cut = offsets[start + at];
            const std::size_t lineStartInWrapped = wrapped.text.size() + (lineStart - copied);
            wrapped.text.append(text, copied, cut - copied);
            if (characterList[at].hyphenBefore)
                wrapped.text += kHyphen;
            wrapped.text += '\n';
            wrapped.lines.emplace_back(lineStartInWrapped, wrapped.text.size());
            wrapped.inserted.emplace_back(wrapped.text.size(), wrapped.text.size() - cut);
            copied = lineStart = cut;
        }
    }
    if (wrapped.inserted.empty())
        return std::nullopt;
    wrapped.text.append(text, copied);
    return wrapped;
}

const TextEngine::TextBreaks& TextEngine::textBreaks(const std::string& text) {
    TextBreaks& kept = lastTextBreaks_;
    if (!kept.offsets.empty() && kept.text == text)
        return kept;
    kept.offsets.clear(); // nothing kept until the attributes are whole
    kept.text = text;
    // The offset of each character, and the end: one pass gives the count and the offsets.
    kept.offsets.reserve(text.size() + 1);
    for (std::size_t at = 0; at < text.size();
         at = static_cast<std::size_t>(nextUTF8Character(text.data() + at) - text.data()))
        kept.offsets.push_back(at);
    kept.attrs.assign(kept.offsets.size() + 1, PangoLogAttr{});
    kept.offsets.push_back(text.size());
    pango_get_log_attrs(text.data(), static_cast<int>(text.size()), -1, pango_language_from_string("en-us"),
                        kept.attrs.data(), static_cast<int>(kept.attrs.size()));
    return kept;
}

TextEngine::Laid TextEngine::layWrapped(const std::string& text, const Wrapped& wrapped, const UIFont& font,
                                        const TextLayoutParams& p) {
    if (p.maxLines > 0) {
        // A limit serves from the layout without one: it shows the same lines, and only the last
        // shown line differs when it is cut and ellipsized.
        TextLayoutParams all = p;
        all.maxLines = 0;
        const Laid unlimited = layoutShown(text, font, all);
        if (!ellipsizes(p.lineBreakMode) || unlimited.totalLines <= p.maxLines) {
            if (unlimited.lines)
                return measuredLines(unlimited.lines, p.maxLines, unlimited.layoutWidth, unlimited.alignment);
            g_object_ref(unlimited.layout); // each entry of the cache holds its own reference
            return measured(unlimited.layout, p.maxLines, text.empty());
        }
        if (wrapped.text != unlimited.text())
            return {};
        return layCut(text, wrapped, unlimited, font, p);
    }
    // The lines the engine broke are laid out from their glyphs when no line needs Pango's own
    // wrapping; the widths the breaks were decided at let the same lines serve other widths.
    Breaks breaks = wrapped.breaks;
    if (auto lines =
            GlyphLines::lay(context_, description(font), wrapped.text, pangoUnits(p.width), breaks.widths)) {
        lastBreaks_ = breaks;
        lastReusable_ = true;
        return measuredLines(std::move(lines), 0, pangoUnits(p.width), glyphLineAlignment(p.alignment));
    }
    PangoLayout* l = build(wrapped.text, font, p);
    if (!keepsBrokenLines(l, wrapped)) {
        g_object_unref(l);
        return {};
    }
    return measured(l, 0, text.empty());
}

TextEngine::Laid TextEngine::layCut(const std::string& text, const Wrapped& wrapped, const Laid& unlimited,
                                    const UIFont& font, const TextLayoutParams& p) {
    // The lines before the last shown one stay as broken; the last one holds the rest of its
    // paragraph, unbroken, for Pango to ellipsize. A height (rather than a count of lines per
    // paragraph, which the broken lines would each satisfy) makes that line the last.
    const std::vector<LineFacts> shown = unlimited.lineFacts();
    const LineFacts& lastShown = shown[static_cast<std::size_t>(p.maxLines - 1)];
    const auto cutAt = static_cast<std::size_t>(lastShown.start);
    auto after = std::upper_bound(wrapped.inserted.begin(), wrapped.inserted.end(), cutAt,
                                  [](std::size_t at, const auto& entry) { return at < entry.first; });
    const std::size_t original = cutAt - (after == wrapped.inserted.begin() ? 0 : std::prev(after)->second);
    int paragraphEnd = 0, nextParagraph = 0;
    pango_find_paragraph_boundary(text.data() + original, static_cast<int>(text.size() - original),
                                  &paragraphEnd, &nextParagraph);

    if (unlimited.lines) {
        // The lines before stay as laid out; the last one alone is Pango's, one line ellipsized.
        // Truncated at its tail, the line shows what fits of its start: no more characters than
        // a line can hold need shaping, as long as the line is still ellipsized without the rest.
        std::string rest = text.substr(original, static_cast<std::size_t>(paragraphEnd));
        auto last = std::make_shared<EllipsizedLine>();
        if (p.lineBreakMode == kTruncatingTail) {
            const std::size_t held =
                bytesOfFirstCharacters(rest, charactersPerLine(p.width, font.pointSize()) + 1);
            if (held < rest.size()) {
                last->layout = build(rest.substr(0, held), font, p);
                pango_layout_set_height(last->layout, -1);
                if (pango_layout_is_ellipsized(last->layout))
                    rest.resize(held);
                else
                    g_object_unref(std::exchange(last->layout, nullptr));
            }
        }
        if (!last->layout) {
            last->layout = build(rest, font, p);
            pango_layout_set_height(last->layout, -1);
        }
        if (pango_layout_get_line_count(last->layout) != 1)
            return {};
        last->text = wrapped.text.substr(0, cutAt) + rest;
        last->start = static_cast<int>(cutAt);
        Laid laid = measuredLines(unlimited.lines, p.maxLines, unlimited.layoutWidth, unlimited.alignment);
        laid.ellipsized = std::move(last);
        int widest = 0;
        const std::vector<LineFacts> facts = laid.lineFacts();
        for (const LineFacts& f : facts)
            widest = std::max(widest, f.logical.width);
        laid.visibleHeight =
            static_cast<CGFloat>(facts.back().logical.y + facts.back().logical.height) / PANGO_SCALE;
        laid.size = CGSizeMake(static_cast<CGFloat>(widest) / PANGO_SCALE, laid.visibleHeight);
        return laid;
    }
    std::string cut = wrapped.text.substr(0, cutAt);
    cut.append(text, original, static_cast<std::size_t>(paragraphEnd));
    const PangoRectangle& line = lastShown.logical;
    PangoLayout* l = build(cut, font, p);
    pango_layout_set_height(l, static_cast<int>(std::min<int64_t>(p.maxLines, 100000)) * line.height +
                                   line.height / 2);
    if (!keepsBrokenLines(l, wrapped) || pango_layout_get_line_count(l) != p.maxLines ||
        pango_layout_get_line_readonly(l, static_cast<int>(p.maxLines - 1))->start_index !=
            static_cast<int>(cutAt)) {
        g_object_unref(l);
        return {};
    }
    Laid laid = measured(l, p.maxLines, false);
    laid.totalLines = unlimited.totalLines;
    return laid;
}

std::shared_ptr<const GlyphLines> TextEngine::naturalLine(const std::string& text, const UIFont& font) {
    // Without a width a layout holds one line per paragraph, which glyph lines lay out the same
    // way for plain left-to-right text (GlyphLines.h). Only one paragraph is laid out here: its
    // line's runs are then the shaping of the whole text, which advances() reuses when the text
    // is one word.
    if (!hasRunLongerThan(text, kNaturalLineRun))
        return nullptr;
    int delimiter = 0, next = 0;
    pango_find_paragraph_boundary(text.data(), static_cast<int>(text.size()), &delimiter, &next);
    if (static_cast<std::size_t>(delimiter) != text.size())
        return nullptr;
    BreakWidths unbounded;
    auto lines = GlyphLines::lay(context_, description(font), text, INT_MAX, unbounded);
    if (!lines)
        return nullptr;
    naturalKey_ = fontKey(font);
    naturalKey_ += '\x1e';
    naturalKey_ += text;
    naturalLine_ = lines;
    return lines;
}

const std::vector<int>& TextEngine::advances(const std::string& word, const UIFont& font) {
    std::string key = fontKey(font);
    key += '\x1e';
    key += word;
    if (auto it = advances_.find(key); it != advances_.end())
        return it->second;
    if (advances_.size() >= kAdvancesKept)
        advances_.clear();
    if (naturalLine_ && naturalKey_ == key) {
        // The word is the whole text last measured without a width: its line's runs are the
        // word's items, in the order of the text, shaped with the word as their context. They
        // were itemized left to right rather than in the context's weak direction, which gives
        // the same items for text whose every item is left to right, as glyph lines' are.
        std::vector<int> widths;
        for (const GlyphLines::Run& run : naturalLine_->lines().front().runs) {
            const std::size_t first = widths.size();
            widths.resize(first + static_cast<std::size_t>(run.item->num_chars));
            PangoGlyphItem item{run.item, run.glyphs, 0, 0, 0};
            pango_glyph_item_get_logical_widths(&item, naturalLine_->text().data(), widths.data() + first);
        }
        return advances_.emplace(std::move(key), std::move(widths)).first->second;
    }
    // Shaped as a line of its own: a word has no break opportunity, so nothing at its edges
    // changes how its characters are shaped. Itemizing gives each run the font that covers it
    // (fallback fonts included), and each run is shaped as a layout would shape it (positions
    // unrounded, as the context says), without the layout's lines and attributes around it.
    const int length = static_cast<int>(word.size());
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_font_desc_new(description(font)));
    // The context's weak base direction lets the word's first strong character set its direction,
    // as a layout does for a paragraph.
    GList* items = pango_itemize(context_, word.data(), 0, length, attributes, nullptr);
    pango_attr_list_unref(attributes);
    std::vector<int> widths;
    PangoGlyphString* glyphs = pango_glyph_string_new();
    for (GList* at = items; at; at = at->next) {
        auto* item = static_cast<PangoItem*>(at->data);
        pango_shape_with_flags(word.data() + item->offset, item->length, word.data(), length, &item->analysis,
                               glyphs, PANGO_SHAPE_NONE);
        // Items come in the order of the text, so each one's widths follow the last one's.
        const std::size_t first = widths.size();
        widths.resize(first + static_cast<std::size_t>(item->num_chars));
        PangoGlyphItem run{item, glyphs, 0, 0, 0};
        pango_glyph_item_get_logical_widths(&run, word.data(), widths.data() + first);
    }
    pango_glyph_string_free(glyphs);
    g_list_free_full(items, reinterpret_cast<GDestroyNotify>(pango_item_free));
    return advances_.emplace(std::move(key), std::move(widths)).first->second;
}

int TextEngine::hyphenWidth(const UIFont& font) {
    std::string key = fontKey(font);
    if (auto it = hyphenWidths_.find(key); it != hyphenWidths_.end())
        return it->second;
    PangoLayout* l = pango_layout_new(context_);
    pango_layout_set_font_description(l, description(font));
    pango_layout_set_text(l, kHyphen, -1);
    PangoRectangle logical;
    pango_layout_get_extents(l, nullptr, &logical);
    g_object_unref(l);
    hyphenWidths_.emplace(std::move(key), logical.width);
    return logical.width;
}
