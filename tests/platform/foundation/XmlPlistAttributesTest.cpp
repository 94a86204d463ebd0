#include "platform/foundation/plist/PlistSourceLines.h"
#include "platform/foundation/plist/PropertyList.h"

#include <gtest/gtest.h>

namespace {

PlistReadResult readAttributeList(std::string_view text, PlistSourceLines* lines = nullptr) {
    PlistReadOptions options;
    options.lines = lines;
    return readPropertyList({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, PlistLimits{},
                            options);
}

std::string errorOf(const PlistReadResult& r) {
    return r.ok() ? std::string("read") : r.error->localizedDescription();
}

const std::string kBody =
    "<dict>\n<key>items</key>\n<array>\n<dict><key>cell</key><string>PSSwitchCell</string>"
    "</dict>\n</array>\n</dict>\n</plist>\n";

} // namespace

TEST(XmlPlistAttributesTest, UnquotedAttributeValuesReadAsTheDeviceReadsThem) {
    PlistReadResult quoted = readAttributeList("<?xml version=\"1.0\"?>\n<plist version=\"1.0\">\n" + kBody);
    ASSERT_TRUE(quoted.ok()) << errorOf(quoted);
    for (const std::string head : {
             "<?xml version=1.0 encoding=UTF-8?>\n<plist version=1.0>\n",
             "<?xml version=\"1.0\"?>\n<plist version = 1.0 xmlns=\"x\" extra='y'>\n", // mixed quoting
         }) {
        PlistSourceLines lines;
        PlistReadResult lenient = readAttributeList(head + kBody, &lines);
        ASSERT_TRUE(lenient.ok()) << head << errorOf(lenient);
        EXPECT_EQ(lenient.value, quoted.value) << head;
        // The attributes are blanked in place: the lines of containers stay where they were.
        EXPECT_EQ(lines.lineOf(lenient.value.get("items")), 5u);
    }
    // Other elements' attributes are skipped too, and an empty element keeps its '/'.
    PlistReadResult inner =
        readAttributeList("<plist><array><string lang=en>a</string><true a=b/></array></plist>");
    ASSERT_TRUE(inner.ok()) << errorOf(inner);
    EXPECT_EQ(inner.value, PlistValue::array({PlistValue("a"), PlistValue(true)}));
    // What looks like an attribute inside text is text.
    EXPECT_EQ(readAttributeList("<plist><string><![CDATA[<a b=c>]]></string></plist>").value,
              PlistValue("<a b=c>"));
}

TEST(XmlPlistAttributesTest, MalformedTagsAndListsStillFailWithTheirReasons) {
    // Not NAME=VALUE pairs: text where an attribute should be, a value without a name or '=', an
    // unclosed quote.
    for (const char* text : {"<plist version=1.0 <dict/></plist>", "<plist =1.0><dict/></plist>",
                             "<plist version><dict/></plist>", "<plist version=><dict/></plist>",
                             "<plist version=\"1.0><dict/></plist>"})
        EXPECT_FALSE(readAttributeList(text).ok()) << text;
    EXPECT_NE(errorOf(readAttributeList("<plist version=1.0><dict></plist>")).find("XML list: malformed ("),
              std::string::npos);
    EXPECT_NE(
        errorOf(readAttributeList("<plist version=1.0><true/></plist>junk")).find("text outside the list"),
        std::string::npos);
    EXPECT_NE(
        errorOf(readAttributeList("<plist version=1.0><dict><true/></dict></plist>")).find("without a key"),
        std::string::npos);
}
