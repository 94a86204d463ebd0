// What each control shows for a stored value and what it stores for the user's input: switches
// with and without "negate", sliders between their bounds, choices matched against
// "validValues", text fields, and stored values of kinds no control expects.

#include "platform/prefs/PSControlValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Props = std::initializer_list<std::pair<const char*, PlistValue>>;

std::shared_ptr<PSSpecifier> rowOf(PSCellType type, Props props = {}) {
    auto row = PSSpecifier::preferenceSpecifierNamed("Row", nullptr, {}, {}, {}, type, {});
    for (const auto& [key, value] : props)
        row->setProperty(value, key);
    return row;
}

PlistValue list(std::initializer_list<PlistValue> items) {
    return PlistValue::array(PlistArray(items));
}

// Values of every kind a file may hold where a control expects another.
const std::vector<PlistValue>& oddValues() {
    static const std::vector<PlistValue> values{PlistValue(NSDate{0}), PlistValue(PlistData{1, 2}),
                                                list({PlistValue(1)}), PlistValue::dictionary(),
                                                PlistValue(std::make_shared<NSObject>())};
    return values;
}

TEST(PSControlValueConversionTest, SwitchesReadLenientlyAndStoreBooleansThatReadBack) {
    auto plain = rowOf(PSSwitchCell);
    for (const PlistValue& on : {PlistValue(true), PlistValue(1), PlistValue(-2.5), PlistValue("YES"),
                                 PlistValue("true"), PlistValue(" +007"), PlistValue("-1"), PlistValue("y")})
        EXPECT_TRUE(PSControlValue::switchIsOn(*plain, on)) << on.description();
    for (const PlistValue& off :
         {PlistValue(false), PlistValue(0), PlistValue(0.0), PlistValue("NO"), PlistValue("false"),
          PlistValue("0.5"), PlistValue(""), PlistValue("  "), PlistValue()})
        EXPECT_FALSE(PSControlValue::switchIsOn(*plain, off)) << off.description();
    for (const PlistValue& odd : oddValues())
        EXPECT_FALSE(PSControlValue::switchIsOn(*plain, odd)) << odd.description();

    // "negate" shows and stores the opposite; it is itself read leniently.
    for (const PlistValue& negate : {PlistValue(true), PlistValue(1), PlistValue("YES")}) {
        auto negated = rowOf(PSSwitchCell, {{"negate", negate}});
        EXPECT_TRUE(PSControlValue::switchIsOn(*negated, PlistValue()));
        EXPECT_FALSE(PSControlValue::switchIsOn(*negated, PlistValue(true)));
        EXPECT_EQ(PSControlValue::fromSwitch(*negated, true), PlistValue(false));
    }
    auto notNegated = rowOf(PSSwitchCell, {{"negate", PlistValue("0")}});
    EXPECT_EQ(PSControlValue::fromSwitch(*notNegated, true), PlistValue(true));

    // What a switch stores is a boolean, and shows again as the position it was stored from.
    for (const auto& row : {plain, rowOf(PSSwitchCell, {{"negate", PlistValue(true)}})})
        for (bool on : {true, false}) {
            PlistValue stored = PSControlValue::fromSwitch(*row, on);
            EXPECT_TRUE(stored.isBoolean());
            EXPECT_EQ(PSControlValue::switchIsOn(*row, stored), on);
            EXPECT_EQ(PSControlValue::shownText(*row, stored), on ? "on" : "off");
        }
}

TEST(PSControlValueConversionTest, SlidersHoldTheirValuesBetweenMinAndMax) {
    // Without bounds a slider goes from 0 to 1.
    auto bare = rowOf(PSSliderCell);
    EXPECT_EQ(PSControlValue::sliderMinimum(*bare), 0);
    EXPECT_EQ(PSControlValue::sliderMaximum(*bare), 1);
    EXPECT_EQ(PSControlValue::sliderPosition(*bare, PlistValue(7)), 1);

    auto slider = rowOf(PSSliderCell, {{"min", PlistValue(-10)}, {"max", PlistValue("10")}});
    EXPECT_EQ(PSControlValue::sliderPosition(*slider, PlistValue(2.5)), 2.5);
    EXPECT_EQ(PSControlValue::sliderPosition(*slider, PlistValue(" 3 apples")), 3);
    EXPECT_EQ(PSControlValue::sliderPosition(*slider, PlistValue(true)), 1);
    EXPECT_EQ(PSControlValue::sliderPosition(*slider, PlistValue(-99)), -10);
    // Anything without a finite number shows the slider at its minimum.
    for (const PlistValue& none : {PlistValue(), PlistValue("apples"), PlistValue("inf"), PlistValue("1e999"),
                                   PlistValue(std::numeric_limits<double>::quiet_NaN()),
                                   PlistValue(std::numeric_limits<double>::infinity())})
        EXPECT_EQ(PSControlValue::sliderPosition(*slider, none), -10) << none.description();
    for (const PlistValue& odd : oddValues())
        EXPECT_EQ(PSControlValue::sliderPosition(*slider, odd), -10) << odd.description();

    // What it stores is a real inside the range, which shows at the same place again.
    EXPECT_EQ(PSControlValue::fromSlider(*slider, 99), PlistValue(10.0));
    EXPECT_EQ(PSControlValue::fromSlider(*slider, std::nan("")), PlistValue(-10.0));
    for (double position : {-10.0, -0.25, 0.0, 7.5, 10.0}) {
        PlistValue stored = PSControlValue::fromSlider(*slider, position);
        EXPECT_TRUE(stored.isReal());
        EXPECT_EQ(PSControlValue::sliderPosition(*slider, stored), position);
    }
    EXPECT_EQ(PSControlValue::shownText(*slider, PlistValue(0.25)), "0.25");
    EXPECT_EQ(PSControlValue::shownText(*slider, PlistValue(-0.0)), "0");
}

TEST(PSControlValueConversionTest, SegmentedSlidersSnapToTheirStepsOnlyWithAUsableCount) {
    auto stepped = rowOf(PSSliderCell, {{"min", PlistValue(0)},
                                        {"max", PlistValue(10)},
                                        {"isSegmented", PlistValue(true)},
                                        {"segmentCount", PlistValue("4")}});
    EXPECT_EQ(PSControlValue::fromSlider(*stepped, 3.6), PlistValue(2.5));
    EXPECT_EQ(PSControlValue::fromSlider(*stepped, 3.8), PlistValue(5.0));
    EXPECT_EQ(PSControlValue::fromSlider(*stepped, 11), PlistValue(10.0));
    for (const PlistValue& count : {PlistValue(0), PlistValue(-3), PlistValue(1e9), PlistValue("many")}) {
        auto row =
            rowOf(PSSliderCell,
                  {{"max", PlistValue(10)}, {"isSegmented", PlistValue(true)}, {"segmentCount", count}});
        EXPECT_EQ(PSControlValue::fromSlider(*row, 3.6), PlistValue(3.6)) << count.description();
    }
    // A range of one point has nowhere to snap to.
    auto flat = rowOf(PSSliderCell, {{"min", PlistValue(4)},
                                     {"max", PlistValue(4)},
                                     {"isSegmented", PlistValue(true)},
                                     {"segmentCount", PlistValue(2)}});
    EXPECT_EQ(PSControlValue::fromSlider(*flat, 9), PlistValue(4.0));
}

TEST(PSControlValueConversionTest, ChoicesMatchStoredValuesAcrossKindsAndStoreTheirEntry) {
    auto segment = rowOf(
        PSSegmentCell,
        {{"validValues", list({PlistValue(0), PlistValue("two"), PlistValue(2.5), PlistValue(true)})},
         {"validTitles", list({PlistValue("Zero"), PlistValue("Two"), PlistValue(2.5), PlistValue("Yes")})}});
    // Titles that are not text show as their description.
    EXPECT_EQ(PSControlValue::choiceTitles(*segment),
              (std::vector<std::string>{"Zero", "Two", "2.5", "Yes"}));
    EXPECT_EQ(PSControlValue::choiceIndex(*segment, PlistValue(0)), 0u);
    EXPECT_EQ(PSControlValue::choiceIndex(*segment, PlistValue("0")), 0u); // a getter's text
    EXPECT_EQ(PSControlValue::choiceIndex(*segment, PlistValue("two")), 1u);
    EXPECT_EQ(PSControlValue::choiceIndex(*segment, PlistValue("2.5")), 2u);
    EXPECT_EQ(PSControlValue::choiceIndex(*segment, PlistValue()), std::nullopt);
    EXPECT_EQ(PSControlValue::choiceIndex(*segment, PlistValue("Two")), std::nullopt); // a title, not a value
    for (const PlistValue& odd : oddValues())
        EXPECT_EQ(PSControlValue::choiceIndex(*segment, odd), std::nullopt) << odd.description();

    // Each choice stores its entry, of its own kind, and shows as its title again.
    for (std::size_t i = 0; i < 4; ++i) {
        PlistValue stored = PSControlValue::fromChoice(*segment, i);
        EXPECT_EQ(stored, segment->propertyForKey("validValues").at(i));
        EXPECT_EQ(PSControlValue::choiceIndex(*segment, stored), i);
        EXPECT_EQ(PSControlValue::shownText(*segment, stored), PSControlValue::choiceTitles(*segment)[i]);
    }
    EXPECT_TRUE(PSControlValue::fromChoice(*segment, 4).isNone());

    // A row without choices, or with values that are not a list, matches nothing.
    auto bare = rowOf(PSSegmentCell, {{"validValues", PlistValue("0")}});
    EXPECT_EQ(PSControlValue::choiceIndex(*bare, PlistValue("0")), std::nullopt);
    EXPECT_TRUE(PSControlValue::fromChoice(*bare, 0).isNone());
}

TEST(PSControlValueConversionTest, ALinkListShowsItsShortTitleAndASegmentItsTitle) {
    Props choices{{"validValues", list({PlistValue("a"), PlistValue("b")})},
                  {"validTitles", list({PlistValue("Alpha"), PlistValue("Beta")})},
                  {"shortTitles", list({PlistValue("A")})}};
    auto links = rowOf(PSLinkListCell, choices);
    auto segment = rowOf(PSSegmentCell, choices);
    EXPECT_EQ(PSControlValue::shownText(*links, PlistValue("a")), "A");
    EXPECT_EQ(PSControlValue::shownText(*segment, PlistValue("a")), "Alpha");
    // Past the short titles, the title; past the titles, nothing.
    EXPECT_EQ(PSControlValue::shownText(*links, PlistValue("b")), "Beta");
    auto untitled = rowOf(PSLinkListCell, {{"validValues", list({PlistValue("a"), PlistValue("b")})},
                                           {"validTitles", list({PlistValue("Alpha")})}});
    EXPECT_EQ(PSControlValue::shownText(*untitled, PlistValue("b")), std::nullopt);
    EXPECT_EQ(PSControlValue::shownText(*links, PlistValue("c")), std::nullopt);
}

TEST(PSControlValueConversionTest, TextFieldsShowTextAndSecureOnesADotPerCharacter) {
    for (PSCellType type : {PSEditTextCell, PSEditTextViewCell, PSTitleValueCell}) {
        auto field = rowOf(type);
        EXPECT_EQ(PSControlValue::shownText(*field, PlistValue("Hi")), "Hi");
        EXPECT_EQ(PSControlValue::shownText(*field, PlistValue(42)), "42");
        EXPECT_EQ(PSControlValue::shownText(*field, PlistValue()), std::nullopt);
        EXPECT_EQ(PSControlValue::shownText(*field, PlistValue(std::make_shared<NSObject>())), std::nullopt);
    }
    auto secret = rowOf(PSSecureEditTextCell);
    // One dot per character, not per byte: "é" and "€" are one character each.
    EXPECT_EQ(PSControlValue::shownText(*secret, PlistValue("a\u00e9\u20ac")), "\u2022\u2022\u2022");
    EXPECT_EQ(PSControlValue::shownText(*secret, PlistValue("")), "");
    // Never the text of anything else either.
    EXPECT_EQ(PSControlValue::shownText(*secret, PlistValue(1234)), std::nullopt);
    // A plain row shows a getter's text, and only text; groups, buttons and links show none.
    EXPECT_EQ(PSControlValue::shownText(*rowOf(PSStaticTextCell), PlistValue("x")), "x");
    EXPECT_EQ(PSControlValue::shownText(*rowOf(PSStaticTextCell), PlistValue(1)), std::nullopt);
    for (PSCellType type : {PSGroupCell, PSButtonCell, PSLinkCell})
        EXPECT_EQ(PSControlValue::shownText(*rowOf(type), PlistValue("x")), std::nullopt) << type;
}

} // namespace
