#include "platform/foundation/PropertyList.h"

#include "platform/foundation/BinaryPlistCheck.h"
#include "platform/foundation/OpenStepPlistParser.h"
#include "platform/foundation/XmlPlistCheck.h"

#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

// Owns a libplist tree.
struct PlistNode {
    plist_t node = nullptr;
    PlistNode() = default;
    explicit PlistNode(plist_t n) : node(n) {}
    PlistNode(const PlistNode&) = delete;
    PlistNode& operator=(const PlistNode&) = delete;
    ~PlistNode() {
        if (node)
            plist_free(node);
    }
    plist_t release() {
        plist_t n = node;
        node = nullptr;
        return n;
    }
};

PlistFormat detectFormat(std::string_view s) {
    if (s.starts_with("bplist"))
        return PlistFormat::Binary;
    if (s.starts_with("\xEF\xBB\xBF"))
        s.remove_prefix(3);
    std::size_t first = s.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && s.substr(first).starts_with("<?xml"))
        return PlistFormat::XML;
    if (first != std::string_view::npos &&
        (s.substr(first).starts_with("<plist") || s.substr(first).starts_with("<!")))
        return PlistFormat::XML;
    return PlistFormat::OpenStep;
}

PlistValue scalarFromNode(plist_t node, bool& ok) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return PlistValue(b != 0);
    }
    case PLIST_UINT: {
        // libplist keeps every integer unsigned; negative numbers come back as two's complement.
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return PlistValue(static_cast<std::int64_t>(u));
    }
    case PLIST_UID: {
        uint64_t u = 0;
        plist_get_uid_val(node, &u);
        return PlistValue(static_cast<std::int64_t>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return PlistValue(d);
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return PlistValue(NSDate{static_cast<double>(sec) + static_cast<double>(usec) / 1e6});
    }
    case PLIST_STRING: {
        // The pointer form neither copies nor asserts on the string's length.
        uint64_t n = 0;
        const char* s = plist_get_string_ptr(node, &n);
        return PlistValue(std::string(s ? s : "", s ? n : 0));
    }
    case PLIST_DATA: {
        uint64_t n = 0;
        const char* d = plist_get_data_ptr(node, &n);
        auto bytes = reinterpret_cast<const std::uint8_t*>(d);
        return PlistValue(PlistData(bytes, bytes + (d ? n : 0)));
    }
    default:
        ok = false;
        return {};
    }
}

// Copies a libplist tree into PlistValues with an explicit work list, checking the limits again
// on the way (the pre-checks already did, this keeps the copy safe on its own).
std::optional<std::string> fromNode(plist_t rootNode, const PlistLimits& limits, PlistValue& out) {
    struct Work {
        plist_t node;
        PlistValue* slot;
        std::size_t depth;
    };
    std::vector<Work> work{{rootNode, &out, 0}};
    std::size_t values = 0;
    while (!work.empty()) {
        Work w = work.back();
        work.pop_back();
        if (++values > limits.maxValues)
            return "too many values";
        plist_type type = plist_get_node_type(w.node);
        if (type == PLIST_ARRAY) {
            if (w.depth + 1 > limits.maxDepth)
                return "nested too deeply";
            std::uint32_t n = plist_array_get_size(w.node);
            *w.slot = PlistValue::array(PlistArray(n));
            PlistArray& items = *w.slot->arrayValue();
            plist_array_iter it = nullptr;
            plist_array_new_iter(w.node, &it);
            for (std::uint32_t i = 0; i < n; ++i) {
                plist_t item = nullptr;
                plist_array_next_item(w.node, it, &item);
                if (!item)
                    break;
                work.push_back({item, &items[i], w.depth + 1});
            }
            std::free(it);
            continue;
        }
        if (type == PLIST_DICT) {
            if (w.depth + 1 > limits.maxDepth)
                return "nested too deeply";
            *w.slot = PlistValue::dictionary();
            PlistDictionary& entries = *w.slot->dictionaryValue();
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(w.node, &it);
            for (;;) {
                char* key = nullptr;
                plist_t item = nullptr;
                plist_dict_next_item(w.node, it, &key, &item);
                if (!item) {
                    std::free(key);
                    break;
                }
                ++values;
                // libplist keeps one value per key, so every entry gets a slot of its own.
                auto pos = entries.try_emplace(std::string(key ? key : "")).first;
                std::free(key);
                work.push_back({item, &pos->second, w.depth + 1});
            }
            std::free(it);
            continue;
        }
        bool ok = true;
        *w.slot = scalarFromNode(w.node, ok);
        if (!ok)
            return "value of an unknown kind";
    }
    return std::nullopt;
}

PlistReadResult readWithLibplist(std::span<const std::uint8_t> bytes, PlistFormat format,
                                 const PlistLimits& limits) {
    auto check =
        format == PlistFormat::Binary ? checkBinaryPlist(bytes, limits) : checkXmlPlist(bytes, limits);
    const char* formatName = format == PlistFormat::Binary ? "binary list: " : "XML list: ";
    if (check)
        return {PlistValue(), plistReadError(formatName + *check), format};
    PlistNode root;
    const char* data = reinterpret_cast<const char*>(bytes.data());
    auto size = static_cast<uint32_t>(bytes.size());
    if (format == PlistFormat::Binary)
        plist_from_bin(data, size, &root.node);
    else
        plist_from_xml(data, size, &root.node);
    if (!root.node)
        return {PlistValue(), plistReadError(std::string(formatName) + "malformed"), format};
    PlistValue value;
    if (auto e = fromNode(root.node, limits, value))
        return {PlistValue(), plistReadError(formatName + *e), format};
    return {value, nullptr, format};
}

// Whether XML 1.0 can carry the string: valid UTF-8 without control characters other than tab,
// line feed and carriage return.
bool xmlCanCarry(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return false;
            ++i;
            continue;
        }
        std::size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
        if (n == 0 || c > 0xF4 || i + n > s.size())
            return false;
        std::uint32_t cp = c & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (cc & 0x3F);
        }
        if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF)
            return false;
        i += n;
    }
    return true;
}

std::shared_ptr<NSError> writeError(const std::string& reason) {
    return NSError::create(NSCocoaErrorDomain, NSPropertyListWriteInvalidError,
                           "The data couldn’t be written because it isn’t in the correct format (" + reason +
                               ").");
}

// Builds the libplist tree for a value, iteratively and bounded by the depth limit, which also
// stops a container that holds itself.
std::optional<std::string> toNode(const PlistValue& rootValue, const PlistLimits& limits, PlistNode& out) {
    struct Work {
        PlistValue value;
        plist_t parent;         // null for the root
        const std::string* key; // set when the parent is a dictionary
        std::size_t depth;
    };
    std::vector<Work> work{{rootValue, nullptr, nullptr, 0}};
    std::size_t values = 0;
    while (!work.empty()) {
        Work w = std::move(work.back());
        work.pop_back();
        if (++values > limits.maxValues)
            return "too many values";
        plist_t node = nullptr;
        switch (w.value.kind()) {
        case PlistValue::Kind::None:
            return "none has no property-list form";
        case PlistValue::Kind::Object:
            return "an object of class " + w.value.objectValue()->className() + " has no property-list form";
        case PlistValue::Kind::String:
            if (!xmlCanCarry(w.value.stringValue()))
                return "a string that is not UTF-8 text";
            node = plist_new_string(w.value.stringValue().c_str());
            break;
        case PlistValue::Kind::Integer:
            node = plist_new_uint(static_cast<uint64_t>(w.value.integerValue()));
            break;
        case PlistValue::Kind::Real:
            if (!std::isfinite(w.value.doubleValue()))
                return "a real that is not finite";
            node = plist_new_real(w.value.doubleValue());
            break;
        case PlistValue::Kind::Boolean:
            node = plist_new_bool(w.value.boolValue() ? 1 : 0);
            break;
        case PlistValue::Kind::Date: {
            double t = w.value.dateValue().timeIntervalSinceReferenceDate;
            double sec = std::floor(t);
            if (!(sec >= INT32_MIN && sec <= INT32_MAX))
                return "a date out of range";
            node = plist_new_date(static_cast<int32_t>(sec), static_cast<int32_t>((t - sec) * 1e6));
            break;
        }
        case PlistValue::Kind::Data: {
            const PlistData& d = w.value.dataValue();
            node = plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
            break;
        }
        case PlistValue::Kind::Array:
            if (w.depth + 1 > limits.maxDepth)
                return "nested too deeply";
            node = plist_new_array();
            break;
        case PlistValue::Kind::Dictionary:
            if (w.depth + 1 > limits.maxDepth)
                return "nested too deeply";
            node = plist_new_dict();
            break;
        }
        if (!w.parent)
            out.node = node;
        else if (w.key)
            plist_dict_set_item(w.parent, w.key->c_str(), node);
        else
            plist_array_append_item(w.parent, node);
        // Children are pushed in reverse so that array items are appended in order.
        if (auto a = w.value.arrayValue()) {
            for (auto it = a->rbegin(); it != a->rend(); ++it)
                work.push_back({*it, node, nullptr, w.depth + 1});
        } else if (auto d = w.value.dictionaryValue()) {
            for (auto it = d->rbegin(); it != d->rend(); ++it) {
                if (!xmlCanCarry(it->first))
                    return "a key that is not UTF-8 text";
                work.push_back({it->second, node, &it->first, w.depth + 1});
            }
        }
    }
    return std::nullopt;
}

} // namespace

std::shared_ptr<NSError> plistReadError(const std::string& reason) {
    return NSError::create(NSCocoaErrorDomain, NSPropertyListReadCorruptError,
                           "The data couldn’t be read because it isn’t in the correct format (" + reason +
                               ").");
}

PlistReadResult readPropertyList(std::span<const std::uint8_t> bytes, const PlistLimits& limits) {
    if (bytes.empty())
        return {PlistValue(), plistReadError("empty"), PlistFormat::XML};
    if (bytes.size() > limits.maxBytes || bytes.size() > UINT32_MAX)
        return {PlistValue(), plistReadError("larger than the size limit"), PlistFormat::XML};
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    PlistFormat format = detectFormat(text);
    if (format == PlistFormat::OpenStep)
        return parseOpenStepPlist(bytes, limits);
    return readWithLibplist(bytes, format, limits);
}

PlistWriteResult writePropertyListXML(const PlistValue& value, const PlistLimits& limits) {
    PlistNode root;
    if (auto e = toNode(value, limits, root))
        return {{}, writeError(*e)};
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.node, &xml, &length);
    if (!xml)
        return {{}, writeError("the encoder failed")};
    std::string bytes(xml, length);
    plist_to_xml_free(xml);
    return {std::move(bytes), nullptr};
}
