#include "platform/foundation/plist/PlistValue.h"
#include "platform/foundation/NSLog.h"

#include <gtest/gtest.h>

TEST(PlistValueTest, DescriptionOfScalarsIsWhatFormatPrints) {
    EXPECT_EQ(PlistValue("text").description(), "text");
    EXPECT_EQ(PlistValue(42).description(), "42");
    EXPECT_EQ(PlistValue(0.5).description(), "0.5");
    EXPECT_EQ(PlistValue(true).description(), "1");
    EXPECT_EQ(PlistValue(false).description(), "0");
    EXPECT_EQ(PlistValue().description(), "(null)");
    EXPECT_EQ(NSStringWithFormat("[OC] %@ = '%@' 100%%", {"k", true}), "[OC] k = '1' 100%");
}

TEST(PlistValueTest, ContainersAreSharedUntilDeepCopied) {
    PlistValue d = PlistValue::dictionary();
    PlistValue alias = d;
    alias.set("a", 1);
    EXPECT_EQ(d.get("a"), PlistValue(1));
    PlistValue copy = d.deepCopy();
    copy.set("a", 2);
    EXPECT_EQ(d.get("a"), PlistValue(1));
    EXPECT_NE(PlistValue(1), PlistValue(true));
    EXPECT_NE(PlistValue(1), PlistValue(1.0));
}

TEST(PlistValueTest, UnsignedIntegersAboveTheSignedRangeKeepTheirValue) {
    PlistValue small = PlistValue::unsignedInteger(42);
    EXPECT_FALSE(small.isUnsignedInteger());
    EXPECT_EQ(small, PlistValue(42));

    PlistValue big = PlistValue::unsignedInteger(UINT64_MAX);
    EXPECT_TRUE(big.isInteger());
    EXPECT_TRUE(big.isUnsignedInteger());
    EXPECT_EQ(big.unsignedValue(), UINT64_MAX);
    EXPECT_EQ(big.integerValue(), -1); // wraps, as longLongValue does
    EXPECT_EQ(big.description(), "18446744073709551615");
    EXPECT_NE(big, PlistValue(-1));
    EXPECT_EQ(big, PlistValue::unsignedInteger(UINT64_MAX));
    EXPECT_TRUE(big.boolValue());
    EXPECT_DOUBLE_EQ(big.doubleValue(), 18446744073709551615.0);
}
