#pragma once

// The per-thread Pango state behind fonts and string drawing: one Pango context with fixed font
// options (no hinting of metrics, grey antialiasing, unrounded glyph positions, so text measures
// the same at every scale) and a cache of laid-out strings, so a label redrawn every frame is
// shaped once. Only what the layout can show of a string is laid out (see TextForLayout.h), so
// the cost of a layout is bounded whatever the text. Text whose overlong words the engine breaks
// into lines itself is laid out from glyph runs of its own (GlyphLines.h) when every line it
// broke stays one line, and so is a long plain line measured without a width, whose shaping then
// serves the breaking of its word; everything else is Pango's layout. Pango objects are not
// shared between threads; each thread gets its own engine.

#include "platform/graphics/GlyphLines.h"
#include "platform/graphics/UIFont.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

typedef struct _PangoContext PangoContext;
typedef struct _PangoLayout PangoLayout;
typedef struct _PangoFontDescription PangoFontDescription;

// How a string is laid out: the values of NSTextAlignment and NSLineBreakMode.
struct TextLayoutParams {
    int64_t alignment = 4;     // NSTextAlignmentNatural
    int64_t lineBreakMode = 0; // NSLineBreakByWordWrapping
    CGFloat width = -1;        // wrap width in points; negative for none
    int64_t maxLines = 0;      // 0 for no limit
};

class TextEngine {
public:
    static TextEngine& forThisThread();
    ~TextEngine();
    TextEngine(const TextEngine&) = delete;
    TextEngine& operator=(const TextEngine&) = delete;

    struct Metrics {
        CGFloat ascent = 0, descent = 0; // both positive, in points
    };
    Metrics metrics(const UIFont& font);

    // One line of a laid-out string, in Pango units from the layout's top left: its bytes in the
    // laid-out text, its logical box (placed by the alignment) and its baseline.
    struct LineFacts {
        int start = 0, length = 0;
        PangoRectangle logical{};
        int baseline = 0;
    };

    // The last shown line of glyph lines that a limit cuts in an ellipsizing mode: the rest of its
    // paragraph on one line, ellipsized by Pango in a layout of its own, which starts at `start`
    // of `text`, the text of the lines shown.
    struct EllipsizedLine {
        std::string text;
        int start = 0;
        PangoLayout* layout = nullptr; // owned
        EllipsizedLine() = default;
        ~EllipsizedLine();
        EllipsizedLine(const EllipsizedLine&) = delete;
        EllipsizedLine& operator=(const EllipsizedLine&) = delete;
    };

    // A laid-out string and the box of its first `maxLines` lines (all when 0), in points with
    // the layout's top left at the origin. The lines are either Pango's layout or, for text the
    // engine breaks into lines itself, glyph runs of its own (GlyphLines.h).
    struct Laid {
        PangoLayout* layout = nullptr; // owned by the cache; valid until the next layout call
        std::shared_ptr<const GlyphLines> lines;
        std::shared_ptr<const EllipsizedLine> ellipsized; // the last shown of the glyph lines, when cut
        int layoutWidth = 0;                              // of the glyph lines, in Pango units
        PangoAlignment alignment = PANGO_ALIGN_LEFT;      // of the glyph lines
        CGSize size;
        CGFloat visibleHeight = 0; // the height to clip to when lines are cut off
        int lineCount = 0;         // lines shown
        int totalLines = 0;        // lines the text wraps into before any limit

        // The text the lines hold (with the breaks the engine inserted) and each line's facts,
        // whichever way it was laid out.
        std::string_view text() const;
        std::vector<LineFacts> lineFacts() const;
    };
    Laid layout(std::string_view text, const UIFont& font, const TextLayoutParams& params);

    // A PangoLayout of `text` as given (no part cut, no word broken), set up as the engine sets up
    // its own; the caller owns it. What the engine's own lines are checked against.
    PangoLayout* build(const std::string& text, const UIFont& font, const TextLayoutParams& params);
    PangoFontDescription* description(const UIFont& font);
    PangoContext* context() const { return context_; }

private:
    TextEngine();
    // The layout of text already cut to what can be shown, from the cache when it is there.
    Laid layoutShown(const std::string& text, const UIFont& font, const TextLayoutParams& params);
    // A layout of its own for a miss in the cache.
    Laid lay(const std::string& text, const UIFont& font, const TextLayoutParams& params);

    // What decided where a text broke into lines: the widths compared with the line's, and the
    // lengths of the words broken and kept whole. At another width that decides the same, the
    // text breaks at the same places.
    struct Breaks {
        BreakWidths widths;
        std::size_t longestWholeWord = 0;
        std::size_t shortestBrokenWord = SIZE_MAX;
        bool holdAt(int width, std::size_t charactersPerLine) const {
            return widths.holdAt(width) && longestWholeWord <= charactersPerLine &&
                   charactersPerLine < shortestBrokenWord;
        }
    };

    // Text whose words too long for a line are broken into lines by the engine itself (a hyphen
    // where Pango would show one, then a paragraph break), so that Pango shapes each line once
    // instead of the rest of the word at every line. `inserted` holds, for each break, the offset
    // in `text` just after it and the bytes inserted up to there.
    struct Wrapped {
        std::string text;
        std::vector<std::pair<std::size_t, std::size_t>> inserted;
        std::vector<std::pair<std::size_t, std::size_t>> lines; // [start, end) of each broken line
        Breaks breaks;
    };
    std::optional<Wrapped> wrapOverlongWords(const std::string& text, const UIFont& font,
                                             const TextLayoutParams& params);
    // The layout of wrapped text, or none (no layout) when Pango would not keep the lines as
    // broken; then Pango's own wrapping serves.
    Laid layWrapped(const std::string& text, const Wrapped& wrapped, const UIFont& font,
                    const TextLayoutParams& params);
    // Wrapped text cut at the limit of lines, whose last shown line is ellipsized.
    Laid layCut(const std::string& text, const Wrapped& wrapped, const Laid& unlimited, const UIFont& font,
                const TextLayoutParams& params);
    static bool keepsBrokenLines(PangoLayout* layout, const Wrapped& wrapped);
    const std::vector<int>& advances(const std::string& word, const UIFont& font);
    // The one line of plain text measured without a width, from glyphs shaped once for it; none
    // for text Pango's layout serves (see lay()). The shaping is kept: the same text is then
    // broken at a width, and the advances of its word come from these glyphs.
    std::shared_ptr<const GlyphLines> naturalLine(const std::string& text, const UIFont& font);
    // Where the characters of `text` start (and its end), and Pango's break attributes of each
    // (and of the end): what the wrapping of overlong words reads. They depend on the text alone.
    struct TextBreaks {
        std::string text;
        std::vector<std::size_t> offsets;
        std::vector<PangoLogAttr> attrs;
    };
    const TextBreaks& textBreaks(const std::string& text);
    int hyphenWidth(const UIFont& font);

    // The layout of the same text at another width, when its lines break there as they broke
    // at the width it was made for; none otherwise.
    std::optional<Laid> reusedAtWidth(const std::string& anyWidthKey, const UIFont& font,
                                      const TextLayoutParams& params);

    struct Entry {
        std::string key;
        std::string anyWidthKey; // the key without the width
        Laid laid;
        Breaks breaks; // for glyph lines: where their breaks hold
    };
    PangoContext* context_;
    std::unordered_map<std::string, PangoFontDescription*> descriptions_;
    std::unordered_map<std::string, Metrics> metrics_;
    std::unordered_map<std::string, int> hyphenWidths_;
    // The advances of the last few overlong words, by font: a label measured at several widths
    // shapes its word once.
    std::unordered_map<std::string, std::vector<int>> advances_;
    // The last text laid out by naturalLine(), keyed as advances_ is, and its line.
    std::string naturalKey_;
    std::shared_ptr<const GlyphLines> naturalLine_;
    // The break attributes of the last text wrapped: a label lays its text out at one width, then
    // at another, and draws it cut to a number of lines, all of the same text.
    TextBreaks lastTextBreaks_;
    std::list<Entry> lru_;
    std::unordered_map<std::string, std::list<Entry>::iterator> cache_;
    // The last layout of glyph lines made for a text, font and parameters but the width.
    std::unordered_map<std::string, std::list<Entry>::iterator> byAnyWidth_;
    // What the last call of lay() learnt about the layout it made, for its cache entry.
    Breaks lastBreaks_;
    bool lastReusable_ = false;
};
