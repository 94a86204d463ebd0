// A label measured without a limit of lines and drawn with the limit its height holds: the second
// layout is the first, and a long unbroken word breaks in it exactly where Pango breaks it when
// the limit is laid out afresh (on another thread, whose engine has nothing cached). A word that
// no line holds, which the engine breaks into lines itself, fills the lines Pango's own wrapping
// fills, at the same widths, and draws the same; a change of text, font or width is never served
// a layout made for another.

#include "platform/graphics/TextEngine.h"

#include "platform/graphics/NSStringDrawing.h"

#include "platform/graphics/TextForLayout.h"
#include "support/PixelTesting.h"

#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <cairo.h>
#include <climits>
#include <cmath>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string numberedWord(std::size_t letters) {
    std::string text = std::to_string(letters);
    while (text.size() < letters)
        text += static_cast<char>('a' + text.size() % 26);
    return text;
}

// Draws a laid-out text with its top left at the origin: glyph lines as the string drawing draws
// them, a layout whole.
void drawLaid(const CGContextRef& c, const TextEngine::Laid& laid) {
    cairo_set_source_rgb(c->cairo(), 0, 0, 0);
    if (!laid.lines) {
        cairo_move_to(c->cairo(), 0, 0);
        pango_cairo_show_layout(c->cairo(), laid.layout);
        return;
    }
    const std::vector<TextEngine::LineFacts> facts = laid.lineFacts();
    for (std::size_t i = 0; i < facts.size(); ++i)
        GlyphLines::show(c->cairo(), laid.lines->lines()[i],
                         static_cast<double>(facts[i].logical.x) / PANGO_SCALE,
                         static_cast<double>(facts[i].baseline) / PANGO_SCALE);
}

std::vector<int> lineStarts(const TextEngine::Laid& laid) {
    std::vector<int> starts;
    for (const TextEngine::LineFacts& line : laid.lineFacts())
        starts.push_back(line.start);
    return starts;
}

// Whether two results are the same lines, not merely equal ones.
bool sameLines(const TextEngine::Laid& a, const TextEngine::Laid& b) {
    return a.layout == b.layout && a.lines == b.lines && a.ellipsized == b.ellipsized;
}

TEST(TextEngineTest, ALimitTheTextDoesNotReachKeepsTheLayoutAndItsBreaks) {
    const std::string text = numberedWord(6000);
    const UIFont font = UIFont::systemFontOfSize(13);
    TextLayoutParams params;
    params.width = 343;
    params.lineBreakMode = 4; // truncating the tail, as labels do
    TextEngine& engine = TextEngine::forThisThread();
    const TextEngine::Laid unlimited = engine.layout(text, font, params);
    const std::vector<int> starts = lineStarts(unlimited);
    ASSERT_GT(unlimited.totalLines, 10);

    params.maxLines = unlimited.totalLines;
    const TextEngine::Laid all = engine.layout(text, font, params);
    EXPECT_TRUE(sameLines(all, unlimited));
    std::vector<int> fresh;
    CGSize freshSize;
    std::thread([&] {
        auto laid = TextEngine::forThisThread().layout(text, font, params);
        fresh = lineStarts(laid);
        freshSize = laid.size;
    }).join();
    EXPECT_EQ(fresh, starts);
    EXPECT_EQ(freshSize, all.size);

    // A limit the text passes cuts it: a layout of its own, with its last line ellipsized.
    params.maxLines = unlimited.totalLines - 1;
    const TextEngine::Laid cut = engine.layout(text, font, params);
    EXPECT_FALSE(sameLines(cut, unlimited));
    EXPECT_EQ(cut.lineCount, unlimited.totalLines - 1);
}

// The characters of each line and its width, leaving out the breaks inserted into the text.
struct Line {
    std::string text;
    int width = 0;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Line& line) {
    return os << '"' << line.text << "\" (" << line.width << ')';
}

std::string withoutInserted(std::string text) {
    for (const std::string inserted : {"\u00AD", "\u200B", "\u2010", "\n"})
        for (std::size_t at; (at = text.find(inserted)) != std::string::npos;)
            text.erase(at, inserted.size());
    return text;
}

std::vector<Line> lines(const TextEngine::Laid& laid) {
    std::vector<Line> out;
    const std::string_view text = laid.text();
    for (const TextEngine::LineFacts& line : laid.lineFacts())
        out.push_back({withoutInserted(std::string(text.substr(static_cast<std::size_t>(line.start),
                                                               static_cast<std::size_t>(line.length)))),
                       line.logical.width});
    return out;
}

std::vector<Line> lines(PangoLayout* layout) {
    std::vector<Line> out;
    const char* text = pango_layout_get_text(layout);
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        out.push_back(
            {withoutInserted(std::string(text + line->start_index, static_cast<std::size_t>(line->length))),
             logical.width});
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    return out;
}

// The text as Pango wraps it by itself, given a break opportunity between the characters of its
// overlong words, in the engine's context and font.
PangoLayout* wrappedByPango(const std::string& text, CGFloat width, CGFloat pointSize, int maxLines = 0) {
    TextEngine& engine = TextEngine::forThisThread();
    PangoLayout* layout = pango_layout_new(engine.context());
    pango_layout_set_font_description(layout, engine.description(UIFont::systemFontOfSize(pointSize)));
    const std::string broken = withBreaksInOverlongWords(text, charactersPerLine(width, pointSize));
    pango_layout_set_text(layout, broken.data(), static_cast<int>(broken.size()));
    pango_layout_set_width(layout, static_cast<int>(std::lround(width * PANGO_SCALE)));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    pango_layout_set_height(layout, maxLines > 0 ? -maxLines : INT_MAX);
    return layout;
}

void expectSameLines(const std::vector<Line>& have, const std::vector<Line>& want) {
    ASSERT_EQ(have.size(), want.size());
    for (std::size_t i = 0; i < have.size(); ++i) {
        EXPECT_EQ(have[i].text, want[i].text) << "line " << i;
        EXPECT_NEAR(have[i].width, want[i].width, PANGO_SCALE / 8) << "line " << i;
    }
}

TEST(TextEngineTest, AnOverlongWordFillsTheLinesPangoWouldFillAtTheSameWidths) {
    TextEngine& engine = TextEngine::forThisThread();
    const std::string word = numberedWord(3000);
    for (const std::string& text : {word, "Hello " + word + " and a tail of words", "1500" + word.substr(4)})
        for (CGFloat size : {9.0, 13.0, 20.5})
            for (CGFloat width : {41.0, 180.0, 343.0}) {
                SCOPED_TRACE(testing::Message() << size << " pt at " << width);
                TextLayoutParams params;
                params.width = width;
                params.lineBreakMode = 4;
                const TextEngine::Laid laid = engine.layout(text, UIFont::systemFontOfSize(size), params);
                PangoLayout* reference = wrappedByPango(text, width, size);
                expectSameLines(lines(laid), lines(reference));
                PangoRectangle extents;
                pango_layout_get_extents(reference, nullptr, &extents);
                EXPECT_NEAR(laid.size.height, static_cast<CGFloat>(extents.height) / PANGO_SCALE, 0.01);
                g_object_unref(reference);
            }
}

TEST(TextEngineTest, AnOverlongWordCutByALimitEndsInTheSameEllipsizedLine) {
    TextEngine& engine = TextEngine::forThisThread();
    const std::string text = "Hello " + numberedWord(3000) + " tail";
    const UIFont font = UIFont::systemFontOfSize(13);
    for (int limit : {1, 2, 7}) {
        SCOPED_TRACE(limit);
        TextLayoutParams params;
        params.width = 180;
        params.lineBreakMode = 4;
        params.maxLines = limit;
        const TextEngine::Laid laid = engine.layout(text, font, params);
        EXPECT_EQ(laid.lineCount, limit);
        EXPECT_GT(laid.totalLines, limit);
        PangoLayout* reference = wrappedByPango(text, 180, 13, limit);
        std::vector<Line> have = lines(laid), want = lines(reference);
        have.resize(static_cast<std::size_t>(limit));
        want.resize(static_cast<std::size_t>(limit));
        // The last line holds the rest of the text, ellipsized: its width is what it shows.
        EXPECT_NEAR(have.back().width, want.back().width, PANGO_SCALE / 8);
        have.back().text = want.back().text;
        expectSameLines(have, want);
        g_object_unref(reference);
    }
}

TEST(TextEngineTest, AnOverlongWordDrawsAsPangoWrapsIt) {
    TextEngine& engine = TextEngine::forThisThread();
    const std::string text = numberedWord(2000);
    TextLayoutParams params;
    params.width = 150;
    params.lineBreakMode = 4;
    const TextEngine::Laid laid = engine.layout(text, UIFont::systemFontOfSize(13), params);
    PangoLayout* reference = wrappedByPango(text, 150, 13);
    auto drawn = [](PangoLayout* layout) {
        return pixels::draw(160, 500, [&](const CGContextRef& c) {
            cairo_set_source_rgb(c->cairo(), 0, 0, 0);
            cairo_move_to(c->cairo(), 0, 0);
            pango_cairo_show_layout(c->cairo(), layout);
        });
    };
    const CGImageRef have = pixels::draw(160, 500, [&](const CGContextRef&c) { drawLaid(c, laid); }),
                     want = drawn(reference);
    g_object_unref(reference);
    // Line by line, ink reaches as far right in both, and none lies beyond the width.
    auto ink = [](const CGImage::Pixel& p) { return p.a > 100; };
    auto rightmost = [&](const CGImageRef& image, int top, int bottom) {
        for (int x = 159; x >= 0; --x)
            if (pixels::count(image, x, top, x + 1, bottom, ink) > 0)
                return x;
        return -1;
    };
    const int line = static_cast<int>(UIFont::systemFontOfSize(13).lineHeight());
    int inked = 0;
    for (int top = 0; top + line <= 500; top += line) {
        const int edge = rightmost(want, top + 2, top + line - 2);
        EXPECT_NEAR(rightmost(have, top + 2, top + line - 2), edge, 1) << "line at " << top;
        inked += edge > 100 ? 1 : 0;
    }
    EXPECT_GT(inked, 10);
    EXPECT_EQ(pixels::count(have, 152, 0, 160, 500, ink), 0);
}

TEST(TextEngineTest, AChangeOfTextFontOrWidthIsNotServedAnotherLayout) {
    TextEngine& engine = TextEngine::forThisThread();
    const std::string word = numberedWord(3000);
    std::string other = word;
    other[1500] = 'W'; // wider than the letter it replaces
    TextLayoutParams narrow, wide;
    narrow.width = 180;
    wide.width = 250;
    const UIFont small = UIFont::systemFontOfSize(13), large = UIFont::systemFontOfSize(17);
    struct Case {
        const std::string& text;
        UIFont font;
        TextLayoutParams params;
    };
    const Case cases[] = {
        {word, small, narrow}, {word, large, narrow}, {word, small, wide}, {other, small, narrow}};
    std::vector<std::vector<Line>> cached;
    for (const Case& c : cases)
        cached.push_back(lines(engine.layout(c.text, c.font, c.params)));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::vector<Line> fresh;
        std::thread([&] {
            fresh = lines(TextEngine::forThisThread().layout(cases[i].text, cases[i].font, cases[i].params));
        }).join();
        EXPECT_EQ(cached[i], fresh) << "case " << i;
        EXPECT_EQ(lines(engine.layout(cases[i].text, cases[i].font, cases[i].params)), fresh) << "case " << i;
    }
    EXPECT_NE(cached[0], cached[1]);
    EXPECT_NE(cached[0], cached[2]);
    EXPECT_NE(cached[0], cached[3]);
}

TEST(TextEngineTest, TextsOfOneLengthWrapAlternatelyEachAtItsOwnBreaks) {
    // Texts of the same length whose break opportunities lie elsewhere (a space, a hyphen, a
    // combining mark, a non-Latin stretch), laid out in turn at two widths and cut by a limit, as
    // a label measures and draws them: each comes out as a fresh engine lays it out.
    const std::string word = numberedWord(2400);
    std::vector<std::string> texts(5, word);
    texts[1][700] = ' ';
    texts[2][1300] = '-';
    texts[3].replace(900, 3, "e\u0301"); // a letter and its combining accent, three bytes
    texts[4].replace(400, 6, "\u0436\u0430\u0431");
    TextLayoutParams wide, narrow, cut;
    wide.width = 295;
    narrow.width = 294;
    cut.width = 294;
    cut.maxLines = 7;
    cut.lineBreakMode = NSLineBreakByTruncatingTail;
    const UIFont font = UIFont::systemFontOfSize(12);
    TextEngine& engine = TextEngine::forThisThread();
    for (int round = 0; round < 2; ++round)
        for (std::size_t i = 0; i < texts.size(); ++i)
            for (const TextLayoutParams& params : {wide, narrow, cut}) {
                SCOPED_TRACE(testing::Message() << "text " << i << " at " << params.width << ", limit "
                                                << params.maxLines << ", round " << round);
                ASSERT_EQ(texts[i].size(), word.size());
                const TextEngine::Laid laid = engine.layout(texts[i], font, params);
                std::vector<Line> fresh;
                CGSize freshSize;
                std::thread([&] {
                    const TextEngine::Laid alone = TextEngine::forThisThread().layout(texts[i], font, params);
                    fresh = lines(alone);
                    freshSize = alone.size;
                }).join();
                EXPECT_EQ(lines(laid), fresh);
                EXPECT_EQ(laid.size.width, freshSize.width);
                EXPECT_EQ(laid.size.height, freshSize.height);
            }
}

// The fonts the runs of a laid-out text are drawn with, by family.
std::set<std::string> runFamilies(const TextEngine::Laid& laid) {
    std::set<std::string> families;
    auto add = [&](PangoFont* font) {
        PangoFontDescription* d = pango_font_describe(font);
        families.insert(pango_font_description_get_family(d));
        pango_font_description_free(d);
    };
    if (laid.lines) {
        for (const GlyphLines::Line& line : laid.lines->lines())
            for (const GlyphLines::Run& run : line.runs)
                add(run.item->analysis.font);
        return families;
    }
    PangoLayoutIter* iter = pango_layout_get_iter(laid.layout);
    do {
        if (PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter))
            add(run->item->analysis.font);
    } while (pango_layout_iter_next_run(iter));
    pango_layout_iter_free(iter);
    return families;
}

// The width of `text` laid out on a line of its own by Pango, in the engine's context and font.
int widthAlone(const UIFont& font, const std::string& text) {
    PangoLayout* layout = TextEngine::forThisThread().build(text, font, TextLayoutParams{});
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return logical.width;
}

// A word of letters from several scripts, some of which the system face lacks (mathematical bold
// capitals come from a fallback face), with ideographs and emoji inside, is measured with the
// widths of the fonts that draw it: each line the engine breaks it into fits the width, is as
// wide as Pango makes that line on its own, and draws ink across it.
TEST(TextEngineTest, AMixedScriptWordIsMeasuredAndDrawnWithItsFallbackFonts) {
    std::string word;
    for (int i = 0; word.size() < 2400; ++i)
        word += i % 80 == 79 ? "\u4E2D\U0001F600" : "ab\U0001D400\u03B1\u0436";
    const std::string text = "Hello " + word + " tail";
    TextLayoutParams params;
    params.width = 180;
    params.lineBreakMode = 4;
    const UIFont font = UIFont::systemFontOfSize(13);
    const TextEngine::Laid laid = TextEngine::forThisThread().layout(text, font, params);
    const std::string laidText(laid.text());
    ASSERT_NE(laidText.find('\n'), std::string::npos) << "the engine did not break the word itself";
    EXPECT_GE(runFamilies(laid).size(), 2u);
    EXPECT_EQ(withoutInserted(laidText), withoutInserted(text));

    const std::vector<Line> broken = lines(laid);
    ASSERT_GT(broken.size(), 20u);
    const std::vector<TextEngine::LineFacts> facts = laid.lineFacts();
    for (std::size_t i = 0; i < facts.size(); ++i) {
        SCOPED_TRACE(i);
        std::string shown(laidText, static_cast<std::size_t>(facts[i].start),
                          static_cast<std::size_t>(facts[i].length));
        while (!shown.empty() && (shown.back() == '\n' || shown.back() == ' '))
            shown.pop_back();
        EXPECT_LE(broken[i].width, 180 * PANGO_SCALE);
        EXPECT_NEAR(broken[i].width, widthAlone(font, shown), PANGO_SCALE / 8);
    }

    const CGImageRef drawn = pixels::draw(
        190, 400, [&](const CGContextRef& c) { drawLaid(c, laid); }, 2);
    // Lines within the word are full (but those ending before an ideograph or an emoji, where
    // the word may break early): their ink reaches near the width, and never past it.
    auto ink = [](const CGImage::Pixel& p) { return p.a > 100; };
    const int band = static_cast<int>(2 * font.lineHeight());
    int bands = 0, full = 0;
    for (int top = band; top + 2 * band <= 800; top += band, ++bands) {
        full += pixels::count(drawn, 330, top, 362, top + band, ink) > 0 ? 1 : 0;
        EXPECT_EQ(pixels::count(drawn, 362, top, 380, top + band, ink), 0) << "line at " << top;
    }
    EXPECT_GE(full, bands - 2);
}

} // namespace

namespace {

// A label settling on its width lays its text out at the width it is offered and then at the
// width of its widest line: the lines made for the first serve the second, and a width at which
// the text breaks otherwise gets lines of its own, the same as a fresh engine makes.
TEST(TextEngineTest, LinesServeANarrowerWidthOnlyWhereTheyBreakTheSame) {
    TextEngine& engine = TextEngine::forThisThread();
    // Wide letters leave room at the end of each line.
    const std::string text = std::string(3000, 'm');
    const UIFont font = UIFont::systemFontOfSize(12);
    TextLayoutParams params;
    params.width = 300;
    params.alignment = 1; // centred, as the progress HUD's details
    params.lineBreakMode = 4;
    const TextEngine::Laid offered = engine.layout(text, font, params);
    ASSERT_TRUE(offered.lines) << "the engine did not lay the lines out itself";
    ASSERT_LT(offered.size.width, 299);

    params.width = std::ceil(offered.size.width);
    const TextEngine::Laid settled = engine.layout(text, font, params);
    EXPECT_EQ(settled.lines, offered.lines);
    EXPECT_EQ(settled.size, offered.size);
    // Centred in the narrower width, each line moves by half the difference.
    const std::vector<TextEngine::LineFacts> before = offered.lineFacts(), after = settled.lineFacts();
    ASSERT_EQ(before.size(), after.size());
    EXPECT_NEAR(after[0].logical.x, before[0].logical.x - (300 - params.width) * PANGO_SCALE / 2, 1);

    for (CGFloat width : {params.width, std::floor(offered.size.width) - 1, 200.0}) {
        SCOPED_TRACE(width);
        params.width = width;
        const TextEngine::Laid here = engine.layout(text, font, params);
        std::vector<Line> fresh;
        std::thread([&] { fresh = lines(TextEngine::forThisThread().layout(text, font, params)); }).join();
        EXPECT_EQ(lines(here), fresh);
        if (width < offered.size.width) {
            EXPECT_NE(here.lines, offered.lines);
        }
    }

    // A cut ends in a line Pango ellipsized for its width, which serves no other width.
    // (Another text, so that the cut is the first layout made of it.)
    const std::string other = text + "m";
    params.maxLines = 5;
    params.width = 300;
    const TextEngine::Laid cut = engine.layout(other, font, params);
    ASSERT_TRUE(cut.ellipsized);
    params.width = std::ceil(offered.size.width);
    const TextEngine::Laid narrower = engine.layout(other, font, params);
    EXPECT_NE(narrower.ellipsized, cut.ellipsized);
    std::vector<Line> fresh;
    std::thread([&] { fresh = lines(TextEngine::forThisThread().layout(other, font, params)); }).join();
    EXPECT_EQ(lines(narrower), fresh);
}

} // namespace
