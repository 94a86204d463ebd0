#pragma once

// Reads a binary property list ("bplist00") into a PlistValue tree, keeping every value the format
// can hold: unsigned integers above INT64_MAX, dates anywhere on the double's range with their
// fractions, ASCII strings with any byte, reals with their sign of zero and NaN.
//
// The list first passes checkBinaryPlist (trailer, offsets, references, cycles, nesting, value
// count and expanded bytes, shared objects counted per use) and is refused with its reason. The
// tree is then built with an explicit work stack, never by recursion, and the limits are counted
// again on the way, so the build is safe on its own. A shared object becomes an independent copy at
// each place it is used: mutating one use never shows through another.
//
//     PlistReadResult r = readBinaryPlist(bytes, PlistLimits{});
//     if (r.ok())
//         use(r.value);
//
// What each kind becomes:
// - booleans: Boolean. Null and fill objects are refused (the check refuses them).
// - integers of 1, 2 and 4 bytes: unsigned; of 8 bytes: signed 64-bit; of 16 bytes: an unsigned
//   integer when the high half is zero, the low half when it is all ones and the low half is
//   negative as a signed number (the 16-byte form of a negative value), otherwise refused as out
//   of range.
// - reals of 4 and 8 bytes: Real, NaN and infinities kept.
// - dates: Date, the stored double as it is.
// - data: Data. ASCII strings: the bytes as they are, even those at or above 0x80. UTF-16 strings:
//   UTF-8, with U+FFFD for each unpaired surrogate. Strings and keys may hold U+0000, which the
//   format allows and other readers keep: it stays in the string, which does not end there.
// - UIDs of 1 to 8 bytes: Integer (unsigned).
// - arrays, and sets if the check ever lets them through: Array, in order.
// - dictionaries: Dictionary; keys must be strings; of a repeated key the last entry wins.
//
// Failures come back as NSPropertyListReadCorruptError ("binary list: <reason>"), with the format
// set to PlistFormat::Binary either way: larger than limits.maxBytes, anything the check refuses,
// and a 16-byte integer out of range.

#include "platform/foundation/plist/PropertyList.h"

#include <cstdint>
#include <span>

PlistReadResult readBinaryPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits);
