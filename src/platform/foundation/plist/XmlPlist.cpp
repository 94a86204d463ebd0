#include "platform/foundation/plist/XmlPlist.h"

#include "platform/foundation/StringHelpers.h"
#include "platform/foundation/plist/PlistEncoding.h"
#include "platform/foundation/plist/XmlPlistCheck.h"

#include <pugixml.hpp>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Comments, processing instructions (the XML declaration among them) and the document type are
// skipped, so a declaration whose values are not quoted (`<?xml version=1.0 encoding=UTF-8?>`),
// which the device's reader takes too, reads as the quoted one does. The device skips an
// element's attributes as well: those written without quotes (`<plist version=1.0>`) are blanked
// before parsing (see checkXmlPlist), and the reader never looks at attributes. The bytes are
// UTF-8 whatever the declaration says (UTF-16 text was converted before it got here). Entities are
// decoded by us, so that an unknown one is an error as it is for libplist; line ends are kept as
// they are.
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_ws_pcdata;

enum class Tag { Plist, Dict, Array, Key, String, Integer, Real, True, False, Date, Data, Unknown };

Tag tagOf(const char* name) {
    static constexpr std::pair<std::string_view, Tag> kTags[] = {
        {"dict", Tag::Dict}, {"key", Tag::Key},   {"string", Tag::String}, {"integer", Tag::Integer},
        {"real", Tag::Real}, {"true", Tag::True}, {"false", Tag::False},   {"array", Tag::Array},
        {"date", Tag::Date}, {"data", Tag::Data}, {"plist", Tag::Plist},
    };
    std::string_view n(name);
    for (const auto& [text, tag] : kTags)
        if (n == text)
            return tag;
    return Tag::Unknown;
}

bool allSpace(const char* s) {
    for (; *s; ++s)
        if (!isASCIIBlank(*s))
            return false;
    return true;
}

// Appends text with its entity and character references decoded. False for an unknown or
// unterminated reference, a reference to NUL, a surrogate or past U+10FFFF.
bool appendDecoded(std::string& out, std::string_view s) {
    std::size_t at = 0;
    while (at < s.size()) {
        std::size_t amp = s.find('&', at);
        if (amp == std::string_view::npos) {
            out.append(s.substr(at));
            return true;
        }
        out.append(s.substr(at, amp - at));
        std::size_t semi = s.find(';', amp);
        if (semi == std::string_view::npos)
            return false;
        std::string_view name = s.substr(amp + 1, semi - amp - 1);
        at = semi + 1;
        if (name == "amp")
            out += '&';
        else if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "quot")
            out += '"';
        else if (name == "apos")
            out += '\'';
        else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            std::string_view digits = name.substr(hex ? 2 : 1);
            std::uint32_t cp = 0;
            auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || cp == 0 ||
                cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
            appendUtf8(out, cp);
        } else {
            return false;
        }
    }
    return true;
}

// The text of a <string> or <key>: its character data and CDATA sections in order, comments left
// out. Nullopt when it holds an element or a bad reference.
std::optional<std::string> textOf(pugi::xml_node element) {
    pugi::xml_node only = element.first_child();
    if (!only)
        return std::string();
    if (!only.next_sibling() && only.type() == pugi::node_pcdata) {
        const char* v = only.value();
        if (!std::strchr(v, '&'))
            return std::string(v);
    }
    std::string out;
    for (pugi::xml_node part = only; part; part = part.next_sibling()) {
        if (part.type() == pugi::node_pcdata) {
            if (!appendDecoded(out, part.value()))
                return std::nullopt;
        } else if (part.type() == pugi::node_cdata) {
            out += part.value();
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// Numbers, dates and data read the raw text of their first piece of character data, as libplist
// does.
const char* rawTextOf(pugi::xml_node element) {
    pugi::xml_node first = element.first_child();
    return first && (first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata) ? first.value()
                                                                                            : "";
}

// An integer as libplist reads one: an optional sign, then strtoull with C's base prefixes;
// values past INT64_MAX without a minus sign stay unsigned.
PlistValue integerFrom(const char* s) {
    bool negative = false;
    if (*s == '-' || *s == '+') {
        negative = *s == '-';
        ++s;
    }
    std::uint64_t u = std::strtoull(s, nullptr, 0);
    if (negative)
        return PlistValue(static_cast<std::int64_t>(0 - u));
    return PlistValue::unsignedInteger(u);
}

int base64Digit(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return c == '=' ? -2 : -1;
}

// Base64 as the platform's readers take it: characters outside the alphabet are skipped, each
// group of four gives the bytes its padding allows, and a last incomplete group gives none.
PlistData dataFrom(const char* s) {
    PlistData out;
    out.reserve(std::strlen(s) / 4 * 3);
    std::array<int, 4> quad{};
    int n = 0;
    for (; *s; ++s) {
        int d = base64Digit(static_cast<unsigned char>(*s));
        if (d == -1)
            continue;
        quad[n++] = d;
        if (n < 4)
            continue;
        n = 0;
        if (quad[0] >= 0 && quad[1] >= 0)
            out.push_back(static_cast<std::uint8_t>((quad[0] << 2 | quad[1] >> 4) & 0xFF));
        if (quad[1] >= 0 && quad[2] >= 0)
            out.push_back(static_cast<std::uint8_t>((quad[1] << 4 | quad[2] >> 2) & 0xFF));
        if (quad[2] >= 0 && quad[3] >= 0)
            out.push_back(static_cast<std::uint8_t>((quad[2] << 6 | quad[3]) & 0xFF));
    }
    return out;
}

// Days from 1970-01-01 to a day of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    std::int64_t year;
    unsigned month, day;
};

Civil civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

constexpr std::int64_t kDaysFrom1970To2001 = 11323;

bool isLeap(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(std::int64_t y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// The work of the walk: a container whose children are still to be read.
struct Open {
    pugi::xml_node element;
    pugi::xml_node next; // the next child to read
    PlistValue value;
    bool isDictionary;
    std::size_t depth;
    std::optional<std::string> key; // a dictionary's key that waits for its value
};

class Reader {
public:
    Reader(const PlistLimits& limits, PlistSourceLines* lines) : limits_(limits), lines_(lines) {}

    // Reads the value of `root` and everything inside it; nullopt or the reason it failed.
    std::optional<std::string> read(pugi::xml_node root, PlistValue& out) {
        std::vector<Open> open;
        if (auto e = start(root, 0, open, out))
            return e;
        while (!open.empty()) {
            Open& o = open.back();
            pugi::xml_node child = o.next;
            if (!child) {
                // A key left without a value is dropped, as libplist drops it.
                if (o.isDictionary)
                    o.value.dictionaryValue()->settleAppended();
                open.pop_back();
                continue;
            }
            o.next = child.next_sibling();
            if (child.type() != pugi::node_element) {
                if (child.type() == pugi::node_pcdata && allSpace(child.value()))
                    continue;
                return "text inside a container";
            }
            if (o.isDictionary && !o.key) {
                if (tagOf(child.name()) != Tag::Key)
                    return "a dictionary value without a key";
                auto key = textOf(child);
                if (!key)
                    return "a key that is not text";
                o.key = std::move(*key);
                if (++values_ > limits_.maxValues)
                    return "too many values";
                continue;
            }
            PlistValue value;
            const std::size_t depth = o.depth;
            // `start` may grow `open`, so the parent is finished with first.
            PlistValue parent = o.value;
            std::optional<std::string> key;
            if (o.isDictionary) {
                key = std::move(o.key);
                o.key.reset();
            }
            if (auto e = start(child, depth + 1, open, value))
                return e;
            if (key)
                parent.dictionaryValue()->appendUnsettled(std::move(*key), std::move(value));
            else
                parent.append(std::move(value));
        }
        return std::nullopt;
    }

private:
    // Reads a scalar into `out`, or creates a container in `out` and opens it.
    std::optional<std::string> start(pugi::xml_node element, std::size_t depth, std::vector<Open>& open,
                                     PlistValue& out) {
        if (++values_ > limits_.maxValues)
            return "too many values";
        switch (tagOf(element.name())) {
        case Tag::Dict:
        case Tag::Array: {
            if (depth + 1 > limits_.maxDepth)
                return "nested too deeply";
            const bool isDictionary = tagOf(element.name()) == Tag::Dict;
            out = isDictionary ? PlistValue::dictionary() : PlistValue::array();
            if (lines_ && element.offset_debug() >= 0)
                lines_->record(out, static_cast<std::size_t>(element.offset_debug()));
            open.push_back({element, element.first_child(), out, isDictionary, depth, std::nullopt});
            return std::nullopt;
        }
        case Tag::Key: // a key outside a dictionary is a string
        case Tag::String: {
            auto text = textOf(element);
            if (!text)
                return "a string that is not text";
            expanded_ += text->size();
            if (expanded_ > limits_.maxExpandedBytes)
                return "larger than the size limit";
            out = PlistValue(std::move(*text));
            return std::nullopt;
        }
        case Tag::Integer:
            out = integerFrom(rawTextOf(element));
            return std::nullopt;
        case Tag::Real:
            out = PlistValue(std::strtod(rawTextOf(element), nullptr));
            return std::nullopt;
        case Tag::True:
            out = PlistValue(true);
            return std::nullopt;
        case Tag::False:
            out = PlistValue(false);
            return std::nullopt;
        case Tag::Date: {
            const char* text = rawTextOf(element);
            if (!*text) {
                out = PlistValue(NSDate{});
                return std::nullopt;
            }
            auto seconds = parsePlistDate(text);
            if (!seconds)
                return "a date that is not a date";
            out = PlistValue(NSDate{*seconds});
            return std::nullopt;
        }
        case Tag::Data:
            out = PlistValue(dataFrom(rawTextOf(element)));
            return std::nullopt;
        case Tag::Plist:
            return "a plist inside a value";
        case Tag::Unknown:
            break;
        }
        return std::string("unknown element <") + element.name() + ">";
    }

    const PlistLimits& limits_;
    PlistSourceLines* lines_;
    std::size_t values_ = 0;
    std::size_t expanded_ = 0;
};

// The value element of a document: the only element inside <plist>, or the document's first
// element when there is no <plist> around it.
std::optional<std::string> rootOf(const pugi::xml_document& doc, pugi::xml_node& root) {
    pugi::xml_node top;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_element) {
            top = n;
            break;
        }
        if (n.type() != pugi::node_pcdata || !allSpace(n.value()))
            return "text outside the list";
    }
    if (!top)
        return "no value";
    // Later elements are ignored, as libplist ignores them; text is not.
    for (pugi::xml_node n = top.next_sibling(); n; n = n.next_sibling())
        if (n.type() != pugi::node_element && (n.type() != pugi::node_pcdata || !allSpace(n.value())))
            return "text outside the list";
    if (tagOf(top.name()) != Tag::Plist) {
        root = top;
        return std::nullopt;
    }
    for (pugi::xml_node n = top.first_child(); n; n = n.next_sibling()) {
        if (n.type() != pugi::node_element)
            continue;
        if (root)
            return "more than one value";
        root = n;
    }
    if (!root)
        return "no value";
    return std::nullopt;
}

// MARK: Writing

// Whether XML text gives the string back exactly: UTF-8 without control characters other than
// tab and line feed (a carriage return would come back as it is, but XML readers that normalise
// line ends would not keep it), no U+FFFE or U+FFFF.
bool xmlCanCarry(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        std::optional<std::uint32_t> cp = nextCodePoint(s, i);
        if (!cp || (*cp < 0x20 && *cp != '\t' && *cp != '\n') || *cp == 0xFFFE || *cp == 0xFFFF)
            return false;
    }
    return true;
}

void appendEscaped(std::string& out, std::string_view s) {
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
}

void appendBase64(std::string& out, const PlistData& data, std::size_t depth) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    constexpr std::size_t kLine = 68;
    std::string encoded;
    encoded.reserve((data.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < data.size(); i += 3) {
        std::uint32_t group = data[i] << 16;
        if (i + 1 < data.size())
            group |= data[i + 1] << 8;
        if (i + 2 < data.size())
            group |= data[i + 2];
        encoded += kAlphabet[group >> 18 & 63];
        encoded += kAlphabet[group >> 12 & 63];
        encoded += i + 1 < data.size() ? kAlphabet[group >> 6 & 63] : '=';
        encoded += i + 2 < data.size() ? kAlphabet[group & 63] : '=';
    }
    out += "<data>\n";
    for (std::size_t at = 0; at < encoded.size(); at += kLine) {
        out.append(depth, '\t');
        out.append(encoded, at, kLine);
        out += '\n';
    }
    out.append(depth, '\t');
    out += "</data>";
}

std::string realText(double d) {
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d > 0 ? "+infinity" : "-infinity";
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, ec == std::errc() ? end : buf);
}

std::string integerText(const PlistValue& v) {
    return v.isUnsignedInteger() ? std::to_string(v.unsignedValue()) : std::to_string(v.integerValue());
}

} // namespace

std::optional<double> parsePlistDate(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && isASCIIBlank(text[at]))
        ++at;
    auto number = [&](std::size_t digits, unsigned& out) {
        if (at + digits > text.size())
            return false;
        out = 0;
        for (std::size_t i = 0; i < digits; ++i) {
            char c = text[at + i];
            if (c < '0' || c > '9')
                return false;
            out = out * 10 + static_cast<unsigned>(c - '0');
        }
        at += digits;
        return true;
    };
    auto separator = [&](char c) {
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    };
    unsigned year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    if (!number(4, year))
        return std::nullopt;
    if (separator('-')) {
        if (!number(2, month))
            return std::nullopt;
        if (separator('-')) {
            if (!number(2, day))
                return std::nullopt;
            if (separator('T')) {
                if (!number(2, hour) || !separator(':') || !number(2, minute))
                    return std::nullopt;
                if (separator(':') && !number(2, second))
                    return std::nullopt;
            }
        }
    }
    separator('Z');
    while (at < text.size() && isASCIIBlank(text[at]))
        ++at;
    if (at != text.size() || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const std::int64_t days = daysFromCivil(year, month, day) - kDaysFrom1970To2001;
    return static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second);
}

std::optional<std::string> formatPlistDate(double seconds) {
    // Years 0000 and 9999 end at these offsets from 2001.
    constexpr double kFirst = -63145526400.0, kLast = 252423993599.0;
    if (!(seconds >= kFirst && seconds <= kLast) || std::floor(seconds) != seconds)
        return std::nullopt;
    auto total = static_cast<std::int64_t>(seconds);
    std::int64_t days = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
    std::int64_t rest = total - days * 86400;
    Civil c = civilFromDays(days + kDaysFrom1970To2001);
    const auto clock = static_cast<unsigned>(rest);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02uZ", static_cast<unsigned>(c.year), c.month,
                  c.day, clock / 3600 % 24, clock / 60 % 60, clock % 60);
    return std::string(buf);
}

PlistReadResult readXmlPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits,
                             PlistSourceLines* lines) {
    auto fail = [lines](const std::string& why) {
        if (lines)
            lines->clear();
        return PlistReadResult{PlistValue(), plistReadError("XML list: " + why), PlistFormat::XML};
    };
    std::vector<XmlAttributeSpan> unquoted;
    if (auto check = checkXmlPlist(bytes, limits, &unquoted))
        return fail(*check);
    // pugixml drops text after the last element without a word; the list is refused for it.
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::size_t last = text.rfind('>');
    if (last != std::string_view::npos &&
        text.find_first_not_of(" \t\r\n", last + 1) != std::string_view::npos)
        return fail("text outside the list");
    // Spaces in place of attributes the parser would refuse keep every offset (the source lines
    // of containers) where it was.
    std::string blanked;
    if (!unquoted.empty()) {
        blanked.assign(text);
        for (const auto& [from, to] : unquoted)
            blanked.replace(from, to - from, to - from, ' ');
    }
    const void* parsedBytes = blanked.empty() ? static_cast<const void*>(bytes.data()) : blanked.data();
    pugi::xml_document doc;
    pugi::xml_parse_result parsed =
        doc.load_buffer(parsedBytes, bytes.size(), kParseOptions, pugi::encoding_utf8);
    if (!parsed)
        return fail(std::string("malformed (") + parsed.description() + ")");
    pugi::xml_node root;
    if (auto e = rootOf(doc, root))
        return fail(*e);
    PlistValue value;
    if (auto e = Reader(limits, lines).read(root, value))
        return fail(*e);
    if (lines)
        lines->resolve(text);
    return {std::move(value), nullptr, PlistFormat::XML};
}

std::optional<std::string> writeXmlPlist(const PlistValue& rootValue, const PlistLimits& limits,
                                         std::string& out) {
    out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
          "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
          "<plist version=\"1.0\">\n";
    // A closing tag is queued as an item of its own, after the children of its container.
    struct Item {
        PlistValue value;
        const std::string* key; // written before the value when set
        std::size_t depth;
        const char* closing; // set for the closing tag of a container
    };
    std::vector<Item> work{{rootValue, nullptr, 0, nullptr}};
    std::size_t values = 0;
    while (!work.empty()) {
        Item item = std::move(work.back());
        work.pop_back();
        if (item.closing) {
            out.append(item.depth, '\t');
            out += item.closing;
            out += '\n';
            continue;
        }
        if (++values > limits.maxValues)
            return "too many values";
        if (item.key) {
            if (!xmlCanCarry(*item.key))
                return "a key that is not XML text";
            out.append(item.depth, '\t');
            out += "<key>";
            appendEscaped(out, *item.key);
            out += "</key>\n";
        }
        out.append(item.depth, '\t');
        const PlistValue& v = item.value;
        switch (v.kind()) {
        case PlistValue::Kind::None:
            return "none has no property-list form";
        case PlistValue::Kind::Object:
            return "an object of class " + v.objectValue()->className() + " has no property-list form";
        case PlistValue::Kind::String:
            if (!xmlCanCarry(v.stringValue()))
                return "a string that is not XML text";
            out += "<string>";
            appendEscaped(out, v.stringValue());
            out += "</string>";
            break;
        case PlistValue::Kind::Integer:
            out += "<integer>" + integerText(v) + "</integer>";
            break;
        case PlistValue::Kind::Real:
            out += "<real>" + realText(v.doubleValue()) + "</real>";
            break;
        case PlistValue::Kind::Boolean:
            out += v.boolValue() ? "<true/>" : "<false/>";
            break;
        case PlistValue::Kind::Date: {
            auto text = formatPlistDate(v.dateValue().timeIntervalSinceReferenceDate);
            if (!text)
                return "a date that XML cannot hold";
            out += "<date>" + *text + "</date>";
            break;
        }
        case PlistValue::Kind::Data:
            appendBase64(out, v.dataValue(), item.depth);
            break;
        case PlistValue::Kind::Array:
        case PlistValue::Kind::Dictionary: {
            const bool isArray = v.isArray();
            if (item.depth + 1 > limits.maxDepth)
                return "nested too deeply";
            if (v.count() == 0) {
                out += isArray ? "<array/>" : "<dict/>";
                break;
            }
            out += isArray ? "<array>\n" : "<dict>\n";
            work.push_back({PlistValue(), nullptr, item.depth, isArray ? "</array>" : "</dict>"});
            // Children go on in reverse, so that they come off in order.
            if (isArray) {
                auto a = v.arrayValue();
                for (auto it = a->rbegin(); it != a->rend(); ++it)
                    work.push_back({*it, nullptr, item.depth + 1, nullptr});
            } else {
                auto d = v.dictionaryValue();
                for (auto it = d->rbegin(); it != d->rend(); ++it)
                    work.push_back({it->second, &it->first, item.depth + 1, nullptr});
            }
            continue;
        }
        }
        out += '\n';
    }
    out += "</plist>\n";
    return std::nullopt;
}
