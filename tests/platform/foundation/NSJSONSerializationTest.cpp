#include "platform/foundation/NSJSONSerialization.h"

#include "platform/foundation/NSNull.h"

#include <gtest/gtest.h>

#include <string>

namespace {

PlistValue parseJSON(std::string_view text, std::uint64_t options = 0,
                     std::shared_ptr<NSError>* error = nullptr) {
    return NSJSONSerialization::JSONObjectWithData(text, options, error);
}

TEST(NSJSONSerializationTest, ValuesBecomeTheirPropertyListKinds) {
    PlistValue v = parseJSON(R"({"s": "é\u00e9\ud83d\ude00", "i": -42, "big": 18446744073709551615, "r": 0.5,
                             "e": 1e3, "t": true, "f": false, "n": null, "a": [1, [2]], "o": {}})");
    ASSERT_TRUE(v.isDictionary());
    EXPECT_EQ(v["s"].stringValue(), "éé\xF0\x9F\x98\x80");
    EXPECT_TRUE(v["i"].isInteger());
    EXPECT_EQ(v["i"].integerValue(), -42);
    // Past signed 64-bit integers a number stays an unsigned integer rather than wrapping.
    EXPECT_TRUE(v["big"].isUnsignedInteger());
    EXPECT_EQ(v["big"].unsignedValue(), UINT64_MAX);
    EXPECT_TRUE(v["r"].isReal());
    EXPECT_TRUE(v["e"].isReal());
    EXPECT_TRUE(v["t"].isBoolean());
    EXPECT_TRUE(v["t"].boolValue());
    EXPECT_FALSE(v["f"].boolValue());
    EXPECT_TRUE(NSNull::isNull(v["n"]));
    EXPECT_EQ(v["n"].description(), "<null>");
    EXPECT_EQ(v["a"].count(), 2u);
    EXPECT_EQ(v["a"].at(1).at(0).integerValue(), 2);
    EXPECT_TRUE(v["o"].isDictionary());
    EXPECT_EQ(v["o"].count(), 0u);
}

TEST(NSJSONSerializationTest, ArraysKeepTheirOrderAndRepeatedKeysKeepTheLast) {
    PlistValue v = parseJSON(R"([{"k": 1, "k": 2}, "b", "a"])");
    ASSERT_TRUE(v.isArray());
    EXPECT_EQ(v.at(0)["k"].integerValue(), 2);
    EXPECT_EQ(v.at(1).stringValue(), "b");
    EXPECT_EQ(v.at(2).stringValue(), "a");
}

TEST(NSJSONSerializationTest, ObjectsComeOutInKeyOrderWithTheLastOfARepeatedKeyInBothReaders) {
    // The second text holds an integer past 64 bits, which only the slower reader takes.
    for (std::string_view tail : {"1", "18446744073709551616"}) {
        const std::string text = R"({"z": {"b": 1, "a": 2, "b": [3]}, "y": "first", "x": 0, "y": {"n": )" +
                                 std::string(tail) + R"(}, "z": null, "z": {"c": true}})";
        PlistValue v = parseJSON(text);
        ASSERT_TRUE(v.isDictionary()) << text;
        std::vector<std::string> keys;
        for (const auto& [key, value] : *v.dictionaryValue())
            keys.push_back(key);
        EXPECT_EQ(keys, (std::vector<std::string>{"x", "y", "z"})) << text;
        EXPECT_EQ(v["y"].count(), 1u) << text;
        EXPECT_EQ(v["z"], PlistValue::dictionary({{"c", true}})) << text;
    }
    PlistValue nested = parseJSON(R"([{"b": 1, "a": 2, "b": [3]}])").at(0);
    EXPECT_EQ(nested.dictionaryValue()->begin()->first, "a");
    EXPECT_EQ(nested["b"], PlistValue::array({PlistValue(3)}));
}

TEST(NSJSONSerializationTest, BareValuesNeedTheFragmentsOption) {
    std::shared_ptr<NSError> error;
    EXPECT_FALSE(parseJSON("\"text\"", 0, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
    EXPECT_EQ(error->code(), 3840);
    EXPECT_EQ(parseJSON("\"text\"", NSJSONReadingFragmentsAllowed).stringValue(), "text");
    EXPECT_EQ(parseJSON("7", NSJSONReadingFragmentsAllowed).integerValue(), 7);
    // A top-level null is a value with the option: the null object, not "no value".
    EXPECT_TRUE(NSNull::isNull(parseJSON("null", NSJSONReadingFragmentsAllowed)));
}

TEST(NSJSONSerializationTest, MalformedInputIsNoValueWithAnError) {
    for (std::string bad : {"", " ", "[", "[1,]", "{\"a\" 1}", "[1] x", "<html><body>Error</body></html>",
                            "{'a': 1}", "[NaN]", "[01]", "[\"\\x\"]", "[\"a\nb\"]"}) {
        std::shared_ptr<NSError> error;
        EXPECT_FALSE(parseJSON(bad, 0, &error)) << bad;
        ASSERT_TRUE(error) << bad;
        EXPECT_EQ(error->code(), 3840) << bad;
    }
}

TEST(NSJSONSerializationTest, TextThatIsNotUTF8IsRefused) {
    EXPECT_FALSE(parseJSON("[\"\xC3\x28\"]"));             // a broken two-byte sequence
    EXPECT_FALSE(parseJSON("[\"\xED\xA0\x80\"]"));         // an encoded surrogate
    EXPECT_FALSE(parseJSON("[\"\\ud800\"]"));              // a lone surrogate escape
    EXPECT_FALSE(parseJSON("[\"\xF8\x88\x80\x80\x80\"]")); // five-byte form
    EXPECT_TRUE(parseJSON("\xEF\xBB\xBF[1]"));             // a byte-order mark is allowed
}

TEST(NSJSONSerializationTest, NumbersPastTheRangeOfARealAreRefused) {
    EXPECT_FALSE(parseJSON("[1e400]"));
    EXPECT_FALSE(parseJSON("[-1e400]"));
    PlistValue tiny = parseJSON("[1e-400]");
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny.at(0).doubleValue(), 0.0);
    std::string longDigits = "[" + std::string(100000, '9') + "]";
    EXPECT_FALSE(parseJSON(longDigits)); // 10^100000 does not fit a real
}

TEST(NSJSONSerializationTest, DeepNestingStopsAtTheDepthBoundWithoutRecursion) {
    // A million levels: neither the reader nor the tree it gives up on may use the stack for them.
    std::string deep = std::string(1000000, '[') + std::string(1000000, ']');
    std::shared_ptr<NSError> error;
    EXPECT_FALSE(parseJSON(deep, 0, &error));
    ASSERT_TRUE(error);
    std::string deepObjects;
    for (int i = 0; i < 200000; ++i)
        deepObjects += "{\"a\":";
    deepObjects += "1" + std::string(200000, '}');
    EXPECT_FALSE(parseJSON(deepObjects));

    NSJSONSerialization::Limits limits;
    limits.maximumDepth = 3;
    EXPECT_TRUE(NSJSONSerialization::JSONObjectWithData("[[[1]]]", 0, nullptr, limits));
    EXPECT_FALSE(NSJSONSerialization::JSONObjectWithData("[[[[1]]]]", 0, nullptr, limits));
}

TEST(NSJSONSerializationTest, SizeAndValueCountAreBounded) {
    NSJSONSerialization::Limits limits;
    limits.maximumBytes = 10;
    EXPECT_TRUE(NSJSONSerialization::JSONObjectWithData("[1,2,3]", 0, nullptr, limits));
    EXPECT_FALSE(NSJSONSerialization::JSONObjectWithData("[1,2,3,4,5,6]", 0, nullptr, limits));
    limits = {};
    limits.maximumValues = 4; // the array and three numbers
    EXPECT_TRUE(NSJSONSerialization::JSONObjectWithData("[1,2,3]", 0, nullptr, limits));
    EXPECT_FALSE(NSJSONSerialization::JSONObjectWithData("[1,2,3,4]", 0, nullptr, limits));
}

TEST(NSJSONSerializationTest, ReadsBytesAsData) {
    std::string text = R"([{"title": "A"}])";
    PlistValue v = NSJSONSerialization::JSONObjectWithData(PlistData(text.begin(), text.end()), 0, nullptr);
    EXPECT_EQ(v.at(0)["title"].stringValue(), "A");
    // Embedded NUL bytes inside strings survive; outside them they are an error.
    std::string nul = std::string("[\"a\\u0000b\"]");
    EXPECT_EQ(parseJSON(nul).at(0).stringValue(), std::string("a\0b", 3));
    EXPECT_FALSE(parseJSON(std::string("[1]\0", 4)));
}

TEST(NSJSONSerializationTest, NumbersPastSixtyFourBitIntegersAreRealsAndDepthIsBoundedExactly) {
    PlistValue big = parseJSON("[18446744073709551616, -9223372036854775809, 9223372036854775807, -0]");
    ASSERT_TRUE(big) << "integers past 64 bits read as reals";
    EXPECT_TRUE(big.at(0).isReal());
    EXPECT_EQ(big.at(0).doubleValue(), 18446744073709551616.0);
    EXPECT_TRUE(big.at(1).isReal());
    EXPECT_TRUE(big.at(2).isInteger());
    EXPECT_EQ(big.at(2).integerValue(), INT64_MAX);
    EXPECT_TRUE(big.at(3).isInteger());

    // 512 levels are read; the 513th is refused with the reason, whichever reader saw it first.
    EXPECT_TRUE(parseJSON(std::string(512, '[') + std::string(512, ']')));
    std::shared_ptr<NSError> error;
    EXPECT_FALSE(parseJSON(std::string(513, '[') + std::string(513, ']'), 0, &error));
    ASSERT_TRUE(error);
    EXPECT_NE(error->localizedDescription().find("nested deeper than 512 levels"), std::string::npos)
        << error->localizedDescription();
    error = nullptr;
    EXPECT_FALSE(parseJSON(std::string(1000000, '[') + std::string(1000000, ']'), 0, &error));
    ASSERT_TRUE(error);
    EXPECT_NE(error->localizedDescription().find("nested deeper than 512 levels"), std::string::npos);
}

TEST(NSJSONSerializationTest, ElementsOfTheTopLevelArrayPastTheBoundAreReadButLeftOut) {
    NSJSONSerialization::Limits limits;
    limits.maximumTopLevelElements = 2;
    // The array, the two elements it keeps and the two values inside the second: what is left out
    // counts for none.
    limits.maximumValues = 5;
    std::size_t leftOut = 99;
    // Through the tape reader, and through the other one (a number past 64 bits sends it there).
    for (std::string tail : {"3", "18446744073709551616"}) {
        std::string text = R"([1, {"a": [2]}, )" + tail + R"(, [4, [5]], "x", {}])";
        PlistValue v = NSJSONSerialization::JSONObjectWithData(text, 0, nullptr, limits, &leftOut);
        ASSERT_TRUE(v) << text;
        EXPECT_EQ(v.count(), 2u);
        EXPECT_EQ(v.at(1)["a"].at(0).integerValue(), 2);
        EXPECT_EQ(leftOut, 4u) << text;
    }
    // What is left out must still be JSON, within the depth bound.
    EXPECT_FALSE(NSJSONSerialization::JSONObjectWithData("[1, 2, 3,]", 0, nullptr, limits, &leftOut));
    limits.maximumDepth = 3;
    EXPECT_FALSE(NSJSONSerialization::JSONObjectWithData("[1, 2, [[[3]]]]", 0, nullptr, limits, &leftOut));
    EXPECT_TRUE(NSJSONSerialization::JSONObjectWithData("[1, 2, [[3]]]", 0, nullptr, limits, &leftOut));
    EXPECT_EQ(leftOut, 1u);
    // Only the top level's elements are bounded.
    PlistValue object =
        NSJSONSerialization::JSONObjectWithData(R"({"a": [1, 2, 3]})", 0, nullptr, {}, &leftOut);
    EXPECT_EQ(object["a"].count(), 3u);
    EXPECT_EQ(leftOut, 0u);
}

} // namespace
