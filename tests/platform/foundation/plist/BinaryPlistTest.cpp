#include "platform/foundation/NSObject.h"
#include "platform/foundation/plist/BinaryPlistCheck.h"
#include "platform/foundation/plist/BinaryPlistReader.h"
#include "platform/foundation/plist/BinaryPlistWriter.h"
#include "support/BinaryPlistBytes.h"
#include "support/LibplistOracle.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <set>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::uint64_t kAboveSigned = std::uint64_t(INT64_MAX) + 1;

std::span<const std::uint8_t> span(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

Bytes arrayOf(const std::vector<std::uint64_t>& refs, std::uint8_t refSize = 1) {
    Bytes o = {0xAF, 0x12};
    for (int i = 3; i >= 0; --i)
        o.push_back(static_cast<std::uint8_t>(refs.size() >> (8 * i)));
    for (auto r : refs)
        for (int i = refSize - 1; i >= 0; --i)
            o.push_back(static_cast<std::uint8_t>(r >> (8 * i)));
    return o;
}

Bytes be(std::uint8_t marker, std::uint64_t high, std::uint64_t low, int lowBytes = 8) {
    Bytes o = {marker};
    for (int i = 7; i >= 0 && lowBytes == 16; --i)
        o.push_back(static_cast<std::uint8_t>(high >> (8 * i)));
    for (int i = std::min(lowBytes, 8) - 1; i >= 0; --i)
        o.push_back(static_cast<std::uint8_t>(low >> (8 * i)));
    return o;
}

PlistReadResult readBinary(const Bytes& b) {
    return readBinaryPlist(b, PlistLimits{});
}
PlistReadResult readBinary(const std::string& s) {
    return readBinaryPlist(span(s), PlistLimits{});
}

std::string writeBinary(const PlistValue& v, const PlistLimits& limits = {}) {
    std::string out;
    auto e = writeBinaryPlist(v, limits, out);
    EXPECT_FALSE(e) << *e;
    return out;
}

// Equality that tells -0.0 from 0.0, holds NaN equal to NaN and an unsigned integer apart from a
// signed one with the same bits.
bool identical(const PlistValue& a, const PlistValue& b) {
    if (a.kind() != b.kind())
        return false;
    switch (a.kind()) {
    case PlistValue::Kind::Real:
        return std::bit_cast<std::uint64_t>(a.doubleValue()) == std::bit_cast<std::uint64_t>(b.doubleValue());
    case PlistValue::Kind::Date:
        return std::bit_cast<std::uint64_t>(a.dateValue().timeIntervalSinceReferenceDate) ==
               std::bit_cast<std::uint64_t>(b.dateValue().timeIntervalSinceReferenceDate);
    case PlistValue::Kind::Array:
        return std::equal(a.arrayValue()->begin(), a.arrayValue()->end(), b.arrayValue()->begin(),
                          b.arrayValue()->end(), identical);
    case PlistValue::Kind::Dictionary:
        return std::equal(
            a.dictionaryValue()->begin(), a.dictionaryValue()->end(), b.dictionaryValue()->begin(),
            b.dictionaryValue()->end(),
            [](const auto& x, const auto& y) { return x.first == y.first && identical(x.second, y.second); });
    default:
        return a == b;
    }
}

PlistValue roundTrip(const PlistValue& v) {
    std::string bytes = writeBinary(v);
    PlistReadResult r = readBinary(bytes);
    EXPECT_TRUE(r.ok()) << r.error->localizedDescription();
    return r.value;
}

// --- What the libplist-based reader of today gives: the check, then libplist (integers and UIDs
// as signed 64-bit, dates as seconds plus microseconds).

std::uint64_t readBE(const std::uint8_t* p, int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v = v << 8 | p[i];
    return v;
}

// Whether a list that passed the check holds a string or key with U+0000 in it. The format allows
// it and our reader keeps it, but libplist asserts that a string ends at its first NUL and aborts,
// so such a list is never handed to it.
bool holdsStringWithNul(std::span<const std::uint8_t> b) {
    const std::uint8_t* t = b.data() + b.size() - 32;
    std::uint64_t count = readBE(t + 8, 8), table = readBE(t + 24, 8);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t* object = b.data() + readBE(b.data() + table + i * t[6], t[6]);
        const int kind = *object >> 4;
        if (kind != 0x5 && kind != 0x6)
            continue;
        std::uint64_t length = *object & 0xF;
        const std::uint8_t* payload = object + 1;
        if (length == 0xF) {
            const int size = 1 << (payload[0] & 0xF);
            length = readBE(payload + 1, size);
            payload += 1 + size;
        }
        for (std::uint64_t at = 0; at < length; ++at) {
            if (kind == 0x5 ? payload[at] == 0 : payload[2 * at] == 0 && payload[2 * at + 1] == 0)
                return true;
        }
    }
    return false;
}

std::optional<PlistValue> readToday(std::span<const std::uint8_t> bytes) {
    if (checkBinaryPlist(bytes, PlistLimits{}) || holdsStringWithNul(bytes))
        return std::nullopt;
    return libplistRead(bytes);
}

std::string withoutReplacementCharacters(std::string s) {
    for (std::size_t at; (at = s.find("\xEF\xBF\xBD")) != std::string::npos;)
        s.erase(at, 3);
    return s;
}

// Where our reader and today's differ, other than where today's loses data: a 16-byte integer
// (today: its low 64 bits), a date outside int32 seconds (today: clamped) or negative with a
// fraction (today: the fraction added to the seconds rounded toward zero), an unpaired surrogate
// (today: dropped, ours: U+FFFD). Answers "" when they agree.
std::string disagreement(const PlistValue& ours, const PlistValue& today, const std::string& path = "/") {
    if (ours.kind() != today.kind())
        return path + ": kinds differ";
    switch (ours.kind()) {
    case PlistValue::Kind::Integer:
        if (ours.unsignedValue() != today.unsignedValue() || (!ours.isUnsignedInteger() && !(ours == today)))
            return path + ": " + ours.description() + " vs " + today.description();
        return "";
    case PlistValue::Kind::Date: {
        double d = ours.dateValue().timeIntervalSinceReferenceDate;
        double t = today.dateValue().timeIntervalSinceReferenceDate;
        bool todayLoses = !(d >= INT32_MIN && d < INT32_MAX + 1.0) || (d < 0 && d != std::floor(d));
        return todayLoses || std::abs(d - t) <= 1e-6 ? "" : path + ": dates differ";
    }
    case PlistValue::Kind::String:
        return withoutReplacementCharacters(ours.stringValue()) ==
                       withoutReplacementCharacters(today.stringValue())
                   ? ""
                   : path + ": strings differ";
    case PlistValue::Kind::Array:
        if (ours.count() != today.count())
            return path + ": counts differ";
        for (std::size_t i = 0; i < ours.count(); ++i) {
            if (auto d = disagreement(ours.at(i), today.at(i), path + std::to_string(i) + "/"); !d.empty())
                return d;
        }
        return "";
    case PlistValue::Kind::Dictionary: {
        // A key with an unpaired surrogate may meet another key once its U+FFFD is dropped
        // today; the keys that can meet so are left out, and so is the count.
        std::set<std::string> blurred;
        for (const auto& [key, value] : *ours.dictionaryValue()) {
            if (std::string plain = withoutReplacementCharacters(key); plain != key)
                blurred.insert(plain);
        }
        if (blurred.empty() && ours.count() != today.count())
            return path + ": counts differ";
        for (const auto& [key, value] : *ours.dictionaryValue()) {
            if (blurred.contains(withoutReplacementCharacters(key)))
                continue;
            if (auto d = disagreement(value, today.get(key), path + key + "/"); !d.empty())
                return d;
        }
        return "";
    }
    default:
        return identical(ours, today) ? "" : path + ": " + ours.description() + " vs " + today.description();
    }
}

// Whether the list (one that passed the check) holds an object that libplist 2.2 cannot read
// although the format allows it: a UID above UINT32_MAX, an empty UTF-16 string, or a string with
// U+0000 in it.
bool holdsWhatLibplistRefuses(std::span<const std::uint8_t> b) {
    if (holdsStringWithNul(b))
        return true;
    const std::uint8_t* t = b.data() + b.size() - 32;
    std::uint64_t count = readBE(t + 8, 8), table = readBE(t + 24, 8);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t* object = b.data() + readBE(b.data() + table + i * t[6], t[6]);
        if (*object == 0x60 || (*object >> 4 == 0x8 && readBE(object + 1, (*object & 0xF) + 1) > UINT32_MAX))
            return true;
    }
    return false;
}

// Reads `bytes` both ways and reports where the two readers differ, beyond the documented cases.
void expectAgreementWithToday(std::span<const std::uint8_t> bytes, const std::string& what) {
    PlistReadResult ours = readBinaryPlist(bytes, PlistLimits{});
    std::optional<PlistValue> today = readToday(bytes);
    if (ours.ok() && today) {
        EXPECT_EQ(disagreement(ours.value, *today), "") << what;
    } else if (today) {
        EXPECT_NE(ours.error->localizedDescription().find("integer out of range"), std::string::npos)
            << what << ": " << ours.error->localizedDescription();
    } else if (ours.ok()) {
        EXPECT_TRUE(holdsWhatLibplistRefuses(bytes)) << what << ": only our reader accepts it";
    }
}

// A random tree of every kind, with the values at the edges of each; with `utf8Only`, no string
// that is not UTF-8 (libplist's writer turns such bytes into unpaired surrogates).
PlistValue randomTree(std::mt19937_64& random, int depth, bool utf8Only) {
    static const char* const strings[] = {"",
                                          "a",
                                          "enabled",
                                          "tab\tline\nfeed\x01\x1f\x7f",
                                          "caf\xC3\xA9",
                                          "\xE2\x82\xAC",
                                          "\xF0\x9F\x98\x80 smile",
                                          "\xEF\xBF\xBE",
                                          "\xEF\xBF\xBD",
                                          "longer than a marker's nibble holds",
                                          "x\xFFy",
                                          "\xC0\xAF",
                                          "\xED\xA0\x80",
                                          "\xE2\x82"}; // the last four are not UTF-8
    static const std::int64_t integers[] = {0, 255, 256, 65536, INT64_C(1) << 32, INT64_MAX, -1, INT64_MIN};
    static const double reals[] = {-0.0, 0.1, kInf, -kInf, std::numeric_limits<double>::denorm_min(), kNaN};
    static const double dates[] = {-63113904000.0, 252423993599.0, -1.5, 700000000.25, 1e-7};
    auto pick = [&](const auto& list) { return list[random() % std::size(list)]; };
    auto pickString = [&] { return strings[random() % (std::size(strings) - (utf8Only ? 4 : 0))]; };
    switch (random() % (depth > 0 ? 10 : 7)) {
    case 0:
    case 1:
        return PlistValue(pickString());
    case 2:
        return random() % 4 ? PlistValue(pick(integers))
                            : PlistValue::unsignedInteger(UINT64_MAX - random() % 9);
    case 3:
        return PlistValue(pick(reals));
    case 4:
        return PlistValue(random() % 2 == 0);
    case 5:
        return PlistValue(NSDate{random() % 2 ? pick(dates) : static_cast<std::int32_t>(random()) / 8.0});
    case 6:
        return PlistValue(PlistData(random() % 20, static_cast<std::uint8_t>(random())));
    case 7:
    case 8: {
        PlistValue a = PlistValue::array();
        for (std::uint64_t n = random() % 18; n > 0; --n)
            a.append(randomTree(random, depth - 1, utf8Only));
        return a;
    }
    default: {
        PlistValue d = PlistValue::dictionary();
        for (std::uint64_t n = random() % 18; n > 0; --n)
            d.set(pickString(), randomTree(random, depth - 1, utf8Only));
        return d;
    }
    }
}

class Opaque : public NSObject {
public:
    std::string className() const override { return "Opaque"; }
};

} // namespace

TEST(BinaryPlistWriterTest, WritesEachIntegerInItsSmallestFormAndReadsItBack) {
    struct Case {
        PlistValue value;
        std::uint8_t marker;
    };
    const Case cases[] = {{PlistValue(0), 0x10},
                          {PlistValue(255), 0x10},
                          {PlistValue(256), 0x11},
                          {PlistValue(65535), 0x11},
                          {PlistValue(std::int64_t(65536)), 0x12},
                          {PlistValue(std::int64_t(UINT32_MAX)), 0x12},
                          {PlistValue(std::int64_t(UINT32_MAX) + 1), 0x13},
                          {PlistValue(INT64_MAX), 0x13},
                          {PlistValue(-1), 0x13},
                          {PlistValue(INT64_MIN), 0x13},
                          {PlistValue::unsignedInteger(kAboveSigned), 0x14},
                          {PlistValue::unsignedInteger(UINT64_MAX), 0x14}};
    for (const Case& c : cases) {
        std::string bytes = writeBinary(c.value);
        EXPECT_EQ(static_cast<std::uint8_t>(bytes[8]), c.marker) << c.value.description();
        PlistValue back = readBinary(bytes).value;
        EXPECT_TRUE(identical(back, c.value))
            << c.value.description() << " came back as " << back.description();
    }
}

TEST(BinaryPlistWriterTest, KeepsRealsAndDatesBitForBit) {
    for (double d : {kNaN, kInf, -kInf, -0.0, 0.0, std::numeric_limits<double>::denorm_min(),
                     -std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                     std::numeric_limits<double>::lowest(), 0.1}) {
        EXPECT_TRUE(identical(roundTrip(PlistValue(d)), PlistValue(d))) << d;
    }
    // Year 1, year 9999, fractions on both sides of the reference date.
    for (double t : {-63113904000.0, 252423993599.0, 0.5, -0.5, -1.5, 1e-7, 700000000.123456789, -0.0}) {
        EXPECT_TRUE(identical(roundTrip(PlistValue(NSDate{t})), PlistValue(NSDate{t}))) << t;
    }
}

TEST(BinaryPlistWriterTest, KeepsStringsByteForByteInTheFormThatFits) {
    struct Case {
        std::string text;
        std::uint8_t marker; // the root object's marker: the form and the length in its low nibble
    };
    const Case cases[] = {
        {"", 0x50},
        {"\x01\t\n\r\x1f\x7f ctl", 0x5A},
        {"caf\xC3\xA9", 0x64},              // é goes to UTF-16: 4 code units
        {"\xF0\x9F\x98\x80", 0x62},         // outside the BMP: a surrogate pair
        {"\xEF\xBF\xBE\xEF\xBF\xBF", 0x62}, // noncharacters are still valid UTF-8
        {"x\xFFy", 0x53},                   // not UTF-8: the bytes as they are
        {"\xC0\xAF", 0x52},                 // overlong
        {"\xED\xA0\x80", 0x53},             // an encoded surrogate
        {"\xE2\x82", 0x52},                 // truncated
        {std::string(300, 'q'), 0x5F},      // a length past the nibble
    };
    for (const Case& c : cases) {
        std::string bytes = writeBinary(PlistValue(c.text));
        EXPECT_EQ(static_cast<std::uint8_t>(bytes[8]), c.marker) << c.text;
        EXPECT_EQ(readBinary(bytes).value, PlistValue(c.text)) << c.text;
    }
    // Keys take the same forms.
    PlistValue d = PlistValue::dictionary({{"\xF0\x9F\x98\x80", PlistValue(1)}, {"x\xFFy", PlistValue(2)}});
    EXPECT_TRUE(identical(roundTrip(d), d));
}

TEST(BinaryPlistWriterTest, ThousandKeyDictionaryTakesTwoByteReferencesAndStoresEqualStringsAndBooleansOnce) {
    PlistValue d = PlistValue::dictionary();
    for (int i = 0; i < 1000; ++i)
        d.set("key" + std::to_string(i), i % 3 == 0   ? PlistValue("same")
                                         : i % 3 == 1 ? PlistValue(i % 2 == 0)
                                                      : PlistValue(i));
    std::string bytes = writeBinary(d);
    EXPECT_TRUE(identical(readBinary(bytes).value, d));
    const auto* trailer = reinterpret_cast<const std::uint8_t*>(bytes.data() + bytes.size() - 32);
    EXPECT_EQ(trailer[7], 2) << "reference size";
    ASSERT_LT(bytes.size(), 0x10000u);
    EXPECT_EQ(trailer[6], 2) << "offset size";
    // The dictionary, 1,000 keys, 333 integers, one "same", one true and one false.
    EXPECT_EQ(trailer[14] << 8 | trailer[15], 1337);

    // Empty containers and data, a data payload and an array past the marker's nibble.
    d.set("key0", PlistValue::array({PlistValue::array(), PlistValue::dictionary(), PlistValue(PlistData{}),
                                     PlistValue(PlistData(300, 0xA5)),
                                     PlistValue::array(PlistArray(20, PlistValue(1)))}));
    EXPECT_TRUE(identical(roundTrip(d), d));
    EXPECT_EQ(roundTrip(PlistValue("top")), PlistValue("top")) << "any value may be the top object";
}

TEST(BinaryPlistWriterTest, RefusesWhatCannotBeReadBackAndLeavesNothing) {
    auto refusal = [](const PlistValue& v, const PlistLimits& limits = {}) {
        std::string out = "left over";
        std::optional<std::string> e = writeBinaryPlist(v, limits, out);
        EXPECT_EQ(out.empty(), e.has_value());
        return e.value_or("written");
    };
    EXPECT_EQ(refusal(PlistValue::array({PlistValue(1), PlistValue()})), "none has no property-list form");
    EXPECT_EQ(refusal(PlistValue::dictionary({{"view", PlistValue(std::make_shared<Opaque>())}})),
              "an object of class Opaque has no property-list form");
    EXPECT_EQ(refusal(PlistValue(NSDate{kNaN})), "a date that is not finite");

    // As deep as the limit is written; one more level is not.
    PlistLimits shallow;
    shallow.maxDepth = 4;
    PlistValue deep = PlistValue(1);
    for (int i = 0; i < 4; ++i)
        deep = PlistValue::array({deep});
    EXPECT_EQ(refusal(deep, shallow), "written");
    EXPECT_TRUE(readBinaryPlist(span(writeBinary(deep, shallow)), shallow).ok());
    EXPECT_EQ(refusal(PlistValue::array({deep}), shallow), "nested too deeply");

    // A container that holds itself (freed by hand: it keeps itself alive).
    PlistValue loop = PlistValue::array();
    loop.append(loop);
    loop.append(loop);
    EXPECT_EQ(refusal(loop), "nested too deeply");
    loop.arrayValue()->clear();

    PlistLimits few;
    few.maxValues = 10;
    EXPECT_EQ(refusal(PlistValue::array(PlistArray(9, PlistValue(1))), few), "written");
    // A string stored once still counts at every use, and keys count.
    EXPECT_EQ(refusal(PlistValue::array(PlistArray(10, PlistValue("s"))), few), "too many values");
    PlistValue fiveKeys = PlistValue::dictionary();
    for (const char* key : {"a", "b", "c", "d", "e"})
        fiveKeys.set(key, PlistValue(1));
    EXPECT_EQ(refusal(fiveKeys, few), "too many values");

    PlistLimits small;
    small.maxExpandedBytes = 1000;
    PlistValue big = PlistValue::array(PlistArray(10, PlistValue(std::string(80, 'x'))));
    EXPECT_EQ(refusal(big, small), "expands past the size limit");
    EXPECT_FALSE(readBinaryPlist(span(writeBinary(big)), small).ok()) << "the reader agrees";
    small = PlistLimits{};
    small.maxBytes = 100;
    EXPECT_EQ(refusal(PlistValue(std::string(100, 'x')), small), "larger than the size limit");
}

TEST(BinaryPlistReaderTest, ReadsEveryKindAsTheFormatDefinesIt) {
    struct Case {
        Bytes object;
        PlistValue expected;
    };
    // Where libplist, and so the reader of today, gets it wrong, the line says what it gives.
    const Case cases[] = {
        {{0x10, 0xFF}, PlistValue(255)},
        {{0x11, 0xFF, 0xFE}, PlistValue(65534)},
        {be(0x12, 0, 0xFFFFFFFE, 4), PlistValue(std::int64_t(4294967294))},
        {be(0x13, 0, std::uint64_t(-7)), PlistValue(-7)},
        {be(0x14, 0, kAboveSigned + 5, 16),
         PlistValue::unsignedInteger(kAboveSigned + 5)}, // a negative number
        {be(0x14, 0, 5, 16), PlistValue(5)},
        {be(0x14, UINT64_MAX, UINT64_MAX, 16), PlistValue(-1)},
        {be(0x14, UINT64_MAX, kAboveSigned, 16), PlistValue(INT64_MIN)},
        {{0x22, 0x3F, 0xC0, 0, 0}, PlistValue(1.5)},
        {{0x22, 0xFF, 0x80, 0, 0}, PlistValue(-kInf)},
        {{0x08}, PlistValue(false)},
        {{0x09}, PlistValue(true)},
        {be(0x33, 0, std::bit_cast<std::uint64_t>(-1.5)), PlistValue(NSDate{-1.5})}, // -0.5
        {be(0x33, 0, std::bit_cast<std::uint64_t>(252423993599.0)),
         PlistValue(NSDate{252423993599.0})}, // 1932
        {{0x43, 0, 1, 0xFF}, PlistValue(PlistData{0, 1, 0xFF})},
        {{0x53, 'a', 0xE9, 0xFF}, PlistValue("a\xE9\xFF")},
        {{0x60}, PlistValue("")}, // refused
        {{0x62, 0xD8, 0x3D, 0xDE, 0x00}, PlistValue("\xF0\x9F\x98\x80")},
        {{0x62, 0xD8, 0x3D, 0, 'a'}, PlistValue("\uFFFDa")},          // a lone high surrogate; dropped
        {{0x62, 0xDC, 0x00, 0xD8, 0x3D}, PlistValue("\uFFFD\uFFFD")}, // a reversed pair; dropped
        {{0x80, 7}, PlistValue(7)},
        {{0x82, 1, 2, 3}, PlistValue(66051)},
        {be(0x87, 0, UINT64_MAX), PlistValue::unsignedInteger(UINT64_MAX)}, // refused above UINT32_MAX
    };
    for (const Case& c : cases) {
        PlistReadResult r = readBinary(binaryList({c.object}));
        ASSERT_TRUE(r.ok()) << c.expected.description() << ": " << r.error->localizedDescription();
        EXPECT_EQ(r.format, PlistFormat::Binary);
        EXPECT_TRUE(identical(r.value, c.expected))
            << r.value.description() << " for " << c.expected.description();
    }
}

TEST(BinaryPlistReaderTest, KeepsTheLastOfARepeatedKeyAndCopiesSharedObjects) {
    // {"k": 1, "k": 2, "k": [s, s]} with one shared dictionary s.
    PlistReadResult r = readBinary(binaryList(
        {{0xD3, 1, 1, 1, 2, 3, 4}, {0x51, 'k'}, {0x10, 1}, {0x10, 2}, {0xA2, 5, 5}, {0xD1, 1, 2}}));
    ASSERT_TRUE(r.ok()) << r.error->localizedDescription();
    ASSERT_EQ(r.value.count(), 1u);
    PlistValue list = r.value.get("k");
    ASSERT_EQ(list.count(), 2u);
    list.at(0).set("k", PlistValue(3));
    EXPECT_EQ(list.at(1).get("k"), PlistValue(1));
}

TEST(BinaryPlistReaderTest, StringsAndKeysKeepANulInside) {
    // {"a\0b": "x\0y", "u": "é\0" in UTF-16, "\0": ""}: the format counts a string's length, so
    // U+0000 is a character like any other, in a key as in a value.
    const Bytes list = binaryList({{0xD3, 1, 2, 3, 4, 5, 6},
                                   {0x53, 'a', 0, 'b'},
                                   {0x51, 'u'},
                                   {0x61, 0, 0},
                                   {0x53, 'x', 0, 'y'},
                                   {0x62, 0, 0xE9, 0, 0},
                                   {0x50}});
    PlistReadResult r = readBinary(list);
    ASSERT_TRUE(r.ok()) << r.error->localizedDescription();
    ASSERT_EQ(r.value.count(), 3u);
    EXPECT_EQ(r.value.get(std::string("a\0b", 3)), PlistValue(std::string("x\0y", 3)));
    EXPECT_EQ(r.value.get("u"), PlistValue(std::string("\xC3\xA9\0", 3)));
    EXPECT_EQ(r.value.get(std::string("\0", 1)), PlistValue(""));

    // Written back, in the binary form since XML text cannot hold U+0000, it reads the same.
    PlistWriteResult written = writePropertyList(r.value);
    ASSERT_TRUE(written.ok()) << written.error->localizedDescription();
    EXPECT_TRUE(written.bytes.starts_with("bplist00"));
    EXPECT_TRUE(identical(readBinary(written.bytes).value, r.value));
}

TEST(BinaryPlistReaderTest, RefusesHostileListsWithoutCrashing) {
    auto reason = [](const Bytes& b) {
        PlistReadResult r = readBinary(b);
        EXPECT_EQ(r.format, PlistFormat::Binary);
        return r.ok() ? std::string("read") : r.error->localizedDescription();
    };
    auto refusedFor = [&](const Bytes& b, const std::string& why) {
        std::string got = reason(b);
        return got.find("binary list: " + why) != std::string::npos ? "" : got;
    };
    Bytes good = binaryList({arrayOf({1, 2}), {0x51, 'x'}, be(0x14, 0, 9, 16)});
    ASSERT_EQ(reason(good), "read");
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_NE(reason(Bytes(good.begin(), good.begin() + n)), "read") << n;

    EXPECT_EQ(refusedFor(binaryList({be(0x14, 1, 5, 16)}), "integer out of range"), "");
    EXPECT_EQ(refusedFor(binaryList({be(0x14, UINT64_MAX, 5, 16)}), "integer out of range"), "");
    EXPECT_EQ(refusedFor(binaryList({arrayOf({5})}), "object reference out of range"), "");
    EXPECT_EQ(refusedFor(binaryList({arrayOf({0})}), "object refers to itself"), "");
    EXPECT_EQ(refusedFor(binaryList({arrayOf({1}), arrayOf({0})}), "object refers to itself"), "");
    EXPECT_EQ(refusedFor(binaryList({{0xD1, 1, 1}, {0x10, 1}}), "dictionary key is not a string"), "");
    for (std::uint8_t marker : {0x00, 0x0F, 0xC0})
        EXPECT_NE(reason(binaryList({{marker}})), "read") << "null, fill and sets";
    Bytes offsetIntoTable = good;
    offsetIntoTable[offsetIntoTable.size() - 32 - 1] = static_cast<std::uint8_t>(good.size() - 40);
    EXPECT_EQ(refusedFor(offsetIntoTable, "object offset outside the object area"), "");

    std::vector<Bytes> chain;
    for (std::uint64_t i = 0; i + 1 < 100000; ++i)
        chain.push_back(arrayOf({i + 1}, 4));
    chain.push_back({0x51, 'x'});
    EXPECT_EQ(refusedFor(binaryList(chain, 0, 4), "nested too deeply"), "");

    PlistLimits tiny;
    tiny.maxBytes = 40;
    EXPECT_FALSE(readBinaryPlist(good, tiny).ok());
}

TEST(BinaryPlistLibplistTest, AgreesWithTodaysReaderOnTheCorpus) {
    int binaryFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ORBITCHAT_SOURCE_DIR "/fuzz/corpus")) {
        if (!entry.path().filename().string().starts_with("PlistRead"))
            continue;
        for (const auto& file : std::filesystem::directory_iterator(entry.path())) {
            std::ifstream in(file.path(), std::ios::binary);
            Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            bool binary = bytes.size() >= 8 && std::equal(bytes.begin(), bytes.begin() + 8, "bplist00");
            binaryFiles += binary;
            if (!binary) {
                EXPECT_FALSE(readBinaryPlist(bytes, PlistLimits{}).ok()) << file.path();
                continue;
            }
            EXPECT_EQ(readBinaryPlist(bytes, PlistLimits{}).ok(),
                      readToday(bytes).has_value() || holdsStringWithNul(bytes))
                << file.path();
            expectAgreementWithToday(bytes, file.path().string());
        }
    }
    EXPECT_GE(binaryFiles, 10);
}

TEST(BinaryPlistLibplistTest, AgreesWithTodaysReaderOnGeneratedAndDamagedLists) {
    // Random trees as we write them and, if they are UTF-8, as libplist writes them again; each list
    // also damaged at random.
    std::mt19937_64 random(2024);
    for (int i = 0; i < 100; ++i) {
        const bool utf8Only = i % 2;
        PlistValue tree = randomTree(random, 4, utf8Only);
        std::string ours = writeBinary(tree);
        EXPECT_TRUE(identical(readBinary(ours).value, tree)) << i;
        plist_t node = nullptr;
        plist_from_bin(ours.data(), static_cast<std::uint32_t>(ours.size()), &node);
        ASSERT_TRUE(node) << "libplist refused our list " << i;
        char* bin = nullptr;
        std::uint32_t length = 0;
        plist_to_bin(node, &bin, &length);
        plist_free(node);
        const std::string theirs = utf8Only ? std::string(bin, length) : ours;
        plist_to_bin_free(bin);
        for (const std::string& bytes : {ours, theirs}) {
            expectAgreementWithToday(span(bytes), "list " + std::to_string(i));
            for (int k = 0; k < 40 && !HasFailure(); ++k) {
                std::string damaged = bytes;
                damaged[8 + random() % (damaged.size() - 8)] = static_cast<char>(random());
                expectAgreementWithToday(span(damaged), "damaged list " + std::to_string(i));
            }
        }
    }
}
