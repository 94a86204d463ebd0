#pragma once

// The safety check that a binary property list ("bplist00") passes before the parser sees it.
// The parser trusts the offset table and copies a shared object once for every reference to it,
// so a few hundred bytes can expand to gigabytes, and a long reference chain or a cycle exhausts
// its stack. This check walks the object graph without recursion and answers whether the list is
// well formed and within the limits: trailer and offset table inside the data, every object of a
// known kind with its payload inside the object area, every reference in range, dictionary keys
// strings, no cycles, and nesting, value count and expanded bytes (each shared object counted as
// often as it is referenced) under the limits.

#include "platform/foundation/plist/PropertyList.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Nullopt when the list is safe to parse; otherwise what is wrong with it.
std::optional<std::string> checkBinaryPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits);
