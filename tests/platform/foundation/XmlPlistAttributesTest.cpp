#include "platform/foundation/plist/PlistSourceLines.h"
#include "platform/foundation/plist/PropertyList.h"
#include "platform/foundation/plist/XmlPlist.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace {

PlistReadResult readAttributeList(std::string_view text) {
    return readPropertyList(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
        PlistLimits{});
}

std::string errorOf(const PlistReadResult& r) {
    return r.ok() ? std::string("read") : r.error->localizedDescription();
}

const std::string kDoctype = "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";
const std::string kBody = "<dict>\n\t<key>items</key>\n\t<array>\n\t\t<dict>\n\t\t\t<key>cell</key>\n"
                          "\t\t\t<string>PSSwitchCell</string>\n\t\t</dict>\n\t</array>\n</dict>\n";

} // namespace

TEST(XmlPlistAttributesTest, UnquotedValuesInTheDeclarationAndThePlistElementReadAsQuotedOnes) {
    PlistReadResult quoted = readAttributeList("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + kDoctype +
                                               "<plist version=\"1.0\">\n" + kBody + "</plist>\n");
    ASSERT_TRUE(quoted.ok()) << errorOf(quoted);
    const std::string forms[] = {
        // Both unquoted, as some bundles ship them.
        "<?xml version=1.0 encoding=UTF-8?>\n" + kDoctype + "<plist version=1.0>\n" + kBody + "</plist>\n",
        // The element alone, with the declaration quoted.
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=1.0>\n" + kBody + "</plist>\n",
        // Mixed quoting inside one tag, single quotes, spaces around '='.
        "<?xml version='1.0' encoding=UTF-8?>\n<plist version = 1.0 xmlns=\"x\" extra='y'>\n" + kBody +
            "</plist>\n",
        // Other elements' attributes are skipped too, and an empty element keeps its '/'.
        "<plist version=1.0>\n<dict><key>items</key><array><dict><key cell=1>cell</key>"
        "<string lang=en>PSSwitchCell</string></dict></array></dict></plist>",
    };
    for (const auto& form : forms) {
        PlistReadResult lenient = readAttributeList(form);
        ASSERT_TRUE(lenient.ok()) << form << "\n" << errorOf(lenient);
        EXPECT_EQ(lenient.format, PlistFormat::XML);
        EXPECT_EQ(lenient.value, quoted.value) << form;
    }
    PlistReadResult empty =
        readAttributeList("<plist version=1.0><array><true a=b/><false/></array></plist>");
    ASSERT_TRUE(empty.ok()) << errorOf(empty);
    EXPECT_EQ(empty.value, PlistValue::array({PlistValue(true), PlistValue(false)}));
}

TEST(XmlPlistAttributesTest, BlankingAttributesKeepsTheLinesOfContainers) {
    const std::string text = "<?xml version=1.0?>\n<plist version=1.0>\n" + kBody + "</plist>\n";
    PlistSourceLines lines;
    PlistReadResult r = readXmlPlist(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
        PlistLimits{}, &lines);
    ASSERT_TRUE(r.ok()) << errorOf(r);
    EXPECT_EQ(lines.lineOf(r.value), 3u);
    EXPECT_EQ(lines.lineOf(r.value.get("items")), 5u);
    EXPECT_EQ(lines.lineOf(r.value.get("items").at(0)), 6u);
}

TEST(XmlPlistAttributesTest, MalformedListsStillFailWithTheirReason) {
    // Text where an attribute should be, a '<' inside a tag, a value without its name or without
    // its '=', and a quote that never closes are not attributes: the parser refuses them as before.
    const char* broken[] = {
        "<plist version=1.0 <dict/></plist>",   "<plist =1.0><dict/></plist>",
        "<plist version><dict/></plist>",       "<plist version=><dict/></plist>",
        "<plist version=1.0\"><dict/></plist>", "<plist version=\"1.0><dict/></plist>",
    };
    for (const char* text : broken) {
        PlistReadResult r = readAttributeList(text);
        EXPECT_FALSE(r.ok()) << text;
    }
    // The existing reasons stay: a parser's complaint, a container left open, text after the list.
    EXPECT_NE(errorOf(readAttributeList("<plist version=1.0><dict></plist>")).find("XML list: malformed ("),
              std::string::npos);
    EXPECT_NE(errorOf(readAttributeList("<plist version=1.0><dict><key>a</key></plist>")).find("malformed"),
              std::string::npos);
    EXPECT_NE(
        errorOf(readAttributeList("<plist version=1.0><true/></plist>junk")).find("text outside the list"),
        std::string::npos);
    EXPECT_NE(errorOf(readAttributeList("<plist version=1.0><dict><integer>1</integer></dict></plist>"))
                  .find("a dictionary value without a key"),
              std::string::npos);
    // Garbage stays garbage.
    EXPECT_FALSE(readAttributeList("<?xml version=1.0?>\n<plist version=1.0>\x01\x02<<>></plist>").ok());
    EXPECT_FALSE(readAttributeList("<?xml version=1.0 <plist><true/></plist>").ok());
    // What looks like an attribute inside text or a comment is text, not a tag.
    PlistReadResult text = readAttributeList("<plist version=1.0><string><![CDATA[<a b=c>]]><!-- <d e=f> "
                                             "--></string></plist>");
    ASSERT_TRUE(text.ok()) << errorOf(text);
    EXPECT_EQ(text.value, PlistValue("<a b=c>"));
}
