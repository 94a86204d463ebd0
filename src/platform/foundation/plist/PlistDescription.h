#pragma once

// The description text of property-list values, as "%@" prints them. Pure functions, apart from
// the values they describe.

#include "platform/foundation/plist/PlistValue.h"

#include <string>

// A string itself; an integer in decimal; a real in the shortest decimal that reads back the same
// ("0.5", "3", "1e+20"); a boolean "1" or "0"; none "(null)"; a date "2001-01-01 00:00:00 +0000";
// data "{length = 3, bytes = 0x010203}"; arrays and dictionaries in the old-style property-list
// layout with four-space indentation, strings quoted where that form needs quotes.
std::string plistDescription(const PlistValue& value);
