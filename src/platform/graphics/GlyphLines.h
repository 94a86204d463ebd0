#pragma once

// Text laid out one line per paragraph straight from shaped glyph runs, without a PangoLayout.
// The text engine breaks a word that no line holds into paragraphs of one line each; building a
// PangoLayout of them would itemize every paragraph against the rest of the text and keep lines,
// runs and attributes the engine never asks for. Here each paragraph is itemized and shaped on
// its own, exactly as a layout itemizes and shapes it, and its line gets the extents and the
// baseline a layout gives it, so text drawn from here covers the pixels a layout covers.
//
// Only left-to-right paragraphs that a layout of the given width would not wrap again are laid
// out here (no tabs, no soft hyphens, no line separators inside a paragraph); for anything else
// `lay` answers none and the caller keeps Pango's own layout.
//
//     BreakWidths widths;
//     if (auto lines = GlyphLines::lay(context, description, text, width, widths))
//         GlyphLines::show(cr, lines->lines()[0], x, baseline);

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include <pango/pango.h>

typedef struct _cairo cairo_t;

// The widths at which line breaking decided anything, in Pango units: every width found to fit
// was at most `fitsUpTo`, every width found too wide was at least `overflowsFrom`. Laid out at
// any width in [fitsUpTo, overflowsFrom), the same text breaks at the same places.
struct BreakWidths {
    int fitsUpTo = 0;
    int overflowsFrom = INT_MAX;

    // Records whether `needed` fits `width` and answers it.
    bool fits(long long needed, int width) {
        if (needed <= width) {
            fitsUpTo = static_cast<int>(std::max<long long>(fitsUpTo, needed));
            return true;
        }
        overflowsFrom = static_cast<int>(std::min<long long>(overflowsFrom, needed));
        return false;
    }
    bool holdAt(int width) const { return fitsUpTo <= width && width < overflowsFrom; }
};

class GlyphLines {
public:
    // One shaped run of a line: its font is the item's, its position from the line's left.
    struct Run {
        PangoItem* item = nullptr;
        PangoGlyphString* glyphs = nullptr;
        int x = 0;
    };
    // A line: its bytes in the text, its runs in visual order, and its logical box (x from the
    // line's left, y from the layout's top) and baseline, in Pango units.
    struct Line {
        int start = 0, length = 0;
        std::vector<Run> runs;
        PangoRectangle logical{};
        int baseline = 0;
    };

    // The lines of `text` (valid UTF-8) in the font `description`, one per paragraph, or none
    // when some paragraph is not plain left-to-right text or is wider than `width` (Pango units)
    // would hold. Records in `widths` what each paragraph needed.
    static std::shared_ptr<const GlyphLines> lay(PangoContext* context,
                                                 const PangoFontDescription* description, std::string text,
                                                 int width, BreakWidths& widths);

    ~GlyphLines();
    GlyphLines(const GlyphLines&) = delete;
    GlyphLines& operator=(const GlyphLines&) = delete;

    const std::string& text() const { return text_; }
    const std::vector<Line>& lines() const { return lines_; }

    // Draws a line with the left of its logical box at `x` and its baseline at `baseline`, in
    // the context's current source, as pango_cairo_show_layout_line draws a layout's line.
    static void show(cairo_t* cr, const Line& line, double x, double baseline);

private:
    GlyphLines() = default;
    // Itemizes and shapes one non-empty paragraph into `line`; false when it is not plain
    // left-to-right text.
    bool shape(PangoContext* context, PangoAttrList* attributes, Line& line);

    std::string text_;
    std::vector<Line> lines_;
};

// Where a layout of width `layoutWidth` (Pango units) places a line of `lineWidth` with the
// alignment given as PangoAlignment, as Pango computes it.
int alignedLineOffset(PangoAlignment alignment, int layoutWidth, int lineWidth);
