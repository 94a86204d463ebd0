#include "platform/graphics/TextForLayout.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kEllipsis = "\u2026";
const std::string kSoftHyphen = "\u00AD";
const std::string kZeroWidthSpace = "\u200B";

std::string word(std::size_t letters) {
    std::string text;
    while (text.size() < letters)
        text += static_cast<char>('a' + text.size() % 26);
    return text;
}

std::string prose(std::size_t bytes) {
    std::string text;
    while (text.size() < bytes)
        text += "Chat heads float above every app. ";
    return text;
}

TextLayoutParams wrapping(CGFloat width, std::int64_t maxLines, std::int64_t lineBreakMode = 4) {
    TextLayoutParams p;
    p.width = width;
    p.maxLines = maxLines;
    p.lineBreakMode = lineBreakMode;
    return p;
}

std::size_t characters(const std::string& text) {
    return static_cast<std::size_t>(g_utf8_strlen(text.data(), static_cast<gssize>(text.size())));
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string withoutInsertedBreaks(std::string text) {
    for (const std::string& inserted : {kSoftHyphen, kZeroWidthSpace})
        for (std::size_t at; (at = text.find(inserted)) != std::string::npos;)
            text.erase(at, inserted.size());
    return text;
}

TEST(TextForLayoutTest, TextThatFitsItsBoundsIsHandedOnUnchanged) {
    const std::string footer = prose(3000);
    EXPECT_EQ(textForLayout(footer, wrapping(343, 0), 13), footer);
    EXPECT_EQ(textForLayout(footer, TextLayoutParams{}, 13), footer);
    const std::string url = "https://repo.orbitchat.example/chatheadsextensions.json";
    EXPECT_EQ(textForLayout(url, wrapping(60, 1), 20), url);
}

TEST(TextForLayoutTest, WhatCannotBeShownIsCutAndTheCutEndsInAnEllipsis) {
    const std::string long_ = word(64 * 1024);
    // No line limit: the longest text that is ever laid out.
    std::string shown = shownPartOfText(long_, wrapping(343, 0), 13);
    EXPECT_EQ(characters(shown), kLongestLaidOutText + 1);
    EXPECT_EQ(shown, long_.substr(0, kLongestLaidOutText) + kEllipsis);
    // One line of 100 points holds no more than charactersPerLine characters; the cut keeps two
    // more lines' worth, so the shown line breaks and truncates as the whole text's would.
    EXPECT_EQ(charactersPerLine(100, 13), 154u);
    shown = shownPartOfText(long_, wrapping(100, 1), 13);
    EXPECT_EQ(characters(shown), 3 * 154 + 1);
    // Truncating the head or the middle shows the end of the text: it is kept too.
    const std::string framed = "START " + long_ + " END";
    for (std::int64_t mode : {3, 5}) {
        shown = shownPartOfText(framed, wrapping(100, 1, mode), 13);
        EXPECT_EQ(shown.rfind("START ", 0), 0u);
        EXPECT_TRUE(endsWith(shown, kEllipsis + framed.substr(framed.size() - 3 * 154)));
    }
}

TEST(TextForLayoutTest, ACutKeepsWholeCharactersAndInvalidBytesBecomeReplacementCharacters) {
    std::string accents;
    for (int i = 0; i < 10000; ++i)
        accents += "\u00E9"; // two bytes each
    std::string shown = shownPartOfText(accents, wrapping(343, 0), 13);
    ASSERT_TRUE(g_utf8_validate(shown.data(), static_cast<gssize>(shown.size()), nullptr));
    EXPECT_EQ(shown, accents.substr(0, 2 * kLongestLaidOutText) + kEllipsis);

    std::string broken = "ab\xFF" + accents;
    shown = shownPartOfText(broken, wrapping(343, 0), 13);
    ASSERT_TRUE(g_utf8_validate(shown.data(), static_cast<gssize>(shown.size()), nullptr));
    EXPECT_EQ(shown.rfind("ab\uFFFD\u00E9", 0), 0u);
}

TEST(TextForLayoutTest, WordsLongerThanALineGetBreaksBetweenTheirCharactersPastTheFirstLine) {
    const std::string long_ = word(100);
    std::string broken = withBreaksInOverlongWords(long_, 10);
    EXPECT_EQ(withoutInsertedBreaks(broken), long_);
    // The first ten letters stay whole; each later one may start a line, with a hyphen.
    EXPECT_EQ(broken.rfind(long_.substr(0, 10) + kSoftHyphen + long_[10] + kSoftHyphen, 0), 0u);
    EXPECT_EQ(characters(broken), 100u + 90u);

    // Ordinary words, spaces however many, and a word within the limit are left alone.
    for (const std::string& text :
         {prose(500), "ab" + std::string(40, ' ') + "cd", word(10) + " " + word(10)})
        EXPECT_EQ(withBreaksInOverlongWords(text, 10), text);

    // A break never separates a letter from its accent.
    std::string accented;
    for (int i = 0; i < 30; ++i)
        accented += "e\u0301";
    broken = withBreaksInOverlongWords(accented, 5);
    EXPECT_NE(broken, accented);
    EXPECT_EQ(broken.find(kSoftHyphen + "\u0301"), std::string::npos);
    EXPECT_EQ(broken.find(kZeroWidthSpace + "\u0301"), std::string::npos);

    // Text laid out on one line is never broken.
    EXPECT_EQ(textForLayout(long_, TextLayoutParams{}, 13), long_);
    EXPECT_NE(textForLayout(word(2000), wrapping(100, 0), 13), word(2000));
}

} // namespace

namespace {

std::vector<WordCharacter> evenWord(std::size_t letters, int advance) {
    return std::vector<WordCharacter>(letters, WordCharacter{advance, true, true});
}

TEST(TextForLayoutTest, AWordBreaksWhereItsCharactersAndTheHyphenStillFit) {
    // Three letters of 10 and a hyphen of 5 fill 35 exactly; a fourth would not fit.
    EXPECT_EQ(lineStartsInWord(evenWord(10, 10), 35, 5), (std::vector<std::size_t>{3, 6, 9}));
    // What remains fits on the last line without a hyphen: no break is made for it.
    EXPECT_EQ(lineStartsInWord(evenWord(7, 10), 35, 5), (std::vector<std::size_t>{3, 6}));
    EXPECT_TRUE(lineStartsInWord(evenWord(3, 10), 30, 5).empty());

    // A break that shows no hyphen lets one more letter in.
    std::vector<WordCharacter> digits = evenWord(6, 10);
    for (auto& c : digits)
        c.hyphenBefore = false;
    EXPECT_EQ(lineStartsInWord(digits, 35, 5), (std::vector<std::size_t>{3}));

    // No break inside a cluster (a letter and its accent); a line takes at least one cluster
    // even when nothing fits.
    std::vector<WordCharacter> accented = evenWord(6, 10);
    accented[1].breakBefore = accented[3].breakBefore = accented[5].breakBefore = false;
    EXPECT_EQ(lineStartsInWord(accented, 35, 5), (std::vector<std::size_t>{2, 4}));
    EXPECT_EQ(lineStartsInWord(evenWord(3, 50), 35, 5), (std::vector<std::size_t>{1, 2}));
}

} // namespace
