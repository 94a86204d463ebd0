#include "platform/foundation/plist/StringsTable.h"

#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

namespace {

StringsTableReadResult readStrings(std::string_view text) {
    return readStringsTable(asBytes(text));
}

std::string utf16le(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t u : text) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

} // namespace

TEST(StringsTableTest, ReadsTheTextFormWithAndWithoutBracesInUtf8AndUtf16) {
    const StringsTable expected{{"Title", "Titel"}, {"Key2", "Wert"}, {"Done", "Done"}};
    for (const std::string& text :
         {std::string("\"Title\" = \"Titel\"; /* comment */ \"Key2\" = \"Wert\";\n\"Done\";\n"),
          std::string("{ Title = Titel; Key2 = Wert; Done = Done; }"),
          std::string("\xEF\xBB\xBF\"Title\" = \"Titel\";\"Key2\"=\"Wert\";\"Done\";"),
          utf16le(u"/* de */\n\"Title\" = \"Titel\";\n\"Key2\" = \"Wert\";\n\"Done\";\n")}) {
        StringsTableReadResult r = readStrings(text);
        ASSERT_TRUE(r.ok()) << text << ": " << r.error->description();
        EXPECT_EQ(r.strings, expected) << text;
        EXPECT_EQ(r.format, PlistFormat::OpenStep);
    }
}

TEST(StringsTableTest, BlankFilesAreEmptyTables) {
    for (const std::string& text : {std::string(), std::string(" \n\t"), std::string("/* only */ // this\n"),
                                    std::string("\xEF\xBB\xBF"), utf16le(u""), utf16le(u"/* x */\n")}) {
        StringsTableReadResult r = readStrings(text);
        ASSERT_TRUE(r.ok()) << text << ": " << r.error->description();
        EXPECT_TRUE(r.strings.empty());
    }
    // An unterminated comment is not blank.
    EXPECT_FALSE(readStrings("/* open").ok());
}

TEST(StringsTableTest, ReadsXmlAndBinaryDictionariesOfStrings) {
    PlistValue table = PlistValue::dictionary();
    table.set("Title", "Titel");
    table.set("Snowman", "\xE2\x98\x83");
    PlistWriteResult xml = writePropertyListXML(table);
    // A control character is kept only by the binary form, so this one is written as binary.
    table.set("Bell", "\a");
    PlistWriteResult binary = writePropertyList(table);
    ASSERT_TRUE(xml.ok() && binary.ok());
    ASSERT_TRUE(binary.bytes.starts_with("bplist"));

    StringsTableReadResult fromXml = readStrings(xml.bytes);
    ASSERT_TRUE(fromXml.ok());
    EXPECT_EQ(fromXml.format, PlistFormat::XML);
    EXPECT_EQ(fromXml.strings, (StringsTable{{"Title", "Titel"}, {"Snowman", "\xE2\x98\x83"}}));
    StringsTableReadResult fromBinary = readStrings(binary.bytes);
    ASSERT_TRUE(fromBinary.ok());
    EXPECT_EQ(fromBinary.format, PlistFormat::Binary);
    EXPECT_EQ(fromBinary.strings.size(), 3u);
    EXPECT_EQ(fromBinary.strings.at("Bell"), "\a");
}

TEST(StringsTableTest, RefusesWhatIsNotATableOfStringsWithTheReason) {
    auto reason = [](std::string_view text) {
        StringsTableReadResult r = readStrings(text);
        EXPECT_TRUE(r.strings.empty()) << text;
        return r.ok() ? std::string("read") : r.error->localizedDescription();
    };
    EXPECT_NE(reason("\"a\" = \"b\"").find("expected ';'"), std::string::npos);
    EXPECT_NE(reason("( a, b )").find("not a dictionary of strings"), std::string::npos);
    EXPECT_NE(reason("\"lonely\"").find("not a dictionary of strings"), std::string::npos);
    EXPECT_NE(reason("a = b; z = (1, 2);").find("the value of \"z\" is not a string"), std::string::npos);
    EXPECT_NE(reason("<plist><dict><key>n</key><integer>1</integer></dict></plist>").find("\"n\""),
              std::string::npos);
    EXPECT_NE(reason("\xFF\xFE\x61").find("odd length"), std::string::npos);
}
