// The shared text helpers: ASCII-only case, blanks and hex digits (so a locale or a multi-byte
// character never changes a scheme, a key or a colour), and the edges of trimming and joining.

#include "platform/foundation/StringHelpers.h"

#include <gtest/gtest.h>

TEST(StringHelpersTest, CaseChangesOnlyASCIILettersAndLeavesOtherBytesAlone) {
    EXPECT_EQ(lowercased("HTTPS+Sileo-1.Z"), "https+sileo-1.z");
    EXPECT_EQ(uppercased("general @ 2x"), "GENERAL @ 2X");
    // "Äpfel" in UTF-8: the two bytes of Ä pass through untouched, the rest folds.
    EXPECT_EQ(lowercased("\xC3\x84PFEL"), "\xC3\x84pfel");
    EXPECT_EQ(uppercased("\xC3\xA4pfel"), "\xC3\xA4PFEL");
    const std::string withNul("A\0B", 3);
    EXPECT_EQ(lowercased(withNul), std::string("a\0b", 3));
}

TEST(StringHelpersTest, TrimmingTakesBlanksOffBothEndsOnly) {
    EXPECT_EQ(trimmed("  text/html; charset=utf-8 \r\n"), "text/html; charset=utf-8");
    EXPECT_EQ(trimmed("a \t b"), "a \t b");
    EXPECT_EQ(trimmed(" \t\r\n "), "");
    EXPECT_EQ(trimmed(""), "");
    EXPECT_EQ(trimmed("x"), "x");
    EXPECT_EQ(trimmed("--x--", "-"), "x");
}

TEST(StringHelpersTest, JoiningAndQuoting) {
    EXPECT_EQ(joined({}, ", "), "");
    EXPECT_EQ(joined({"one"}, ", "), "one");
    EXPECT_EQ(joined({"a", "", "c"}, "; "), "a; ; c");
    EXPECT_EQ(doubleQuoted(""), "\"\"");
    EXPECT_EQ(doubleQuoted("say \"hi\""), "\"say \"hi\"\"");
}

TEST(StringHelpersTest, HexDigitsInEitherCaseAndNothingElse) {
    EXPECT_EQ(hexDigitValue('0'), 0);
    EXPECT_EQ(hexDigitValue('9'), 9);
    EXPECT_EQ(hexDigitValue('a'), 10);
    EXPECT_EQ(hexDigitValue('F'), 15);
    // The neighbours of each range, a locale's digit and a byte of a multi-byte character.
    for (char c : {'/', ':', '`', 'g', '@', 'G', ' ', '\0', '\xD9', '\xEF'})
        EXPECT_FALSE(hexDigitValue(c)) << int(static_cast<unsigned char>(c));
}

TEST(StringHelpersTest, BlanksAreTheFourThatTrimmingTakes) {
    for (char c : kASCIIBlanks)
        EXPECT_TRUE(isASCIIBlank(c)) << int(c);
    for (char c : {'\v', '\f', '\0', 'a', '\xA0'})
        EXPECT_FALSE(isASCIIBlank(c)) << int(static_cast<unsigned char>(c));
}
