#pragma once

// The body of a form request: each key/value pair of a dictionary as "key=value", both
// percent-escaped (everything but unreserved characters, so "&" and "=" inside a key or value
// cannot split it), joined with "&" in key order. An empty dictionary gives the empty string.
//
//     NSStringFromQueryParameters(PlistValue::dictionary({{"q", "a b"}}));   // "q=a%20b"

#include "platform/foundation/plist/PlistValue.h"

#include <string>

// Values print as "%@" prints them; a value that is not a dictionary gives "".
std::string NSStringFromQueryParameters(const PlistValue& parameters);
