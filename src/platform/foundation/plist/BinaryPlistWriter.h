#pragma once

// Encodes a PlistValue tree as a binary property list ("bplist00") that readBinaryPlist reads back
// to an equal tree under the same limits: every integer (unsigned ones above INT64_MAX too), every
// real (NaN, infinities and -0.0 too), dates as the exact double, strings byte for byte.
//
//     std::string bytes;
//     if (auto reason = writeBinaryPlist(dictionary, PlistLimits{}, bytes))
//         NSLog("not saved: %s", reason->c_str());
//
// How values are encoded:
// - integers: 1, 2 or 4 bytes for non-negative values that fit, 8 bytes (signed) for negative
//   values and values up to INT64_MAX, 16 bytes for unsigned values above INT64_MAX.
// - reals and dates: 8-byte doubles.
// - strings: ASCII as ASCII; other valid UTF-8 as UTF-16; bytes that are not valid UTF-8 as an
//   ASCII string holding those bytes unchanged, which the reader hands back as they were.
// - dictionaries: keys in the order of the map. Equal strings (keys included) and booleans are
//   stored once.
// - references and offsets take the smallest of 1, 2, 4 or 8 bytes that holds them.
// The tree is walked with an explicit stack, never by recursion.
//
// Answers nullopt and fills `out` with the list, or answers why the value cannot be written and
// leaves `out` empty:
// - none or an Object anywhere in the tree (neither has a property-list form);
// - containers nested deeper than limits.maxDepth, which also stops a container holding itself;
// - more than limits.maxValues values and keys, each use of a shared container counted;
// - a date that is not finite;
// - more than limits.maxExpandedBytes once read back, or a list larger than limits.maxBytes.
// The last keeps the promise that what is written reads back under the same limits.

#include "platform/foundation/plist/PropertyList.h"

#include <optional>
#include <string>

[[nodiscard]] std::optional<std::string> writeBinaryPlist(const PlistValue& value, const PlistLimits& limits,
                                                          std::string& out);
