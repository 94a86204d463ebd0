// Our XML property-list reader against libplist's, on every list the repository holds (seed and
// regression inputs of the fuzz targets, the bundle's resources, the examples) and on inputs
// chosen for the corners of the format. They must agree, except where libplist is wrong: it
// reads any text as a date (malformed ones and the shorter forms become arbitrary dates, and dates
// outside 1933...2069 wrap), and turns references to surrogates into invalid UTF-8; those we refuse
// or read right.

#include "platform/foundation/plist/PropertyList.h"
#include "platform/foundation/plist/XmlPlist.h"
#include "platform/foundation/plist/XmlPlistCheck.h"
#include "support/LibplistOracle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

bool looksLikeXml(const std::string& s) {
    std::size_t first = s.find_first_not_of(" \t\r\n");
    return first != std::string::npos && s.compare(first, 1, "<") == 0;
}

// Equal up to what libplist can express: integers by their 64 bits, dates by whole seconds when
// they fit in 32 bits (outside, libplist's answer is meaningless), reals bit for bit or both NaN.
bool agree(const PlistValue& ours, const PlistValue& theirs) {
    if (ours.isInteger() && theirs.isInteger())
        return ours.unsignedValue() == theirs.unsignedValue();
    if (ours.isDate() && theirs.isDate()) {
        // libplist answers 1970-01-01 for the shorter forms of a date ("2024-02-29"), which it
        // cannot parse.
        constexpr double kLibplistUnparsed = -978307200.0;
        double t = std::floor(ours.dateValue().timeIntervalSinceReferenceDate);
        double theirsT = theirs.dateValue().timeIntervalSinceReferenceDate;
        return t < INT32_MIN || t > INT32_MAX || t == theirsT || theirsT == kLibplistUnparsed;
    }
    if (ours.isReal() && theirs.isReal())
        return (std::isnan(ours.doubleValue()) && std::isnan(theirs.doubleValue())) ||
               ours.doubleValue() == theirs.doubleValue();
    if (ours.kind() != theirs.kind())
        return false;
    if (ours.isArray()) {
        if (ours.count() != theirs.count())
            return false;
        for (std::size_t i = 0; i < ours.count(); ++i)
            if (!agree(ours.at(i), theirs.at(i)))
                return false;
        return true;
    }
    if (ours.isDictionary()) {
        if (ours.count() != theirs.count())
            return false;
        for (const auto& [key, value] : *ours.dictionaryValue())
            if (!agree(value, theirs.get(key)))
                return false;
        return true;
    }
    return ours == theirs;
}

// Empty when the readers agree on `xml`; otherwise what differs.
std::string disagreement(const std::string& xml) {
    PlistReadResult ours = readXmlPlist(bytesOf(xml), PlistLimits{});
    // libplist recurses; what our checks refuse is not handed to it.
    if (checkXmlPlist(bytesOf(xml), PlistLimits{}))
        return ours.ok() ? "we read what the checks refuse" : "";
    std::optional<PlistValue> theirs = libplistRead(bytesOf(xml));
    if (ours.ok() && theirs)
        return agree(ours.value, *theirs) ? ""
                                          : "values differ: ours " + ours.value.description() +
                                                ", libplist's " + theirs->description();
    if (!ours.ok() && !theirs)
        return "";
    if (!ours.ok()) {
        const std::string& why = ours.error->localizedDescription();
        // Where libplist reads what is not a date, or builds invalid UTF-8, we refuse.
        if (why.find("a date that is not a date") != std::string::npos ||
            why.find("a string that is not text") != std::string::npos)
            return "";
        return "only libplist reads it; we say: " + why;
    }
    return "only we read it: " + ours.value.description();
}

std::vector<fs::path> repositoryLists() {
    std::vector<fs::path> files;
    for (const char* folder : {"fuzz/corpus", "resources", "examples", "tests"}) {
        fs::path root = fs::path(ORBITCHAT_SOURCE_DIR) / folder;
        if (!fs::exists(root))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file() && entry.file_size() < (1u << 20) &&
                (entry.path().parent_path().string().find("corpus") != std::string::npos ||
                 entry.path().extension() == ".plist"))
                files.push_back(entry.path());
    }
    return files;
}

} // namespace

TEST(XmlPlistAgreementTest, EveryListInTheRepositoryReadsAsLibplistReadsIt) {
    std::size_t compared = 0;
    for (const fs::path& file : repositoryLists()) {
        std::ifstream in(file, std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!looksLikeXml(bytes))
            continue;
        ++compared;
        EXPECT_EQ(disagreement(bytes), "") << file;
    }
    EXPECT_GT(compared, 25u);
}

TEST(XmlPlistAgreementTest, CornersOfTheFormatReadAsLibplistReadsThem) {
    const std::string cases[] = {
        "<dict><key>a</key><integer>1</integer></dict>", // no <plist> around the value
        "<plist><integer>0x10</integer></plist>",
        "<plist><integer>010</integer></plist>",
        "<plist><integer>+5</integer></plist>",
        "<plist><integer> 5 </integer></plist>",
        "<plist><integer>5x</integer></plist>",
        "<plist><integer></integer></plist>",
        "<plist><integer/></plist>",
        "<plist><integer>18446744073709551615</integer></plist>",
        "<plist><integer>18446744073709551616</integer></plist>",
        "<plist><integer>-9223372036854775809</integer></plist>",
        "<plist><integer>--5</integer></plist>",
        "<plist><integer> -5</integer></plist>",
        "<plist><integer>&#49;2</integer></plist>",
        "<plist><real>nan</real></plist>",
        "<plist><real>inf</real></plist>",
        "<plist><real>1e999</real></plist>",
        "<plist><real>abc</real></plist>",
        "<plist><real> 1.5 </real></plist>",
        "<plist><real>0x10</real></plist>",
        "<plist><real/></plist>",
        "<plist><date>2001-01-01T00:00:01Z</date></plist>",
        "<plist><date>1970-01-01T00:00:00Z</date></plist>",
        "<plist><date> 2001-01-01T00:00:00Z</date></plist>",
        "<plist><date>2001-01-01T00:00:00</date></plist>",
        "<plist><date/></plist>",
        "<plist><data> QUJD\nRA== </data></plist>",
        "<plist><data>!!!</data></plist>",
        "<plist><data>QUJ</data></plist>",
        "<plist><data>QU!JD</data></plist>",
        "<plist><data>QUJDRA=</data></plist>",
        "<plist><data>QUJDRA==QQ==</data></plist>",
        "<plist><data>=QUJ</data></plist>",
        "<plist><data>Q=JD</data></plist>",
        "<plist><data>QU=D</data></plist>",
        "<plist><data/></plist>",
        "<plist><data>QUJD<![CDATA[RA==]]></data></plist>",
        "<plist><string>a&amp;b&lt;&#x41;&#66;&#x1F600;&gt;&quot;&apos;</string></plist>",
        "<plist><string>a<![CDATA[<x>]]>b</string></plist>",
        "<plist><string>a<!-- c -->b</string></plist>",
        "<plist><string>a\r\nb</string></plist>",
        "<plist><string>   </string></plist>",
        "<plist><string/></plist>",
        "<plist><string>&bogus;</string></plist>",
        "<plist><string>a&b</string></plist>",
        "<plist><string>a&#x41</string></plist>",
        "<plist><string>&#1;</string></plist>",
        "<plist><string>&#0;</string></plist>",
        "<plist><string>&#x110000;</string></plist>",
        "<plist><string>&AMP;</string></plist>",
        "<plist><string>a</strin></plist>",
        "<plist><string>a<b/></string></plist>",
        "<plist><string>a]]>b</string></plist>",
        "<plist><dict><key>a</key><integer>1</integer><key>a</key><integer>2</integer></dict></plist>",
        "<plist><dict><key>a</key></dict></plist>",
        "<plist><dict><integer>1</integer></dict></plist>",
        "<plist><dict><key>a</key><key>b</key><integer>1</integer></dict></plist>",
        "<plist><dict>junk<key>a</key><integer>1</integer></dict></plist>",
        "<plist><dict><![CDATA[x]]><key>a</key><true/></dict></plist>",
        "<plist><dict><key></key><string>x</string></dict></plist>",
        "<plist><dict><key>a&amp;b</key><true/></dict></plist>",
        "<plist><foo/></plist>",
        "<plist><true>x</true></plist>",
        "<plist><dict/><dict/></plist>",
        "<plist/>",
        "<plist></plist>",
        "<plist><dict/></plist>junk",
        "<plist><dict/>",
        "<plist><dict></plist>",
        "<PLIST><true/></PLIST>",
        "<plist version=\"1.0\" ><array ><string >a</string ></array></plist >",
        "<plist><key>x</key></plist>",
        "<plist><array><key>a</key></array></plist>",
        "<plist><array> <true/> </array></plist>",
        "<?xml version=1.0?><plist><true/></plist>",
        "<plist><true/><!-- c --></plist>",
        "<plist><true/></plist> <!-- c -->",
        "<plist><integer>1</integer></plist><plist><integer>2</integer></plist>",
        "<plist><array><integer>1</integer><plist/></array></plist>",
        "<plist><true/ ></plist>",
    };
    for (const std::string& xml : cases)
        EXPECT_EQ(disagreement(xml), "") << xml;
}

TEST(XmlPlistAgreementTest, WhereLibplistIsWrongWeAreRight) {
    auto read = [](const std::string& xml) { return readXmlPlist(bytesOf(xml), PlistLimits{}); };
    // Full date range, both ways.
    PlistReadResult early = read("<plist><date>0001-01-01T00:00:00Z</date></plist>");
    ASSERT_TRUE(early.ok());
    EXPECT_EQ(early.value.dateValue().timeIntervalSinceReferenceDate, -63113904000.0);
    EXPECT_EQ(formatPlistDate(-63113904000.0), "0001-01-01T00:00:00Z");
    EXPECT_EQ(formatPlistDate(252423993599.0), "9999-12-31T23:59:59Z");
    EXPECT_EQ(parsePlistDate("9999-12-31T23:59:59Z"), 252423993599.0);
    EXPECT_EQ(parsePlistDate("2024-02-29"), 730857600.0);
    EXPECT_EQ(formatPlistDate(-1.0), "2000-12-31T23:59:59Z");
    EXPECT_FALSE(formatPlistDate(0.5));
    // What is not a date is not read as one.
    for (const char* bad :
         {"garbage", "2001-13-01T00:00:00Z", "2001-02-29", "2001-01-01T24:00:00Z", "2001-1-1"})
        EXPECT_FALSE(parsePlistDate(bad)) << bad;
    EXPECT_FALSE(read("<plist><date>garbage</date></plist>").ok());
    // Unsigned integers past INT64_MAX stay unsigned; a surrogate is not a character.
    PlistReadResult big = read("<plist><integer>18446744073709551615</integer></plist>");
    EXPECT_TRUE(big.value.isUnsignedInteger());
    EXPECT_EQ(read("<plist><integer>-1</integer></plist>").value, PlistValue(-1));
    EXPECT_FALSE(read("<plist><string>&#xD800;</string></plist>").ok());
    // A byte-order mark is allowed before the declaration; libplist refuses the list.
    EXPECT_TRUE(read("\xEF\xBB\xBF<?xml version=\"1.0\"?><plist><false/></plist>").ok());
}
