// The colour strings of each library: every form the libraries document, in and out, and text
// they cannot read (never a crash, always nothing).

#include "platform/prefslibs/ColourStrings.h"
#include "platform/foundation/plist/PlistValue.h"
#include "platform/prefslibs/ColourHSB.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// Components as 0-255 bytes and alpha as hundredths, for exact comparison.
std::string bytes(const std::optional<UIColor>& c) {
    if (!c)
        return "unreadable";
    auto b = [](double v) { return std::to_string(std::lround(v * 255)); };
    return b(c->rgba.r) + "," + b(c->rgba.g) + "," + b(c->rgba.b) + "@" +
           std::to_string(std::lround(c->rgba.a * 100));
}

PlistValue numbers(std::initializer_list<double> values) {
    PlistValue array = PlistValue::array();
    for (double v : values)
        array.append(v == std::floor(v) ? PlistValue(static_cast<std::int64_t>(v)) : PlistValue(v));
    return array;
}

TEST(ColourStringsTest, HBReadsHexWithAlphaInEitherFormAndArraysButNotShortForms) {
    EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue("#FF8800"))), "255,136,0@100");
    EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue("#ff8800"))), "255,136,0@100");
    EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue("#FF880080"))), "255,136,0@50");
    EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue("#FF8800:0.25"))), "255,136,0@25");
    EXPECT_EQ(bytes(ColourStrings::readHB(numbers({255, 136, 0}))), "255,136,0@100");
    EXPECT_EQ(bytes(ColourStrings::readHB(numbers({0, 0, 255, 127.5}))), "0,0,255@50");
    // Documented, but not read on the device.
    EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue("#F80"))), "unreadable");
    EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue("#F80C"))), "unreadable");
    for (const char* garbage : {"", "#", "FF8800", "#GG8800", "#FF8800:", "#FF8800:half", "#FF880080:0.5",
                                "#FF88001", "rgb(255, 0, 0)", "#FF8800:0.5:1", "\xff\xfe"})
        EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue(garbage))), "unreadable") << garbage;
    EXPECT_EQ(bytes(ColourStrings::readHB(numbers({255, 0}))), "unreadable");
    EXPECT_EQ(bytes(ColourStrings::readHB(numbers({1, 2, 3, 4, 5}))), "unreadable");
    PlistValue words = PlistValue::array();
    for (const char* w : {"255", "0", "0"})
        words.append(PlistValue(w));
    EXPECT_EQ(bytes(ColourStrings::readHB(words)), "255,0,0@100");
    EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue(true))), "unreadable");
    EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue(42))), "unreadable");
    EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue::dictionary())), "unreadable");
    EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue())), "unreadable");
    // Components outside 0 to 255 are no colour.
    EXPECT_EQ(bytes(ColourStrings::readHB(numbers({300, -5, 0, 2}))), "unreadable");
}

TEST(ColourStringsTest, LibcolorpickerDoublesTheFirstThreeDigitsOfOtherLengths) {
    EXPECT_EQ(bytes(ColourStrings::readLibcolorpicker("#FF8800")), "255,136,0@100");
    EXPECT_EQ(bytes(ColourStrings::readLibcolorpicker("#FF8800:1.000000")), "255,136,0@100");
    EXPECT_EQ(bytes(ColourStrings::readLibcolorpicker("#FF8800:0.400000")), "255,136,0@40");
    EXPECT_EQ(bytes(ColourStrings::readLibcolorpicker("#F80")), "255,136,0@100");
    // Eight digits are not alpha here: only "FF8" counts.
    EXPECT_EQ(bytes(ColourStrings::readLibcolorpicker("#FF880080")), "255,255,136@100");
    EXPECT_EQ(bytes(ColourStrings::readLibcolorpicker("#1234")), "17,34,51@100");
    for (const char* garbage : {"", "#", "#FF", "FF8800", "#FF88ZZ", "#FF8800:x", "rgba(1, 2, 3, 1)"})
        EXPECT_EQ(bytes(ColourStrings::readLibcolorpicker(garbage)), "unreadable") << garbage;
}

TEST(ColourStringsTest, SparkReadsHexAndRgbFunctions) {
    EXPECT_EQ(bytes(ColourStrings::readSpark("#FF8800")), "255,136,0@100");
    EXPECT_EQ(bytes(ColourStrings::readSpark("#FF8800:1.00")), "255,136,0@100");
    EXPECT_EQ(bytes(ColourStrings::readSpark("#FF8800:0.50")), "255,136,0@50");
    EXPECT_EQ(bytes(ColourStrings::readSpark("rgb(255, 136, 0)")), "255,136,0@100");
    EXPECT_EQ(bytes(ColourStrings::readSpark("rgba(0,0,255,0.3)")), "0,0,255@30");
    for (const char* garbage : {"", "#F80", "#FF880080", "rgb(1, 2)", "rgb(1, 2, 3, 4)", "rgba(1, 2, 3)",
                                "rgb(1, 2, x)", "rgb(1, 2, 3", "hsl(1, 2, 3)", "rgb()", "rgba(,,,)"})
        EXPECT_EQ(bytes(ColourStrings::readSpark(garbage)), "unreadable") << garbage;
}

TEST(ColourStringsTest, EachLibraryWritesItsOwnFormat) {
    const UIColor orange = UIColor::colorWithRed(1, 136 / 255.0, 0, 1);
    const UIColor half = orange.colorWithAlphaComponent(0.5);
    EXPECT_EQ(ColourStrings::writeHB(orange), "#FF8800");
    EXPECT_EQ(ColourStrings::writeHB(half), "#FF8800:0.5");
    EXPECT_EQ(ColourStrings::writeHB(orange.colorWithAlphaComponent(0.123456)), "#FF8800:0.12346");
    EXPECT_EQ(ColourStrings::writeLibcolorpicker(orange), "#FF8800:1.000000");
    EXPECT_EQ(ColourStrings::writeLibcolorpicker(half), "#FF8800:0.500000");
    EXPECT_EQ(ColourStrings::writeSpark(orange), "#FF8800:1.00");
    EXPECT_EQ(ColourStrings::writeSpark(half), "#FF8800:0.50");
    // Lower-case hex never comes out, and components outside the range are held to it.
    EXPECT_EQ(ColourStrings::writeHB(UIColor::colorWithRed(0xAB / 255.0, 2, -1, 1)), "#ABFF00");
    // What each writes, it reads back.
    EXPECT_EQ(bytes(ColourStrings::readHB(PlistValue(ColourStrings::writeHB(half)))), "255,136,0@50");
    EXPECT_EQ(bytes(ColourStrings::readLibcolorpicker(ColourStrings::writeLibcolorpicker(half))),
              "255,136,0@50");
    EXPECT_EQ(bytes(ColourStrings::readSpark(ColourStrings::writeSpark(half))), "255,136,0@50");
}

TEST(ColourStringsTest, TypedHexCarriesAlphaOnlyWhenBelowOne) {
    EXPECT_EQ(ColourStrings::hexText(UIColor::colorWithRed(1, 136 / 255.0, 0, 1)), "#FF8800");
    EXPECT_EQ(ColourStrings::hexText(UIColor::colorWithRed(1, 136 / 255.0, 0, 0.5)), "#FF880080");
    EXPECT_EQ(bytes(ColourStrings::fromHexText("#FF880080")), "255,136,0@50");
    EXPECT_EQ(bytes(ColourStrings::fromHexText("#FF8800:0.5")), "255,136,0@50");
    EXPECT_EQ(bytes(ColourStrings::fromHexText("#ff8800")), "255,136,0@100");
    EXPECT_EQ(bytes(ColourStrings::fromHexText("orange")), "unreadable");
}

TEST(ColourStringsTest, HSBRoundTripsAndKeepsPrimaryHues) {
    ColourHSB red = ColourHSB::fromColour(UIColor::redColor());
    EXPECT_DOUBLE_EQ(red.hue, 0);
    EXPECT_DOUBLE_EQ(red.saturation, 1);
    EXPECT_DOUBLE_EQ(red.brightness, 1);
    EXPECT_NEAR(ColourHSB::fromColour(UIColor::greenColor()).hue, 1.0 / 3, 1e-9);
    EXPECT_NEAR(ColourHSB::fromColour(UIColor::blueColor()).hue, 2.0 / 3, 1e-9);
    // Colours of whole bytes, as files hold them, come back as the same bytes.
    auto whole = [](int r, int g, int b, double a) {
        return UIColor::colorWithRed(r / 255.0, g / 255.0, b / 255.0, a);
    };
    for (const UIColor& c : {whole(255, 136, 0, 0.5), whole(51, 102, 230, 1), whole(230, 26, 153, 1),
                             whole(153, 153, 153, 1), whole(1, 2, 3, 1)})
        EXPECT_EQ(ColourStrings::hexText(ColourHSB::fromColour(c).colour()), ColourStrings::hexText(c));
    ColourHSB fullCircle{1, 1, 1, 1};
    EXPECT_EQ(ColourStrings::hexText(fullCircle.colour()), "#FF0000");
}

} // namespace
