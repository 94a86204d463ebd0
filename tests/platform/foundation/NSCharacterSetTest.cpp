#include "platform/foundation/NSCharacterSet.h"

#include <gtest/gtest.h>

namespace {

std::string query(std::string_view s) {
    return NSStringByAddingPercentEncoding(s, NSCharacterSet::URLQueryAllowedCharacterSet());
}

TEST(NSCharacterSetTest, QueryAllowedCharactersStayAsTheyAre) {
    const std::string allowed = "ABCXYZabcxyz0189-._~!$&'()*+,;=:@/?";
    EXPECT_EQ(query(allowed), allowed);
    EXPECT_EQ(query("sileo://package/com.example.ext"), "sileo://package/com.example.ext");
}

TEST(NSCharacterSetTest, EveryOtherASCIICharacterIsEscapedWithUpperCaseHex) {
    EXPECT_EQ(query(" "), "%20");
    EXPECT_EQ(query("\"#%<>[\\]^`{|}"), "%22%23%25%3C%3E%5B%5C%5D%5E%60%7B%7C%7D");
    EXPECT_EQ(query(std::string("\x01\x1F\x7F", 3)), "%01%1F%7F");
    EXPECT_EQ(query(std::string("a\0b", 3)), "a%00b");
    // Every printable ASCII character: exactly the allowed ones survive.
    for (int c = 0x20; c < 0x7F; ++c) {
        std::string one(1, static_cast<char>(c));
        bool kept = query(one) == one;
        EXPECT_EQ(kept, NSCharacterSet::URLQueryAllowedCharacterSet().characterIsMember(
                            static_cast<unsigned char>(c)))
            << one;
        if (!kept) {
            EXPECT_EQ(query(one).size(), 3u) << one;
        }
    }
}

TEST(NSCharacterSetTest, MultiByteCharactersAreEscapedByteByByte) {
    EXPECT_EQ(query("é"), "%C3%A9");
    EXPECT_EQ(query("日本"), "%E6%97%A5%E6%9C%AC");
    EXPECT_EQ(query("😀"), "%F0%9F%98%80");
    // Bytes that are not UTF-8 are escaped the same way rather than dropped.
    EXPECT_EQ(query("\xFF"), "%FF");
}

TEST(NSCharacterSetTest, OtherSets) {
    EXPECT_EQ(NSStringByAddingPercentEncoding("a/b?c", NSCharacterSet::URLPathAllowedCharacterSet()),
              "a/b%3Fc");
    EXPECT_EQ(NSStringByAddingPercentEncoding("a=b&c~", NSCharacterSet::URLUnreservedCharacterSet()),
              "a%3Db%26c~");
    auto digits = NSCharacterSet::characterSetWithCharactersInString("0123456789é");
    EXPECT_EQ(NSStringByAddingPercentEncoding("a1é", digits), "%611%C3%A9");
}

} // namespace
