#include "platform/foundation/plist/PlistDescription.h"

#include "platform/foundation/NSObject.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace {

std::string realText(double d) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return ec == std::errc() ? std::string(buf, end) : std::string("nan");
}

std::string dateText(NSDate date) {
    // 978307200 is 2001-01-01 in Unix time.
    double unix = date.timeIntervalSinceReferenceDate + 978307200.0;
    std::time_t t = static_cast<std::time_t>(unix);
    if (unix < 0 && static_cast<double>(t) != unix)
        --t;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S +0000", &tm);
    return buf;
}

std::string dataText(const PlistData& data) {
    std::string out = "{length = " + std::to_string(data.size()) + ", bytes = 0x";
    static const char* hex = "0123456789abcdef";
    // Long data prints its first and last bytes only, as the platform does.
    auto put = [&](std::size_t i) {
        out += hex[data[i] >> 4];
        out += hex[data[i] & 15];
    };
    if (data.size() <= 24) {
        for (std::size_t i = 0; i < data.size(); ++i)
            put(i);
    } else {
        for (std::size_t i = 0; i < 8; ++i)
            put(i);
        out += " ... ";
        for (std::size_t i = data.size() - 8; i < data.size(); ++i)
            put(i);
    }
    return out + "}";
}

bool needsQuotes(const std::string& s) {
    if (s.empty())
        return true;
    for (unsigned char c : s) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                     c == '.' || c == '$' || c == '/' || c == ':' || c == '-';
        if (!plain)
            return true;
    }
    return false;
}

std::string quoted(const std::string& s) {
    if (!needsQuotes(s))
        return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

void describe(const PlistValue& v, int indent, bool nested, std::string& out);

void describeContainerItem(const PlistValue& v, int indent, std::string& out) {
    if (v.isString())
        out += quoted(v.stringValue());
    else
        describe(v, indent, true, out);
}

// Containers are described without recursion limits of their own: every value that reaches here
// came through a reader that bounds depth, or from the pane's own small dictionaries.
void describe(const PlistValue& v, int indent, bool nested, std::string& out) {
    std::string pad(static_cast<std::size_t>(indent) * 4, ' ');
    switch (v.kind()) {
    case PlistValue::Kind::None:
        out += "(null)";
        break;
    case PlistValue::Kind::String:
        out += v.stringValue();
        break;
    case PlistValue::Kind::Integer:
        out += v.isUnsignedInteger() ? std::to_string(v.unsignedValue()) : std::to_string(v.integerValue());
        break;
    case PlistValue::Kind::Real:
        out += realText(v.doubleValue());
        break;
    case PlistValue::Kind::Boolean:
        out += v.boolValue() ? "1" : "0";
        break;
    case PlistValue::Kind::Date:
        out += dateText(v.dateValue());
        break;
    case PlistValue::Kind::Data:
        out += dataText(v.dataValue());
        break;
    case PlistValue::Kind::Object:
        out += v.objectValue()->description();
        break;
    case PlistValue::Kind::Array: {
        auto a = v.arrayValue();
        if (a->empty()) {
            out += "(\n" + pad + ")";
            break;
        }
        out += "(\n";
        for (std::size_t i = 0; i < a->size(); ++i) {
            out += pad + "    ";
            describeContainerItem((*a)[i], indent + 1, out);
            out += i + 1 < a->size() ? ",\n" : "\n";
        }
        out += pad + ")";
        break;
    }
    case PlistValue::Kind::Dictionary: {
        auto d = v.dictionaryValue();
        out += "{\n";
        for (const auto& [key, item] : *d) {
            out += pad + "    " + quoted(key) + " = ";
            describeContainerItem(item, indent + 1, out);
            out += ";\n";
        }
        out += pad + "}";
        break;
    }
    }
    (void)nested;
}

} // namespace

std::string plistDescription(const PlistValue& value) {
    std::string out;
    describe(value, 0, false, out);
    return out;
}
