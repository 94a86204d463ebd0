#pragma once

// Key-value setting, the small part the system uses: `setValue:forKey:` finds the object's setter
// for the key ("progress" -> "setProgress:") through its selector table and calls it with the
// boxed value. Classes take part by answering the setter selector.
//
//     if (indicator->respondsToSelector("setProgress:"))
//         NSKeyValueSetValue(*indicator, PlistValue(double(0.5f)), "progress");

#include "platform/foundation/NSObject.h"

#include <string>
#include <string_view>

// "progress" -> "setProgress:".
std::string NSKeyValueSetterSelector(std::string_view key);
// Calls the key's setter with `value`; returns false (and changes nothing) when the object has no
// such setter, where the platform would raise an undefined-key exception.
bool NSKeyValueSetValue(NSObject& object, const PlistValue& value, std::string_view key);
