#include "platform/foundation/plist/PlistSourceLines.h"

#include "platform/foundation/plist/PropertyList.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

namespace {

PlistReadResult readWithLines(std::string_view text, PlistSourceLines& lines) {
    PlistReadOptions options;
    options.lines = &lines;
    return readPropertyList(asBytes(text), {}, options);
}

} // namespace

TEST(PlistSourceLinesTest, XmlContainersAreFoundOnTheLinesOfTheirOpeningTags) {
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"                    // 1
                            "<plist version=\"1.0\">\n"                                       // 2
                            "<dict>\n"                                                        // 3
                            "\t<key>items</key>\n"                                            // 4
                            "\t<array>\n"                                                     // 5
                            "\t\t<dict><key>cell</key><string>PSSwitchCell</string></dict>\n" // 6
                            "\t\t<!-- a comment\n\n-->\n"                                     // 7-9
                            "\t\t<dict>\n"                                                    // 10
                            "\t\t</dict>\n"
                            "\t</array>\n"
                            "</dict>\n"
                            "</plist>\n";
    PlistSourceLines lines;
    PlistReadResult r = readWithLines(xml, lines);
    ASSERT_TRUE(r.ok()) << r.error->description();
    PlistValue items = r.value.get("items");
    EXPECT_EQ(lines.lineOf(r.value), 3u);
    EXPECT_EQ(lines.lineOf(items), 5u);
    EXPECT_EQ(lines.lineOf(items.at(0)), 6u);
    EXPECT_EQ(lines.lineOf(items.at(1)), 10u);
    // Scalars, copies and containers of other trees have no line.
    EXPECT_EQ(lines.lineOf(items.at(0).get("cell")), 0u);
    EXPECT_EQ(lines.lineOf(items.at(0).deepCopy()), 0u);
    EXPECT_EQ(lines.lineOf(PlistValue::dictionary()), 0u);
    // A copy of the value shares the container, and so its line.
    PlistValue same = items.at(1);
    EXPECT_EQ(lines.lineOf(same), 10u);
}

TEST(PlistSourceLinesTest, OldStyleContainersCountEveryKindOfLineEnd) {
    // Lines end with "\n", "\r\n" and a lone "\r"; a comment or a string may span lines.
    const std::string text = "// rows\r\n"                                      // 1
                             "{\r\n"                                            // 2
                             "  title = \"a\nb\";\r"                            // 3-4
                             "  items = (\n"                                    // 5
                             "    /* two\n lines */ { cell = PSGroupCell; },\n" // 6-7
                             "    {\n"                                          // 8
                             "      key = k;\n"
                             "    }\n"
                             "  );\n"
                             "}\n";
    PlistSourceLines lines;
    PlistReadResult r = readWithLines(text, lines);
    ASSERT_TRUE(r.ok()) << r.error->description();
    EXPECT_EQ(lines.lineOf(r.value), 2u);
    EXPECT_EQ(lines.lineOf(r.value.get("items")), 5u);
    EXPECT_EQ(lines.lineOf(r.value.get("items").at(0)), 7u);
    EXPECT_EQ(lines.lineOf(r.value.get("items").at(1)), 8u);

    // A dictionary without braces begins at its first key; UTF-16 text counts the same lines.
    PlistReadResult braceless = readWithLines("\n\n/* c */ a = { b = c; };", lines);
    ASSERT_TRUE(braceless.ok());
    EXPECT_EQ(lines.lineOf(braceless.value), 3u);
    EXPECT_EQ(lines.lineOf(braceless.value.get("a")), 3u);
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string_view("\n\n( x,\n { y = z; } )"))
        utf16 += std::string{c, '\0'};
    PlistReadResult wide = readWithLines(utf16, lines);
    ASSERT_TRUE(wide.ok()) << wide.error->description();
    EXPECT_EQ(lines.lineOf(wide.value), 3u);
    EXPECT_EQ(lines.lineOf(wide.value.at(1)), 4u);
}

TEST(PlistSourceLinesTest, BinaryAndUnreadableListsLeaveNoLines) {
    PlistSourceLines lines;
    PlistReadResult text = readWithLines("{ a = (b); }", lines);
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(lines.lineOf(text.value), 1u);

    PlistValue v = PlistValue::dictionary();
    v.set("a", PlistValue::array({PlistValue("\a")}));
    PlistWriteResult binary = writePropertyList(v);
    ASSERT_TRUE(binary.bytes.starts_with("bplist"));
    PlistReadResult b = readWithLines(binary.bytes, lines);
    ASSERT_TRUE(b.ok());
    EXPECT_EQ(lines.lineOf(b.value), 0u);
    EXPECT_EQ(lines.lineOf(text.value), 0u); // an earlier read's lines are gone

    EXPECT_FALSE(readWithLines("{ a = (b, c); ", lines).ok());
    EXPECT_FALSE(readWithLines("<plist><dict><key>a</key><array></dict></plist>", lines).ok());
}
