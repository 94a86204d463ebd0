#include "platform/foundation/PropertyList.h"

#include "platform/foundation/BinaryPlistCheck.h"
#include "platform/foundation/OpenStepPlistParser.h"
#include "platform/foundation/XmlPlist.h"

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
    auto check = checkBinaryPlist(bytes, limits);
    const char* formatName = "binary list: ";
    if (check)
        return {PlistValue(), plistReadError(formatName + *check), format};
    PlistNode root;
    const char* data = reinterpret_cast<const char*>(bytes.data());
    auto size = static_cast<uint32_t>(bytes.size());
    plist_from_bin(data, size, &root.node);
    if (!root.node)
        return {PlistValue(), plistReadError(std::string(formatName) + "malformed"), format};
    PlistValue value;
    if (auto e = fromNode(root.node, limits, value))
        return {PlistValue(), plistReadError(formatName + *e), format};
    return {value, nullptr, format};
}

std::shared_ptr<NSError> writeError(const std::string& reason) {
    return NSError::create(NSCocoaErrorDomain, NSPropertyListWriteInvalidError,
                           "The data couldn’t be written because it isn’t in the correct format (" + reason +
                               ").");
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
    if (format == PlistFormat::XML)
        return readXmlPlist(bytes, limits);
    return readWithLibplist(bytes, format, limits);
}

PlistWriteResult writePropertyListXML(const PlistValue& value, const PlistLimits& limits) {
    PlistWriteResult result;
    if (auto e = writeXmlPlist(value, limits, result.bytes)) {
        result.bytes.clear();
        result.error = writeError(*e);
    }
    return result;
}
