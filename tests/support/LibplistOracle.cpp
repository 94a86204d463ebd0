#include "support/LibplistOracle.h"

#include <plist/plist.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

PlistValue convert(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return PlistValue(b != 0);
    }
    case PLIST_UINT: {
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return PlistValue(static_cast<std::int64_t>(u));
    }
    case PLIST_UID: {
        std::uint64_t u = 0;
        plist_get_uid_val(node, &u);
        return PlistValue(static_cast<std::int64_t>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return PlistValue(d);
    }
    case PLIST_DATE: {
        std::int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return PlistValue(NSDate{static_cast<double>(sec) + static_cast<double>(usec) / 1e6});
    }
    case PLIST_STRING: {
        std::uint64_t n = 0;
        const char* s = plist_get_string_ptr(node, &n);
        return PlistValue(std::string(s ? s : "", s ? n : 0));
    }
    case PLIST_DATA: {
        std::uint64_t n = 0;
        const char* d = plist_get_data_ptr(node, &n);
        auto bytes = reinterpret_cast<const std::uint8_t*>(d);
        return PlistValue(PlistData(bytes, bytes + (d ? n : 0)));
    }
    case PLIST_ARRAY: {
        PlistValue a = PlistValue::array();
        for (std::uint32_t i = 0; i < plist_array_get_size(node); ++i)
            a.append(convert(plist_array_get_item(node, i)));
        return a;
    }
    case PLIST_DICT: {
        PlistValue d = PlistValue::dictionary();
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            if (!item) {
                std::free(key);
                break;
            }
            d.set(key ? key : "", convert(item));
            std::free(key);
        }
        std::free(it);
        return d;
    }
    default:
        return PlistValue();
    }
}

} // namespace

std::optional<PlistValue> libplistRead(std::span<const std::uint8_t> bytes) {
    plist_t root = nullptr;
    const char* data = reinterpret_cast<const char*>(bytes.data());
    auto size = static_cast<std::uint32_t>(bytes.size());
    if (bytes.size() >= 6 && std::string(data, 6) == "bplist")
        plist_from_bin(data, size, &root);
    else
        plist_from_xml(data, size, &root);
    if (!root)
        return std::nullopt;
    PlistValue v = convert(root);
    plist_free(root);
    return v;
}
