// The kind names that messages about preference files and bundle rows are built from, and the
// string-or-default read of an optional key.

#include "platform/foundation/plist/PlistKind.h"

#include "platform/foundation/NSObject.h"
#include "platform/foundation/plist/PlistValue.h"

#include <gtest/gtest.h>

TEST(PlistKindTest, EachKindIsNamedWithItsArticleAndNumbersShareOneName) {
    EXPECT_EQ(plistKindName(PlistValue("text")), "a string");
    EXPECT_EQ(plistKindName(PlistValue(3)), "a number");
    EXPECT_EQ(plistKindName(PlistValue(2.5)), "a number");
    EXPECT_EQ(plistKindName(PlistValue::unsignedInteger(~0ull)), "a number");
    EXPECT_EQ(plistKindName(PlistValue(false)), "a boolean");
    EXPECT_EQ(plistKindName(PlistValue(NSDate{})), "a date");
    EXPECT_EQ(plistKindName(PlistValue(PlistData{1, 2})), "data");
    EXPECT_EQ(plistKindName(PlistValue::array()), "an array");
    EXPECT_EQ(plistKindName(PlistValue::dictionary()), "a dictionary");
    // Neither is a property-list value a file could hold.
    EXPECT_EQ(plistKindName(PlistValue()), "a value");
    EXPECT_EQ(plistKindName(PlistValue(std::make_shared<NSObject>())), "a value");
}

TEST(PlistKindTest, AStringIsReadAsItIsAndAnythingElseGivesTheDefault) {
    EXPECT_EQ(plistStringOr(PlistValue("Hidden"), "Visible"), "Hidden");
    // An empty string is still a string: the key was given.
    EXPECT_EQ(plistStringOr(PlistValue(""), "Visible"), "");
    EXPECT_EQ(plistStringOr(PlistValue(), "Visible"), "Visible");
    EXPECT_EQ(plistStringOr(PlistValue(1), "Visible"), "Visible");
    EXPECT_EQ(plistStringOr(PlistValue::array({PlistValue("Hidden")}), "Visible"), "Visible");
}
