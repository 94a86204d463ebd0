#include "platform/foundation/plist/PropertyList.h"
#include "platform/foundation/NSJSONSerialization.h"

#include "support/BinaryPlistBytes.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <random>

namespace {

std::vector<std::uint8_t> compactArrayOf(const std::vector<std::uint64_t>& refs, std::uint8_t refSize = 1) {
    std::vector<std::uint8_t> o;
    if (refs.size() < 15) {
        o.push_back(static_cast<std::uint8_t>(0xA0 | refs.size()));
    } else {
        o = {0xAF,
             0x12,
             static_cast<std::uint8_t>(refs.size() >> 24),
             static_cast<std::uint8_t>(refs.size() >> 16),
             static_cast<std::uint8_t>(refs.size() >> 8),
             static_cast<std::uint8_t>(refs.size())};
    }
    for (auto r : refs)
        for (int i = refSize - 1; i >= 0; --i)
            o.push_back(static_cast<std::uint8_t>(r >> (8 * i)));
    return o;
}

PlistReadResult readList(std::string_view text) {
    return readPropertyList(asBytes(text));
}
PlistReadResult readList(const std::vector<std::uint8_t>& bytes) {
    return readPropertyList(bytes);
}

std::string sample() {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
    <!-- a comment with </dict> in it -->
    <key>enabled</key><true/>
    <key>count</key><integer>-3</integer>
    <key>ratio</key><real>0.25</real>
    <key>when</key><date>2001-01-02T00:00:00Z</date>
    <key>blob</key><data>AAH/</data>
    <key>name</key><string>a &amp; b</string>
    <key>list</key><array><integer>1</integer><string>two</string><dict/></array>
</dict>
</plist>)";
}

// Text as UTF-16 with a byte-order mark, in either byte order.
std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

} // namespace

TEST(PropertyListTest, ReadsXmlWithEveryKind) {
    PlistReadResult r = readList(sample());
    ASSERT_TRUE(r.ok()) << r.error->description();
    EXPECT_EQ(r.format, PlistFormat::XML);
    EXPECT_EQ(r.value.get("enabled"), PlistValue(true));
    EXPECT_EQ(r.value.get("count"), PlistValue(-3));
    EXPECT_EQ(r.value.get("ratio"), PlistValue(0.25));
    EXPECT_EQ(r.value.get("when"), PlistValue(NSDate{86400}));
    EXPECT_EQ(r.value.get("blob"), PlistValue(PlistData{0, 1, 255}));
    EXPECT_EQ(r.value.get("name"), PlistValue("a & b"));
    EXPECT_EQ(r.value.get("list").count(), 3u);
    EXPECT_TRUE(r.value.get("list").at(2).isDictionary());
    // Read values print as "%@" prints them, which is what the value store logs.
    EXPECT_EQ(r.value.get("enabled").description(), "1");
    EXPECT_EQ(r.value.get("count").description(), "-3");
    EXPECT_EQ(r.value.get("when").description(), "2001-01-02 00:00:00 +0000");
    EXPECT_EQ(r.value.get("blob").description(), "{length = 3, bytes = 0x0001ff}");
}

TEST(PropertyListTest, ReadsOldStyleText) {
    PlistReadResult r = readList(R"(// an extension filter
        { Filter = { Bundles = ( "com.apple.MobileSMS", com.example.app, ); }; /* trailing */
          Escaped = "tab\there \"q\" \101 \U00e9"; Blob = <0001 ff>; Empty = (); })");
    ASSERT_TRUE(r.ok()) << r.error->description();
    EXPECT_EQ(r.format, PlistFormat::OpenStep);
    EXPECT_EQ(r.value.get("Filter").get("Bundles").at(0), PlistValue("com.apple.MobileSMS"));
    EXPECT_EQ(r.value.get("Filter").get("Bundles").at(1), PlistValue("com.example.app"));
    EXPECT_EQ(r.value.get("Escaped"), PlistValue("tab\there \"q\" A \xC3\xA9"));
    EXPECT_EQ(r.value.get("Blob"), PlistValue(PlistData{0, 1, 255}));
    EXPECT_EQ(r.value.get("Empty").count(), 0u);
    EXPECT_EQ(readList("( a, b )").value.count(), 2u);
    EXPECT_EQ(readList("bare").value, PlistValue("bare"));

    for (const char* bad : {"", "{ a = b }", "{ a b; }", "( a b )", "{ a = \"open; }", "<0g>", "<012>",
                            "{ } x", "/* open", "{ = b; }", "("})
        EXPECT_FALSE(readList(std::string_view(bad)).ok()) << bad;
}

TEST(PropertyListTest, ReadsATopLevelDictionaryWithoutBracesAsStringsTablesAreWritten) {
    PlistReadResult r = readList("\"Title\" = \"Titel\"; /* comment */ \"Key2\" = \"Wert\";\n"
                                 "// a line comment\nBare = word; Nested = { a = (b, c); }; \"Done\";");
    ASSERT_TRUE(r.ok()) << r.error->description();
    EXPECT_EQ(r.format, PlistFormat::OpenStep);
    EXPECT_EQ(r.value.count(), 5u);
    EXPECT_EQ(r.value.get("Title"), PlistValue("Titel"));
    EXPECT_EQ(r.value.get("Key2"), PlistValue("Wert"));
    EXPECT_EQ(r.value.get("Bare"), PlistValue("word"));
    EXPECT_EQ(r.value.get("Nested").get("a").at(1), PlistValue("c"));
    EXPECT_EQ(r.value.get("Done"), PlistValue("Done")); // "key"; is "key" = "key";
    // A lone string is still a string, and a key of its own stays one value.
    EXPECT_EQ(readList("\"just text\" // note").value, PlistValue("just text"));
    EXPECT_EQ(readList(" a = b; ").value.get("a"), PlistValue("b"));

    // Every entry ends with ';', and nothing closes what never opened. The short form belongs to
    // the braceless top level only.
    for (const char* bad : {"a = b", "a = b; c = d", "a = b; }", "a = b; ;", "a = ;", "a = b; = c;",
                            "a = \"open;", "a = b; /* open", "{ a; }", "a = { b; };", "a; b", "a = b c;"})
        EXPECT_FALSE(readList(std::string_view(bad)).ok()) << bad;
    // Blank text is not a list here (a strings table reads it as an empty one).
    for (const char* blank : {"", "  \n", "/* nothing */", "// nothing\n"})
        EXPECT_FALSE(readList(std::string_view(blank)).ok()) << blank;
}

TEST(PropertyListTest, ReadsUtf16TextOfEveryFormAsItsUtf8Form) {
    for (bool bigEndian : {false, true}) {
        PlistReadResult strings =
            readList(utf16(u"\"Title\" = \"T\u00EEtel \U0001F600\";\n\"Done\";", bigEndian));
        ASSERT_TRUE(strings.ok()) << strings.error->description();
        EXPECT_EQ(strings.value.get("Title"), PlistValue("T\xC3\xAEtel \xF0\x9F\x98\x80"));
        EXPECT_EQ(strings.value.get("Done"), PlistValue("Done"));

        PlistReadResult xml =
            readList(utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<plist version=\"1.0\">"
                           u"<dict><key>k\u00E9</key><integer>7</integer></dict></plist>\n",
                           bigEndian));
        ASSERT_TRUE(xml.ok()) << xml.error->description();
        EXPECT_EQ(xml.format, PlistFormat::XML);
        EXPECT_EQ(xml.value.get("k\xC3\xA9"), PlistValue(7));

        PlistReadResult braced = readList(utf16(u"{ list = (a, \"b\"); }", bigEndian));
        ASSERT_TRUE(braced.ok());
        EXPECT_EQ(braced.value.get("list").count(), 2u);
    }
    // What is not UTF-16 is refused with the reason, whatever the form inside would have been.
    auto reason = [](const std::string& bytes) {
        PlistReadResult r = readList(bytes);
        return r.ok() ? std::string("read") : r.error->localizedDescription();
    };
    EXPECT_NE(reason(utf16(u"a = b;", false) + "x").find("odd length"), std::string::npos);
    std::u16string loneHigh = u"a = \"x\";";
    loneHigh[5] = 0xD800;
    EXPECT_NE(reason(utf16(loneHigh, true)).find("unpaired surrogate"), std::string::npos);
    std::u16string loneLow = u"<plist><string>x</string></plist>";
    loneLow[15] = 0xDC00;
    EXPECT_NE(reason(utf16(loneLow, false)).find("unpaired surrogate"), std::string::npos);
    std::u16string highAtEnd = u"a = b;x";
    highAtEnd.back() = 0xDBFF;
    EXPECT_NE(reason(utf16(highAtEnd, false)).find("unpaired surrogate"), std::string::npos);
    // A mark with nothing after it holds no list; a NUL decoded from UTF-16 is refused as XML
    // refuses it.
    EXPECT_NE(reason(utf16(u"", false)), "read");
    std::u16string withNul = u"<plist><string>ab</string></plist>";
    withNul[16] = 0;
    EXPECT_NE(reason(utf16(withNul, false)), "read");
    // The size limit counts the bytes given, before conversion.
    PlistLimits small;
    small.maxBytes = 12;
    EXPECT_FALSE(readPropertyList(asBytes(utf16(u"a = bcdef;", false)), small).ok());
}

TEST(PropertyListTest, AnXmlDeclarationWithUnquotedValuesReadsAsTheQuotedOne) {
    const std::string body = "\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                             "<plist version=\"1.0\"><dict><key>a</key><string>b</string></dict></plist>\n";
    PlistReadResult quoted = readList("<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body);
    ASSERT_TRUE(quoted.ok());
    for (const char* declaration :
         {"<?xml version=1.0 encoding=UTF-8?>", "<?xml version=1.0 encoding=UTF-8 ?>",
          "<?xml version='1.0' encoding=UTF-8 standalone=yes?>", "\xEF\xBB\xBF<?xml version=1.0?>"}) {
        PlistReadResult lenient = readList(declaration + body);
        ASSERT_TRUE(lenient.ok()) << declaration << ": " << lenient.error->description();
        EXPECT_EQ(lenient.format, PlistFormat::XML);
        EXPECT_EQ(lenient.value, quoted.value) << declaration;
    }
    // An element's unquoted attributes are skipped as well (XmlPlistAttributesTest), and the
    // declaration still ends.
    EXPECT_TRUE(readList("<?xml version=1.0?><plist version=1.0><true/></plist>").ok());
    EXPECT_FALSE(readList("<?xml version=1.0 <plist><true/></plist>").ok());
}

TEST(PropertyListTest, EachReaderKeepsTheLastOfARepeatedKeyAndSortsKeysGivenOutOfOrder) {
    // The same dictionary in each text form: keys out of order, "b" twice (a dictionary, then a
    // string), and a nested dictionary whose own keys repeat.
    const char* xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>c</key><integer>3</integer>
  <key>b</key><dict><key>x</key><integer>1</integer></dict>
  <key>a</key><dict><key>z</key><string>first</string><key>y</key><true/><key>z</key><string>last</string></dict>
  <key>b</key><string>second b</string>
</dict></plist>)";
    const char* text = R"({ c = 3; b = { x = 1; }; a = { z = first; y = yes; z = last; }; b = "second b"; })";
    for (const char* list : {xml, text}) {
        PlistReadResult r = readList(std::string_view(list));
        ASSERT_TRUE(r.ok()) << r.error->description();
        auto entries = r.value.dictionaryValue();
        ASSERT_TRUE(entries);
        std::vector<std::string> keys;
        for (const auto& [key, value] : *entries)
            keys.push_back(key);
        EXPECT_EQ(keys, (std::vector<std::string>{"a", "b", "c"})) << list;
        EXPECT_EQ(r.value.get("b"), PlistValue("second b")) << list;
        EXPECT_EQ(r.value.get("a").count(), 2u) << list;
        EXPECT_EQ(r.value.get("a").get("z"), PlistValue("last")) << list;
        EXPECT_EQ(r.value.get("a").dictionaryValue()->begin()->first, "y") << list;
    }

    // In binary: keys given in descending order, each value a container, "k1" twice (the last is
    // kept). Every container must land under its own key, whatever order the entries settle in.
    std::vector<std::vector<std::uint8_t>> objects = {{0xD5, 1, 2, 3, 4, 4, 5, 6, 7, 8, 9}};
    for (char c : {'4', '3', '2', '1'})
        objects.push_back({0x52, 'k', static_cast<std::uint8_t>(c)});
    for (std::uint8_t n = 4; n >= 1; --n)
        objects.push_back(compactArrayOf({static_cast<std::uint64_t>(10 + n)}));
    objects.push_back(compactArrayOf({10}));
    for (std::uint8_t n = 0; n <= 4; ++n)
        objects.push_back({0x10, n});
    PlistReadResult r = readList(binaryList(objects));
    ASSERT_TRUE(r.ok()) << r.error->description();
    ASSERT_EQ(r.value.count(), 4u);
    EXPECT_EQ(r.value.dictionaryValue()->begin()->first, "k1");
    EXPECT_EQ(r.value.get("k1").at(0), PlistValue(0));
    for (int n = 2; n <= 4; ++n)
        EXPECT_EQ(r.value.get("k" + std::to_string(n)).at(0), PlistValue(n)) << n;
}

TEST(PropertyListTest, ManyKeysInDescendingOrderAreAllReadInOrder) {
    // 3,000 keys, the last one repeated with a new value, in each text form.
    std::string xml = "<plist version=\"1.0\"><dict>", text = "{", json = "{";
    for (int i = 3000; i > 0; --i) {
        const std::string key = "k" + std::to_string(10000 + i), value = std::to_string(i);
        xml += "<key>" + key + "</key><string>" + value + "</string>";
        text += key + " = " + value + ";";
        json += "\"" + key + "\": \"" + value + "\", ";
    }
    xml += "<key>k13000</key><string>again</string></dict></plist>";
    text += "k13000 = again; }";
    json += "\"k13000\": \"again\"}";
    for (const std::string& list : {xml, text}) {
        PlistReadResult r = readList(std::string_view(list));
        ASSERT_TRUE(r.ok()) << r.error->description();
        ASSERT_EQ(r.value.count(), 3000u);
        int expected = 1;
        for (const auto& [key, value] : *r.value.dictionaryValue()) {
            EXPECT_EQ(key, "k" + std::to_string(10000 + expected));
            EXPECT_EQ(value, PlistValue(expected == 3000 ? std::string("again") : std::to_string(expected)));
            ++expected;
        }
    }
    // The JSON reader that takes what the fast one cannot (an integer past 64 bits) builds its
    // dictionaries the same way.
    json.insert(1, "\"big\": 18446744073709551616, ");
    PlistValue read = NSJSONSerialization::JSONObjectWithData(json, 0, nullptr);
    ASSERT_EQ(read.count(), 3001u);
    EXPECT_EQ(read.dictionaryValue()->begin()->first, "big");
    EXPECT_EQ(read.get("k10001"), PlistValue("1"));
    EXPECT_EQ(read.get("k13000"), PlistValue("again"));
}

TEST(PropertyListTest, ReadsBinaryListsWithSharedObjects) {
    // A dictionary {"k": ["s", "s"]} whose array refers to one string twice, and integers of each
    // width, a real, a date, booleans and a negative number stored as eight bytes.
    std::vector<std::vector<std::uint8_t>> objects = {
        {0xD3, 1, 2, 3, 4, 5, 6}, // dict with 3 entries: keys 1,2,3 values 4,5,6
        {0x51, 'k'},
        {0x51, 'n'},
        {0x51, 't'},
        compactArrayOf({7, 7}),
        {0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF9},
        {0x09},
        {0x51, 's'},
    };
    PlistReadResult r = readList(binaryList(objects));
    ASSERT_TRUE(r.ok()) << r.error->description();
    EXPECT_EQ(r.format, PlistFormat::Binary);
    EXPECT_EQ(r.value.get("k").at(1), PlistValue("s"));
    EXPECT_EQ(r.value.get("n"), PlistValue(-7));
    EXPECT_EQ(r.value.get("t"), PlistValue(true));
}

TEST(PropertyListTest, RefusesMalformedBinaryLists) {
    auto good = binaryList({compactArrayOf({1}), {0x51, 'x'}});
    ASSERT_TRUE(readList(good).ok());
    // Every truncation of a valid list is refused, never a crash. (Shorter than "bplist" it is
    // an old-style bare string.)
    for (std::size_t n = 6; n < good.size(); ++n)
        EXPECT_FALSE(readList(std::vector<std::uint8_t>(good.begin(), good.begin() + n)).ok()) << n;
    EXPECT_FALSE(readList(binaryList({compactArrayOf({5})})).ok());                // reference out of range
    EXPECT_FALSE(readList(binaryList({{0xD1, 1, 2}, {0x10, 1}, {0x10, 2}})).ok()); // key not a string
    EXPECT_FALSE(readList(binaryList({{0x5F, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}})).ok());
    EXPECT_FALSE(readList(binaryList({{0xC1, 0}})).ok());      // sets are not read
    EXPECT_FALSE(readList(binaryList({{0x51, 'x'}}, 1)).ok()); // top object out of range

    // Random damage anywhere in a valid list never crashes the reader.
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) {
        auto damaged = good;
        damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
        (void)readList(damaged);
    }
}

TEST(PropertyListTest, RefusesCyclesDeepChainsAndReferenceBombs) {
    EXPECT_FALSE(readList(binaryList({compactArrayOf({0})})).ok()) << "array holding itself";
    EXPECT_FALSE(readList(binaryList({compactArrayOf({1}), compactArrayOf({0})})).ok())
        << "two arrays holding each other";

    // 100,000 arrays each holding the next: far past the nesting limit.
    const std::uint64_t chain = 100000;
    std::vector<std::vector<std::uint8_t>> deep;
    for (std::uint64_t i = 0; i + 1 < chain; ++i)
        deep.push_back(compactArrayOf({i + 1}, 4));
    deep.push_back({0x51, 'x'});
    PlistReadResult r = readList(binaryList(deep, 0, 4));
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error->localizedDescription().find("nested too deeply"), std::string::npos);

    // Seven levels of arrays that each refer to the level below 14 times: 14^7 values from a
    // list of about 150 bytes.
    std::vector<std::vector<std::uint8_t>> bomb;
    for (std::uint64_t level = 0; level < 7; ++level)
        bomb.push_back(compactArrayOf(std::vector<std::uint64_t>(14, level + 1)));
    bomb.push_back({0x51, 'x'});
    auto bombBytes = binaryList(bomb);
    EXPECT_LT(bombBytes.size(), 400u);
    r = readList(bombBytes);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error->localizedDescription().find("too many values"), std::string::npos);

    // One 1 MiB string referred to by 100 entries would expand to 100 MiB.
    std::vector<std::uint8_t> big = {0x5F, 0x12, 0x00, 0x10, 0x00, 0x00};
    big.resize(big.size() + (1u << 20), 'a');
    EXPECT_FALSE(readList(binaryList({compactArrayOf(std::vector<std::uint64_t>(100, 1)), big})).ok());
}

TEST(PropertyListTest, RefusesDeepHugeAndTrickyXml) {
    std::string deep = "<?xml version=\"1.0\"?><plist>";
    for (int i = 0; i < 1000000; ++i)
        deep += "<array>";
    PlistReadResult r = readList(deep);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error->localizedDescription().find("nested too deeply"), std::string::npos);

    std::string wide = "<?xml version=\"1.0\"?><plist><array>";
    for (int i = 0; i < 300000; ++i)
        wide += "<true/>";
    EXPECT_FALSE(readList(wide + "</array></plist>").ok());

    std::string huge(17u << 20, ' ');
    EXPECT_FALSE(readList(huge).ok());

    EXPECT_FALSE(readList("<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a "
                          "\"aaaa\">]><plist><string>&a;</string></plist>")
                     .ok());
    EXPECT_FALSE(readList("<?xml version=\"1.0\"?><plist><dict><key>a</key>").ok());
    EXPECT_FALSE(readList("<?xml version=\"1.0\"?><plist><!-- open").ok());
    EXPECT_FALSE(readList("<?xml version=\"1.0\"?><plist></dict></plist>").ok());

    std::string text = sample();
    for (std::size_t n = 0; n < text.size(); n += 7)
        (void)readList(std::string_view(text).substr(0, n));
}

TEST(PropertyListTest, WritesXmlThatReadsBackWithTheSameKinds) {
    PlistValue d = PlistValue::dictionary();
    d.set("b", true);
    d.set("i", PlistValue(std::int64_t{-9000000000}));
    d.set("r", 0.1);
    d.set("whole", 3.0);
    d.set("s", "<tag> & \"quote\" é");
    d.set("date", PlistValue(NSDate{611411445}));
    d.set("data", PlistValue(PlistData{0, 1, 2, 255}));
    d.set("list", PlistValue::array({1, "two", PlistValue::dictionary()}));
    PlistWriteResult w = writePropertyListXML(d);
    ASSERT_TRUE(w.ok());
    PlistReadResult r = readList(w.bytes);
    ASSERT_TRUE(r.ok()) << r.error->description();
    EXPECT_EQ(r.value, d);
}

TEST(PropertyListTest, EveryValueTheReadersAcceptSurvivesARewrite) {
    // XML holds the full integer range, dates from year 0000 to 9999 and every real.
    PlistValue d = PlistValue::dictionary();
    d.set("max", PlistValue::unsignedInteger(UINT64_MAX));
    d.set("top", PlistValue::unsignedInteger(std::uint64_t{1} << 63));
    d.set("min", PlistValue(INT64_MIN));
    d.set("year1", PlistValue(NSDate{-63113904000.0}));
    d.set("year9999", PlistValue(NSDate{252423993599.0}));
    d.set("inf", -std::numeric_limits<double>::infinity());
    d.set("tiny", 5e-324);
    d.set("nan", std::numeric_limits<double>::quiet_NaN());
    PlistWriteResult xml = writePropertyList(d);
    ASSERT_TRUE(xml.ok());
    EXPECT_TRUE(xml.bytes.starts_with("<?xml")) << xml.bytes;
    EXPECT_NE(xml.bytes.find("<integer>18446744073709551615</integer>"), std::string::npos);
    EXPECT_NE(xml.bytes.find("<date>0001-01-01T00:00:00Z</date>"), std::string::npos);
    PlistReadResult back = readList(xml.bytes);
    ASSERT_TRUE(back.ok());
    EXPECT_TRUE(std::isnan(back.value.get("nan").doubleValue()));
    d.remove("nan");
    back.value.remove("nan");
    EXPECT_EQ(back.value, d);

    // What XML text cannot give back goes to the binary form, rather than being refused.
    for (const PlistValue& v :
         {PlistValue("bell\a"), PlistValue("\xFF\xFE"), PlistValue("cr\r\n"), PlistValue(NSDate{0.25})}) {
        PlistValue withIt = d.mutableCopy();
        withIt.set("odd", v);
        EXPECT_FALSE(writePropertyListXML(withIt).ok());
        PlistWriteResult w = writePropertyList(withIt);
        ASSERT_TRUE(w.ok()) << v.description();
        EXPECT_TRUE(w.bytes.starts_with("bplist00"));
        PlistReadResult r = readList(w.bytes);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r.value, withIt) << v.description();
    }
}

TEST(PropertyListTest, RefusesToWriteValuesWithoutAPropertyListForm) {
    auto object = std::make_shared<NSObject>();
    for (const PlistValue& v : {PlistValue(), PlistValue(object), PlistValue("bell\a"),
                                PlistValue("\xFF\xFE"), PlistValue::array({PlistValue(object)})}) {
        PlistValue d = PlistValue::dictionary();
        d.set("k", v.isNone() ? PlistValue::array({PlistValue()}) : v);
        PlistWriteResult w = writePropertyListXML(d);
        EXPECT_FALSE(w.ok()) << v.description();
        EXPECT_EQ(w.error->code(), NSPropertyListWriteInvalidError);
    }
    // A dictionary that holds itself would never end; the depth limit stops it.
    PlistValue loop = PlistValue::dictionary();
    loop.set("self", loop);
    EXPECT_FALSE(writePropertyListXML(loop).ok());
    loop.remove("self"); // break the reference cycle so the test does not leak
}

TEST(PropertyListTest, ReadsWhatPythonWritesAndPythonReadsWhatWeWrite) {
    if (!havePython())
        GTEST_SKIP() << "python3 with plistlib is not available";
    TempDeviceRoot dir;
    const std::string script = R"(
import plistlib, sys, datetime
v = {'b': True, 'f': False, 'i': 42, 'neg': -7, 'big': 2**62, 'r': 0.1, 'one': 1.0,
     'd': datetime.datetime(2020, 5, 17, 12, 30, 45), 'data': b'\x00\x01\xff', 's': 'h\u00e9llo <&>',
     'arr': [1, 'two', [3.5]], 'nested': {'x': {'y': 'z'}}, 'empty': {}}
for fmt, name in ((plistlib.FMT_BINARY, 'py.bin'), (plistlib.FMT_XML, 'py.xml')):
    with open(sys.argv[1] + '/' + name, 'wb') as f:
        plistlib.dump(v, f, fmt=fmt)
)";
    dir.write("/gen.py", script);
    int status = 0;
    runCommand("python3 " + dir.host("/gen.py") + " " + dir.path(), &status);
    ASSERT_EQ(status, 0);
    for (const char* name : {"/py.bin", "/py.xml"}) {
        PlistReadResult r = readList(dir.read(name));
        ASSERT_TRUE(r.ok()) << name << ": " << r.error->description();
        const PlistValue& v = r.value;
        EXPECT_EQ(v.get("b"), PlistValue(true)) << name;
        EXPECT_EQ(v.get("f"), PlistValue(false)) << name;
        EXPECT_EQ(v.get("i"), PlistValue(42)) << name;
        EXPECT_EQ(v.get("neg"), PlistValue(-7)) << name;
        EXPECT_EQ(v.get("big"), PlistValue(std::int64_t{1} << 62)) << name;
        EXPECT_EQ(v.get("r"), PlistValue(0.1)) << name;
        EXPECT_EQ(v.get("one"), PlistValue(1.0)) << name;
        EXPECT_EQ(v.get("d"), PlistValue(NSDate{611411445})) << name;
        EXPECT_EQ(v.get("data"), PlistValue(PlistData{0, 1, 255})) << name;
        EXPECT_EQ(v.get("s"), PlistValue("h\xC3\xA9llo <&>")) << name;
        EXPECT_EQ(v.get("arr").at(2).at(0), PlistValue(3.5)) << name;
        EXPECT_EQ(v.get("nested").get("x").get("y"), PlistValue("z")) << name;
        EXPECT_TRUE(v.get("empty").isDictionary()) << name;
    }

    PlistValue ours = PlistValue::dictionary();
    ours.set("b", true);
    ours.set("i", -5);
    ours.set("r", 2.5);
    ours.set("d", PlistValue(NSDate{611411445}));
    ours.set("data", PlistValue(PlistData{9, 8}));
    ours.set("arr", PlistValue::array({1, PlistValue::dictionary()}));
    dir.write("/ours.plist", writePropertyListXML(ours).bytes);
    const std::string check = R"(
import plistlib, sys, datetime
v = plistlib.load(open(sys.argv[1], 'rb'))
assert type(v['b']) is bool and v['b'] is True, v
assert type(v['i']) is int and v['i'] == -5, v
assert type(v['r']) is float and v['r'] == 2.5, v
assert v['d'] == datetime.datetime(2020, 5, 17, 12, 30, 45), v
assert v['data'] == b'\x09\x08', v
assert v['arr'] == [1, {}], v
)";
    dir.write("/check.py", check);
    std::string out =
        runCommand("python3 " + dir.host("/check.py") + " " + dir.host("/ours.plist") + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
}
