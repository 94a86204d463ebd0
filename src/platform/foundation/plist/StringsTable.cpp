#include "platform/foundation/plist/StringsTable.h"

StringsTableReadResult readStringsTable(std::span<const std::uint8_t> bytes, const PlistLimits& limits) {
    PlistReadOptions options;
    options.blankIsEmptyDictionary = true;
    PlistReadResult read = readPropertyList(bytes, limits, options);
    StringsTableReadResult result;
    result.format = read.format;
    if (!read.ok()) {
        result.error = read.error;
        return result;
    }
    auto entries = read.value.dictionaryValue();
    if (!entries) {
        result.error = plistReadError("not a dictionary of strings");
        return result;
    }
    for (const auto& [key, value] : *entries) {
        if (!value.isString()) {
            result.error = plistReadError("the value of \"" + key + "\" is not a string");
            result.strings.clear();
            return result;
        }
        result.strings.emplace(key, value.stringValue());
    }
    return result;
}
