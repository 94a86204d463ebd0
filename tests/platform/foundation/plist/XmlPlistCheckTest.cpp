#include "platform/foundation/plist/XmlPlistCheck.h"

#include <gtest/gtest.h>

namespace {

std::optional<std::string> check(std::string_view text, PlistLimits limits = {}) {
    return checkXmlPlist(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), limits);
}

std::string reason(std::string_view text) {
    return check(text).value_or("safe");
}

TEST(XmlPlistCheckTest, MarkupThatIsNoElementIsSkippedOrRefusedByItsKind) {
    const std::string list = "<plist><dict><key>a</key><string>b</string></dict></plist>";
    EXPECT_EQ(reason(list), "safe");
    EXPECT_EQ(reason("<?xml version=\"1.0\"?><!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">" +
                     list),
              "safe");
    // What is skipped may hold what looks like tags, which are then not counted.
    EXPECT_EQ(reason("<!-- <dict> <!ENTITY x> -->" + list), "safe");
    EXPECT_EQ(reason("<plist><string><![CDATA[</dict><!ENTITY]]></string></plist>"), "safe");
    EXPECT_EQ(reason("<?pi <dict> ?>" + list), "safe");

    EXPECT_EQ(reason("<!-- open" + list), "unterminated comment");
    EXPECT_EQ(reason("<plist><string><![CDATA[open</string></plist>"), "unterminated CDATA section");
    EXPECT_EQ(reason("<?xml version=\"1.0\"" + list.substr(0, 6)), "unterminated processing instruction");
    EXPECT_EQ(reason("<!DOCTYPE plist" + std::string("")), "unterminated document type");
    EXPECT_EQ(reason("<!DOCTYPE plist [<!ENTITY a \"b\">]>" + list), "document type with declarations");
    EXPECT_EQ(reason("<!ENTITY a \"b\">" + list), "markup declaration");
    EXPECT_EQ(reason("<!-x->" + list), "markup declaration") << "one dash opens no comment";
    EXPECT_EQ(reason("<!" + list), "markup declaration");
    EXPECT_EQ(reason(list + "<?"), "unterminated processing instruction");
    EXPECT_EQ(reason(list + "<"), "unterminated tag");
    EXPECT_EQ(reason("<plist><string>a</string"), "unterminated tag");
}

TEST(XmlPlistCheckTest, ContainersAndValuesAreCountedAgainstTheLimits) {
    PlistLimits limits;
    limits.maxDepth = 2;
    limits.maxValues = 4;
    EXPECT_FALSE(check("<plist><array><array/><dict></dict></array></plist>", limits));
    EXPECT_EQ(check("<plist><array><array><array/></array></array></plist>", limits), std::nullopt)
        << "an empty element opens nothing";
    EXPECT_EQ(check("<plist><array><array><array></array></array></array></plist>", limits),
              "nested too deeply");
    EXPECT_EQ(check("<plist><array><true/><true/><true/><true/></array></plist>", limits), "too many values");
    EXPECT_EQ(check("<plist></array></plist>", limits), "unbalanced container tags");
    // A closing tag with attributes-like text, and a '>' inside a quoted value, end where XML says.
    EXPECT_EQ(check("<plist version=\"1>0\"><true/></plist>", limits), std::nullopt);
}

} // namespace
