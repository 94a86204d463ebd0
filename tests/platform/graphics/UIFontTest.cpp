#include "platform/graphics/UIFont.h"

#include <gtest/gtest.h>

TEST(UIFontTest, SystemFontsAndTheirMetrics) {
    UIFont regular = UIFont::systemFontOfSize(17);
    EXPECT_EQ(regular.familyName(), "DejaVu Sans");
    EXPECT_EQ(regular.fontName(), "DejaVuSans");
    EXPECT_EQ(regular.pointSize(), 17);
    EXPECT_EQ(regular.weight(), UIFontWeightRegular);
    // A line of a 17-point font is a little taller than 17 points; the ascender is most of it.
    EXPECT_GT(regular.lineHeight(), 17);
    EXPECT_LT(regular.lineHeight(), 24);
    EXPECT_GT(regular.ascender(), 12);
    EXPECT_LT(regular.descender(), 0);
    EXPECT_NEAR(regular.ascender() - regular.descender(), regular.lineHeight(), 1e-9);
    // Metrics scale with the size.
    EXPECT_NEAR(UIFont::systemFontOfSize(34).lineHeight(), 2 * regular.lineHeight(), 0.1);

    UIFont bold = UIFont::boldSystemFontOfSize(17);
    EXPECT_EQ(bold.weight(), UIFontWeightBold);
    EXPECT_EQ(bold.fontName(), "DejaVuSans-Bold");
    EXPECT_FALSE(bold == regular);
    EXPECT_EQ(bold.fontWithSize(12).pointSize(), 12);
    EXPECT_EQ(bold.fontWithSize(12).weight(), UIFontWeightBold);
    EXPECT_EQ(UIFont::italicSystemFontOfSize(9).fontName(), "DejaVuSans-Oblique");
}

TEST(UIFontTest, NonsenseSizesBecomeTheDefaultSize) {
    EXPECT_EQ(UIFont::systemFontOfSize(0).pointSize(), 12);
    EXPECT_EQ(UIFont::systemFontOfSize(-3).pointSize(), 12);
    EXPECT_EQ(UIFont::systemFontOfSize(NAN).pointSize(), 12);
    EXPECT_GT(UIFont::fontWithName("No Such Family", 10).lineHeight(), 0);
}
