// Lines the text engine lays out from glyph runs of its own are the lines Pango lays out: the
// same breaks, extents and baselines as a PangoLayout of the same text, and the same ink when
// drawn, for Latin text, a word no line holds, and a paragraph of several scripts that needs
// fallback fonts. Text the glyph lines cannot show as Pango would stays with Pango's layout. A long
// text measured without a width is one glyph line with the box of Pango's one line, and its
// shaping, kept for the wrapping that follows, breaks it as a shaping of its own would.

#include "platform/graphics/GlyphLines.h"

#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/TextEngine.h"
#include "support/PixelTesting.h"

#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string letteredWord(std::size_t letters) {
    std::string text = std::to_string(letters);
    while (text.size() < letters)
        text += static_cast<char>('a' + text.size() % 26);
    return text;
}

// A paragraph of Latin, ideographs, emoji and letters the system face lacks (mathematical bold
// capitals come from a fallback face), short enough for a line.
std::string mixedScripts() {
    return "Tail \u4E2D\u6587 \U0001F600 \U0001D400\u03B1\u0436 end";
}

std::vector<std::string> sampleTexts() {
    return {letteredWord(1500), "Short words\n" + letteredWord(1500) + "\nA tail of words\n",
            "\n\n" + letteredWord(1200) + "\n" + mixedScripts() + "\n"};
}

TextLayoutParams wrappedAt(CGFloat width, std::int64_t alignment = 4) {
    TextLayoutParams params;
    params.width = width;
    params.alignment = alignment;
    params.lineBreakMode = NSLineBreakByTruncatingTail;
    return params;
}

// Pango's own layout of the text the engine laid out, set up as the engine sets up its own.
struct PangoReference {
    PangoLayout* layout;
    explicit PangoReference(const TextEngine::Laid& laid, const UIFont& font, const TextLayoutParams& params)
        : layout(TextEngine::forThisThread().build(std::string(laid.text()), font, params)) {
        // A cut text ends at its limit of lines, and its last paragraph on one line, ellipsized.
        if (params.maxLines > 0) {
            PangoRectangle first;
            pango_layout_line_get_extents(pango_layout_get_line_readonly(layout, 0), nullptr, &first);
            pango_layout_set_height(layout,
                                    static_cast<int>(params.maxLines) * first.height + first.height / 2);
        }
    }
    ~PangoReference() { g_object_unref(layout); }
    std::vector<TextEngine::LineFacts> facts() const {
        TextEngine::Laid whole;
        whole.layout = layout;
        return whole.lineFacts();
    }
};

TEST(GlyphLinesTest, BreakExtentsAndBaselinesAreAPangoLayouts) {
    TextEngine& engine = TextEngine::forThisThread();
    for (const std::string& text : sampleTexts())
        for (CGFloat size : {9.0, 13.0})
            for (CGFloat width : {160.0, 220.0, 343.0})
                for (std::int64_t alignment : {4, 1, 2}) {
                    SCOPED_TRACE(testing::Message() << text.substr(0, 12) << " at " << size << " pt, "
                                                    << width << " wide, aligned " << alignment);
                    const UIFont font = UIFont::systemFontOfSize(size);
                    const TextLayoutParams params = wrappedAt(width, alignment);
                    const TextEngine::Laid laid = engine.layout(text, font, params);
                    ASSERT_TRUE(laid.lines) << "not laid out from glyph runs";
                    const PangoReference reference(laid, font, params);
                    const std::vector<TextEngine::LineFacts> have = laid.lineFacts(),
                                                             want = reference.facts();
                    ASSERT_EQ(have.size(), want.size());
                    for (std::size_t i = 0; i < have.size(); ++i) {
                        SCOPED_TRACE(i);
                        EXPECT_EQ(have[i].start, want[i].start);
                        EXPECT_EQ(have[i].length, want[i].length);
                        EXPECT_EQ(have[i].logical.y, want[i].logical.y);
                        EXPECT_EQ(have[i].logical.height, want[i].logical.height);
                        EXPECT_EQ(have[i].baseline, want[i].baseline);
                        EXPECT_EQ(have[i].logical.x, want[i].logical.x);
                        EXPECT_EQ(have[i].logical.width, want[i].logical.width);
                    }
                    PangoRectangle extents;
                    pango_layout_get_extents(reference.layout, nullptr, &extents);
                    EXPECT_DOUBLE_EQ(laid.size.height, static_cast<CGFloat>(extents.height) / PANGO_SCALE);
                }
}

// Drawn through the string drawing and as Pango draws its layout of the same text, each line
// (a band of its logical box) has the same ink box within a pixel and the same coverage within
// antialiasing.
void expectInkOfPango(const std::string& text, const UIFont& font, const TextLayoutParams& params,
                      int height) {
    constexpr double scale = 2;
    const TextEngine::Laid laid = TextEngine::forThisThread().layout(text, font, params);
    ASSERT_TRUE(laid.lines) << "not laid out from glyph runs";
    const PangoReference reference(laid, font, params);
    const int width = static_cast<int>(params.width) + 20;
    NSStringAttributes a;
    a.font = font;
    a.alignment = static_cast<NSTextAlignment>(params.alignment);
    a.lineBreakMode = static_cast<NSLineBreakMode>(params.lineBreakMode);
    a.numberOfLines = params.maxLines;
    const CGImageRef have = pixels::draw(
        width, height,
        [&](const CGContextRef& c) {
            // A rectangle taller than the text: all lines are drawn, and the image cuts them.
            NSStringDrawInRect(text, CGRectMake(0, 0, params.width, params.maxLines > 0 ? height : 1e5), a,
                               c);
        },
        scale);
    const CGImageRef want = pixels::draw(
        width, height,
        [&](const CGContextRef& c) {
            cairo_set_source_rgb(c->cairo(), 0, 0, 0);
            cairo_move_to(c->cairo(), 0, 0);
            pango_cairo_show_layout(c->cairo(), reference.layout);
        },
        scale);
    int inked = 0;
    for (const TextEngine::LineFacts& line : reference.facts()) {
        const int top = static_cast<int>(std::lround(line.logical.y * scale / PANGO_SCALE));
        const int bottom =
            static_cast<int>(std::lround((line.logical.y + line.logical.height) * scale / PANGO_SCALE));
        if (bottom > height * scale)
            break;
        SCOPED_TRACE(testing::Message() << "line from " << top);
        const pixels::BandInk h = pixels::inkInBand(have, top, bottom),
                              w = pixels::inkInBand(want, top, bottom);
        EXPECT_EQ(h.coverage == 0, w.coverage == 0);
        if (w.coverage == 0)
            continue;
        ++inked;
        EXPECT_NEAR(h.left, w.left, 1);
        EXPECT_NEAR(h.right, w.right, 1);
        EXPECT_NEAR(h.top, w.top, 1);
        EXPECT_NEAR(h.bottom, w.bottom, 1);
        EXPECT_NEAR(static_cast<double>(h.coverage), static_cast<double>(w.coverage),
                    0.02 * static_cast<double>(w.coverage) + 255);
    }
    EXPECT_GT(inked, 5);
}

TEST(GlyphLinesTest, LatinTextDrawsThePixelsOfAPangoLayout) {
    expectInkOfPango("Short words\n" + letteredWord(1500) + "\nA tail of words", UIFont::systemFontOfSize(13),
                     wrappedAt(180, 1), 400);
}

TEST(GlyphLinesTest, AnOverlongWordDrawsThePixelsOfAPangoLayout) {
    expectInkOfPango(letteredWord(2000), UIFont::systemFontOfSize(17), wrappedAt(150), 400);
}

TEST(GlyphLinesTest, MixedScriptsDrawWithTheirFallbackFontsAsAPangoLayoutDoes) {
    expectInkOfPango(letteredWord(600) + "\n" + mixedScripts() + "\n" + mixedScripts(),
                     UIFont::systemFontOfSize(13), wrappedAt(180), 600);
}

// A limit in a truncating mode keeps the glyph lines before the last shown one, which holds the
// rest of its paragraph ellipsized, as Pango's layout of the cut text ends.
TEST(GlyphLinesTest, ALimitEndsInTheLinePangoEllipsizes) {
    const UIFont font = UIFont::systemFontOfSize(13);
    TextLayoutParams params = wrappedAt(180, 1);
    params.maxLines = 7;
    const std::string word = letteredWord(3000);
    const TextEngine::Laid laid = TextEngine::forThisThread().layout(word, font, params);
    ASSERT_TRUE(laid.lines && laid.ellipsized);
    EXPECT_EQ(laid.lineCount, 7);
    EXPECT_GT(laid.totalLines, 7);
    EXPECT_TRUE(pango_layout_is_ellipsized(laid.ellipsized->layout));

    // Pango's layout of the shown lines and the whole rest of the word after them.
    const std::vector<TextEngine::LineFacts> have = laid.lineFacts();
    std::string before(laid.text().substr(0, static_cast<std::size_t>(have.back().start)));
    std::size_t consumed = before.size();
    for (std::size_t at = 0; (at = before.find("\u2010\n", at)) != std::string::npos; at += 4)
        consumed -= 4;
    TextEngine::Laid whole = laid;
    whole.ellipsized = nullptr;
    whole.lines = nullptr;
    const std::string cut = before + word.substr(consumed);
    PangoLayout* layout = TextEngine::forThisThread().build(cut, font, params);
    pango_layout_set_height(layout, 7 * have[0].logical.height + have[0].logical.height / 2);
    whole.layout = layout;
    const std::vector<TextEngine::LineFacts> want = whole.lineFacts();
    g_object_unref(layout);
    ASSERT_EQ(have.size(), want.size());
    for (std::size_t i = 0; i < have.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(have[i].start, want[i].start);
        EXPECT_EQ(have[i].logical.y, want[i].logical.y);
        EXPECT_EQ(have[i].baseline, want[i].baseline);
        EXPECT_EQ(have[i].logical.x, want[i].logical.x);
        EXPECT_EQ(have[i].logical.width, want[i].logical.width);
    }
    expectInkOfPango(word, font, params, 200);
}

// What glyph lines cannot show as Pango would is left to Pango: right-to-left text, justified
// lines, tabs, and paragraphs of words that need Pango's own wrapping.
TEST(GlyphLinesTest, TextGlyphLinesCannotShowStaysWithPango) {
    TextEngine& engine = TextEngine::forThisThread();
    const std::string word = letteredWord(1500);
    const UIFont font = UIFont::systemFontOfSize(13);
    EXPECT_TRUE(engine.layout(word, font, wrappedAt(180)).lines);
    for (const std::string& text : {"\u05E9\u05DC\u05D5\u05DD\n" + word, word + "\tx",
                                    "one two three four five six "
                                    "seven eight nine ten\n" +
                                        word}) {
        const TextEngine::Laid laid = engine.layout(text, font, wrappedAt(180));
        EXPECT_FALSE(laid.lines);
        EXPECT_TRUE(laid.layout);
    }
    EXPECT_FALSE(engine.layout(word, font, wrappedAt(180, NSTextAlignmentJustified)).lines);
}

} // namespace

namespace {

// Long texts without a width, one line each: Latin, a word ending in an ellipsis, combining
// marks, emoji (one with a modifier, one joined), ideographs, and letters only a fallback face has.
std::vector<std::string> unwrappedTexts() {
    const std::string word = letteredWord(900);
    return {word,
            letteredWord(4096) + "\u2026",
            word + " and a few words after it",
            "e\u0301a\u0308o\u0323\u0302" + word + "n\u0303",
            word + "\U0001F44D\U0001F3FD\U0001F468\u200D\U0001F469\u200D\U0001F467",
            "\u4E2D\u6587" + word + "\u65E5\u672C\u8A9E",
            word + "\U0001D400\U0001D401\u03B1\u0436\u00DF",
            mixedScripts() + " " + word};
}

TextLayoutParams unwrapped(std::int64_t maxLines = 0, std::int64_t alignment = 4) {
    TextLayoutParams params = wrappedAt(-1, alignment);
    params.maxLines = maxLines;
    return params;
}

void expectSameFacts(const std::vector<TextEngine::LineFacts>& have,
                     const std::vector<TextEngine::LineFacts>& want) {
    ASSERT_EQ(have.size(), want.size());
    for (std::size_t i = 0; i < have.size(); ++i) {
        const TextEngine::LineFacts &h = have[i], &w = want[i];
        EXPECT_TRUE(h.start == w.start && h.length == w.length && h.baseline == w.baseline &&
                    h.logical.x == w.logical.x && h.logical.y == w.logical.y &&
                    h.logical.width == w.logical.width && h.logical.height == w.logical.height)
            << "line " << i << " from " << h.start << " (" << w.start << "), " << h.logical.width << " ("
            << w.logical.width << ") wide, " << h.logical.height << " (" << w.logical.height << ") high";
    }
}

} // namespace

// Measured without a width, a long plain text is one line of glyph runs whose box, baseline and
// size are those of Pango's layout, at any size, weight or slant, aligned any way. Ordinary text,
// several paragraphs, and text glyph lines cannot show keep Pango's layout.
TEST(GlyphLinesTest, AnUnwrappedTextMeasuresAsPangoLaysItOut) {
    TextEngine& engine = TextEngine::forThisThread();
    for (const std::string& text : unwrappedTexts())
        for (const UIFont& font : {UIFont::systemFontOfSize(9), UIFont::boldSystemFontOfSize(17),
                                   UIFont::italicSystemFontOfSize(28)})
            for (std::int64_t maxLines : {0, 1})
                for (std::int64_t alignment : {4, 1, 2}) {
                    SCOPED_TRACE(testing::Message()
                                 << text.substr(0, 16) << " at " << font.pointSize() << " pt, " << maxLines
                                 << " lines, aligned " << alignment);
                    const TextLayoutParams params = unwrapped(maxLines, alignment);
                    const TextEngine::Laid laid = engine.layout(text, font, params);
                    ASSERT_TRUE(laid.lines) << "not laid out from glyph runs";
                    const PangoReference reference(laid, font, params);
                    expectSameFacts(laid.lineFacts(), reference.facts());
                    PangoRectangle extents;
                    pango_layout_get_extents(reference.layout, nullptr, &extents);
                    EXPECT_DOUBLE_EQ(laid.size.width, static_cast<CGFloat>(extents.width) / PANGO_SCALE);
                    EXPECT_DOUBLE_EQ(laid.size.height, static_cast<CGFloat>(extents.height) / PANGO_SCALE);
                    EXPECT_EQ(laid.lineCount, 1);
                    EXPECT_EQ(laid.totalLines, 1);
                }
    const std::string word = letteredWord(900);
    for (const std::string& text :
         {std::string("A few short words"), word + "\n" + word, word + "\n", word + "\u2028x", word + "\tx",
          "\u05E9\u05DC\u05D5\u05DD " + word, word + "\u00ADx"}) {
        const TextEngine::Laid laid = engine.layout(text, UIFont::systemFontOfSize(13), unwrapped());
        EXPECT_TRUE(!laid.lines && laid.layout) << text.substr(0, 16);
    }
}

// A text measured without a width and then wrapped breaks where an engine that never measured
// it breaks it, into lines of the same boxes: the advances its wrapping reads from the shaping
// kept for the unwrapped line are those of a shaping of its own.
TEST(GlyphLinesTest, WrappingAfterAnUnwrappedMeasureBreaksAsAFreshEngine) {
    for (const std::string& text : unwrappedTexts())
        for (CGFloat size : {9.0, 17.0})
            for (CGFloat width : {60.0, 295.0}) {
                SCOPED_TRACE(testing::Message() << text.substr(0, 16) << " at " << size << " pt, " << width);
                const UIFont font = UIFont::systemFontOfSize(size);
                auto facts = [&](bool measuredFirst) {
                    std::vector<TextEngine::LineFacts> out;
                    std::thread([&] {
                        TextEngine& engine = TextEngine::forThisThread();
                        if (measuredFirst)
                            engine.layout(text, font, unwrapped());
                        out = engine.layout(text, font, wrappedAt(width, 1)).lineFacts();
                    }).join();
                    return out;
                };
                expectSameFacts(facts(true), facts(false));
            }
}

// Drawn at a point, the unwrapped line inks what Pango's layout of it inks.
TEST(GlyphLinesTest, AnUnwrappedTextDrawsThePixelsOfAPangoLayout) {
    for (const std::string& text : {letteredWord(120) + " " + mixedScripts(),
                                    "e\u0301a\u0308" + letteredWord(100) + "\U0001F44D\U0001F3FD\u2026"}) {
        SCOPED_TRACE(text.substr(0, 16));
        NSStringAttributes a;
        a.font = UIFont::systemFontOfSize(13);
        const TextEngine::Laid laid = TextEngine::forThisThread().layout(text, a.font, unwrapped());
        ASSERT_TRUE(laid.lines);
        const PangoReference reference(laid, a.font, unwrapped());
        const int width = static_cast<int>(laid.size.width) + 20;
        auto ink = [&](const std::function<void(const CGContextRef&)>& draw) {
            return pixels::inkInBand(pixels::draw(width, 40, draw, 2), 0, 80);
        };
        const pixels::BandInk have =
            ink([&](const CGContextRef& c) { NSStringDrawAtPoint(text, CGPointMake(4, 4), a, c); });
        const pixels::BandInk want = ink([&](const CGContextRef& c) {
            cairo_set_source_rgb(c->cairo(), 0, 0, 0);
            cairo_move_to(c->cairo(), 4, 4);
            pango_cairo_show_layout(c->cairo(), reference.layout);
        });
        ASSERT_GT(want.coverage, 0);
        EXPECT_TRUE(have.left == want.left && have.right == want.right && have.top == want.top &&
                    have.bottom == want.bottom);
        EXPECT_NEAR(static_cast<double>(have.coverage), static_cast<double>(want.coverage),
                    0.01 * static_cast<double>(want.coverage));
    }
}
