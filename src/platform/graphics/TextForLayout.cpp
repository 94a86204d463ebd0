#include "platform/graphics/TextForLayout.h"
#include "platform/graphics/DrawingLibraries.h"

#include <pango/pango.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {

// Narrower than any space or letter of a text face: the thinnest spaces are a sixteenth of an em.
constexpr CGFloat kNarrowestAdvanceEm = 0.05;
constexpr std::string_view kEllipsis = "\u2026";
constexpr std::string_view kZeroWidthSpace = "\u200B";
constexpr std::string_view kSoftHyphen = "\u00AD";

// The values of NSLineBreakMode that truncate the head and the middle of a line.
constexpr std::int64_t kTruncatingHead = 3;
constexpr std::int64_t kTruncatingMiddle = 5;

// Any byte but a UTF-8 continuation byte starts a character (an invalid byte counts as one).
bool startsCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

// The offset of the character after the first `count` characters, or the end.
std::size_t afterFirstCharacters(std::string_view text, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (startsCharacter(text[i]) && seen++ == count)
            return i;
    }
    return text.size();
}

// The offset of the first of the last `count` characters, or 0.
std::size_t beforeLastCharacters(std::string_view text, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = text.size(); i-- > 0;) {
        if (startsCharacter(text[i]) && ++seen == count)
            return i;
    }
    return 0;
}

// Pango expects valid UTF-8; text from files and the network may not be. Invalid bytes become
// U+FFFD instead of being handed on.
std::string validUTF8(std::string_view text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
        return std::string(text);
    gchar* fixed = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string out(fixed);
    g_free(fixed);
    return out;
}

std::size_t characterBudget(const TextLayoutParams& params, CGFloat pointSize) {
    std::size_t budget = kLongestLaidOutText;
    if (params.width >= 0 && params.maxLines > 0) {
        double lines = static_cast<double>(params.maxLines) + 2;
        double characters = lines * static_cast<double>(charactersPerLine(params.width, pointSize));
        if (characters < static_cast<double>(budget))
            budget = static_cast<std::size_t>(characters);
    }
    return budget;
}

bool isSpaceByte(char byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r' || byte == '\f' || byte == '\v';
}

} // namespace

bool breakInsertsHyphen(const PangoLogAttr& a) {
#if PANGO_VERSION_CHECK(1, 50, 0)
    return a.break_inserts_hyphen;
#else
    return true;
#endif
}

bool hasRunLongerThan(std::string_view text, std::size_t length) {
    std::size_t run = 0;
    for (char byte : text) {
        run = isSpaceByte(byte) ? 0 : run + 1;
        if (run > length)
            return true;
    }
    return false;
}

std::vector<std::size_t> lineStartsInWord(const std::vector<WordCharacter>& word, int width, int hyphenWidth,
                                          BreakWidths* widths) {
    BreakWidths unused;
    BreakWidths& recorded = widths ? *widths : unused;
    std::vector<std::size_t> starts;
    long long rest = 0;
    for (const WordCharacter& c : word)
        rest += c.advance;
    std::size_t start = 0;
    while (!recorded.fits(rest, width)) {
        // The first break that overflows ends the search once some break was found, as in
        // Pango's own line breaking; until then the line takes whatever it must.
        long long run = 0, before = 0;
        std::size_t found = 0;
        for (std::size_t i = start; i < word.size(); ++i) {
            const long long extra = word[i].hyphenBefore ? hyphenWidth : 0;
            if (found != 0 && !recorded.fits(run + extra, width))
                break;
            if (i > start && word[i].breakBefore) {
                found = i;
                before = run;
            }
            run += word[i].advance;
        }
        if (found == 0)
            break; // nowhere left to break: the rest stays on one line
        starts.push_back(found);
        rest -= before;
        start = found;
    }
    return starts;
}

std::size_t charactersPerLine(CGFloat width, CGFloat pointSize) {
    if (!(pointSize > 0) || !(width >= 0))
        return kLongestLaidOutText;
    double characters = std::floor(width / (kNarrowestAdvanceEm * pointSize)) + 1;
    return characters < static_cast<double>(kLongestLaidOutText) ? static_cast<std::size_t>(characters)
                                                                 : kLongestLaidOutText;
}

std::string shownPartOfText(std::string_view text, const TextLayoutParams& params, CGFloat pointSize) {
    std::size_t budget = characterBudget(params, pointSize);
    std::size_t end = afterFirstCharacters(text, budget);
    if (end == text.size())
        return validUTF8(text);
    std::string shown = validUTF8(text.substr(0, end));
    shown += kEllipsis;
    if (params.lineBreakMode == kTruncatingHead || params.lineBreakMode == kTruncatingMiddle) {
        std::size_t start = std::max(end, beforeLastCharacters(text, budget));
        shown += validUTF8(text.substr(start));
    }
    return shown;
}

std::string withBreaksInOverlongWords(const std::string& text, std::size_t longestWord) {
    if (text.size() > static_cast<std::size_t>(INT_MAX) || !hasRunLongerThan(text, longestWord))
        return text;
    const int bytes = static_cast<int>(text.size());
    const glong characters = g_utf8_strlen(text.data(), bytes);
    std::vector<PangoLogAttr> attrs(static_cast<std::size_t>(characters) + 1);
    pango_get_log_attrs(text.data(), bytes, -1, pango_language_from_string("en-us"), attrs.data(),
                        static_cast<int>(attrs.size()));
    std::string out;
    out.reserve(text.size() * 2);
    std::size_t inWord = 0; // characters of the current word so far
    const char* p = text.data();
    for (glong i = 0; i < characters; ++i) {
        const char* next = nextUTF8Character(p);
        const PangoLogAttr& a = attrs[static_cast<std::size_t>(i)];
        if (a.is_line_break || a.is_mandatory_break)
            inWord = 0;
        if (a.is_char_break && !a.is_white && inWord++ >= longestWord)
            out += breakInsertsHyphen(a) ? kSoftHyphen : kZeroWidthSpace;
        out.append(p, next);
        p = next;
    }
    return out;
}

std::string textForLayout(std::string_view text, const TextLayoutParams& params, CGFloat pointSize) {
    std::string shown = shownPartOfText(text, params, pointSize);
    if (params.width < 0)
        return shown;
    return withBreaksInOverlongWords(shown, charactersPerLine(params.width, pointSize));
}
