#pragma once

// How the HB framework's classes read a row's properties: text only when it is text, flags with
// the framework's own defaults.

#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSSpecifier.h"

#include <string>
#include <string_view>

namespace hb {

inline std::string stringProperty(const PSSpecifier& row, std::string_view key) {
    PlistValue v = row.propertyForKey(key);
    return v.isString() ? v.stringValue() : std::string();
}

inline bool flagProperty(const PSSpecifier& row, std::string_view key, bool fallback = false) {
    PlistValue v = row.propertyForKey(key);
    return v.isNone() ? fallback : PSControlValue::boolFromValue(v);
}

} // namespace hb
