#pragma once

// What of a string the text engine hands to Pango. Pango's work grows with the whole text, and
// with the square of a word that no line can hold (it looks for a word break through the rest of
// the word on every line), while a label shows a few lines. So before layout:
//
// - the text is cut to what can be shown: at most `maxLines` lines (plus two, so that the break
//   at the end of the last shown line and its truncation come out as for the whole text) of at
//   most `charactersPerLine` characters each, and never more than kLongestLaidOutText
//   characters. A cut text ends in an ellipsis; a text truncated at its head or in its middle
//   keeps its end too, since that is what such a truncation shows;
// - a word longer than any line (a run without a break opportunity) gets a break opportunity
//   between its characters past its first line's worth (a soft hyphen where Pango would show a
//   hyphen on breaking there, a zero-width space elsewhere), so Pango wraps it by characters in
//   linear time and it looks as Pango's own wrapping by characters. The word still starts on a
//   line of its own, as Pango starts one that is too long.
//
// Text that fits these bounds, as all ordinary text does, is handed on unchanged.
//
//     std::string shown = textForLayout(label->text(), params, font.pointSize());

#include "platform/graphics/GlyphLines.h"
#include "platform/graphics/TextEngine.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The most characters of one string that are ever laid out: about seventy lines of a 13-point
// footer across a phone, far more than any label of a settings screen holds.
inline constexpr std::size_t kLongestLaidOutText = 4096;

// The most characters a line of `width` points can hold in a font of `pointSize` points, with
// every character at least a twentieth of an em wide (narrower than any space or letter).
std::size_t charactersPerLine(CGFloat width, CGFloat pointSize);

// `text` (any bytes) cut to what the layout can show, as above, and made valid UTF-8 (invalid
// bytes become U+FFFD).
std::string shownPartOfText(std::string_view text, const TextLayoutParams& params, CGFloat pointSize);

// `text` (valid UTF-8) with a break opportunity (a soft hyphen or a zero-width space) before each
// character of a word after its first `longestWord` characters; unchanged when no word is that
// long.
std::string withBreaksInOverlongWords(const std::string& text, std::size_t longestWord);

// Both: what TextEngine lays out for `text`. Words are broken only when lines wrap.
std::string textForLayout(std::string_view text, const TextLayoutParams& params, CGFloat pointSize);

// Whether some run of bytes without an ASCII space is longer than `length`: a cheap first look
// that passes over ordinary prose without asking Pango where its lines may break.
bool hasRunLongerThan(std::string_view text, std::size_t length);

typedef struct _PangoLogAttr PangoLogAttr;

// Whether Pango shows a hyphen where it breaks a word by characters before this character.
bool breakInsertsHyphen(const PangoLogAttr& attributes);

// One character of a word that no line holds: its advance in Pango units, whether a line may
// start before it, and whether a break there shows a hyphen at the end of the line before.
struct WordCharacter {
    int advance = 0;
    bool breakBefore = false;
    bool hyphenBefore = false;
};

// Where such a word wraps by characters, as Pango wraps it: a line takes characters while they,
// with the hyphen a break after them would show, fit `width`, and at least one cluster when not
// even that fits. Returns the index of the character each line after the first starts with; the
// last line holds what remains, which fits. Shaping the word once and breaking it here spares
// Pango shaping the rest of the word again at every line.
// Every width it compares with `width` is recorded in `widths` when given.
std::vector<std::size_t> lineStartsInWord(const std::vector<WordCharacter>& word, int width, int hyphenWidth,
                                          BreakWidths* widths = nullptr);
