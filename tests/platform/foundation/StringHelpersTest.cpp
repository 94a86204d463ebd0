// The shared text helpers: ASCII-only case and blanks (so a locale or a multi-byte character never
// changes a scheme or a key), and the edges of trimming and joining.

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
