// The HB framework's colour strings: every form its version 2 reads, and the near misses it does
// not, which fall back to the caller's default.

#include "platform/prefslibs/HBColor.h"

#include <gtest/gtest.h>

namespace {

::testing::AssertionResult is(const std::optional<UIColor>& c, double r, double g, double b, double a) {
    if (!c)
        return ::testing::AssertionFailure() << "no colour";
    auto near = [](double x, double y) { return std::abs(x - y) < 1e-3; };
    if (near(c->rgba.r, r) && near(c->rgba.g, g) && near(c->rgba.b, b) && near(c->rgba.a, a))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << c->rgba.r << ", " << c->rgba.g << ", " << c->rgba.b << ", " << c->rgba.a;
}

} // namespace

TEST(HBColorTest, ReadsHexWithAlphaInEitherFormAndComponentLists) {
    EXPECT_TRUE(is(HBColor::fromString("#FF8000"), 1, 128 / 255.0, 0, 1));
    EXPECT_TRUE(is(HBColor::fromString("#ff800080"), 1, 128 / 255.0, 0, 128 / 255.0));
    EXPECT_TRUE(is(HBColor::fromString("#FF8000:0.25"), 1, 128 / 255.0, 0, 0.25));
    EXPECT_TRUE(is(HBColor::fromString(" [255, 0, 51] "), 1, 0, 0.2, 1));
    EXPECT_TRUE(is(HBColor::fromString("[0,0,0,51]"), 0, 0, 0, 0.2));

    PlistValue array = PlistValue::array();
    for (int v : {0, 255, 0})
        array.append(PlistValue(v));
    EXPECT_TRUE(is(HBColor::fromPlistValue(array), 0, 1, 0, 1));
    EXPECT_TRUE(is(HBColor::fromPlistValue(PlistValue("#0000FF")), 0, 0, 1, 1));
}

TEST(HBColorTest, ShortFormsAndMalformedTextAreNoColour) {
    for (const char* text :
         {"#F80", "#F80F", "FF8000", "#GG8000", "#FF80001", "#FF8000:", "#FF8000:1.5", "#FF800080:0.5",
          "[1,2]", "[1,2,3,4,5]", "[1,2,256]", "[1,-2,3]", "[a,b,c]", "[]", "", "blue"})
        EXPECT_FALSE(HBColor::fromString(text)) << text;
    PlistValue wrong = PlistValue::array();
    wrong.append(PlistValue("x"));
    wrong.append(PlistValue(1));
    wrong.append(PlistValue(1));
    EXPECT_FALSE(HBColor::fromPlistValue(wrong));
    EXPECT_FALSE(HBColor::fromPlistValue(PlistValue(12)));
}
