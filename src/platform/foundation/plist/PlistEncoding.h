#pragma once

// Pieces that the property-list readers and writers share: UTF-8 in and out, the binary format's
// fixed sizes and big-endian numbers, and the budget of values and expanded bytes that every
// reader and writer counts against PlistLimits.

#include "platform/foundation/plist/PropertyList.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void appendUtf8(std::string& out, std::uint32_t cp);

// Decodes the UTF-8 sequence at s[i]: the code point, or nothing when the bytes are not strict
// UTF-8 (truncated, overlong, a surrogate, past U+10FFFF). Advances `i` past it.
std::optional<std::uint32_t> nextCodePoint(std::string_view s, std::size_t& i);

// Whether the bytes start with a UTF-16 byte-order mark (FF FE little-endian, FE FF big-endian),
// as strings tables are often saved.
bool hasUtf16ByteOrderMark(std::span<const std::uint8_t> bytes);

// Text that starts with a UTF-16 byte-order mark, as UTF-8 without the mark: nullopt and the text
// in `out`, or why the bytes are not UTF-16 ("UTF-16 text of odd length", "UTF-16 text with an
// unpaired surrogate"). The UTF-8 form is at most 3/2 of the input's size.
std::optional<std::string> utf16ToUtf8(std::span<const std::uint8_t> bytes, std::string& out);

// The binary form ("bplist00"): header and trailer sizes, and what one value costs besides its
// payload when expanded bytes are counted (a node is allocated for each copy, so even a list of
// empty strings must not expand without bound).
inline constexpr std::size_t kBinaryPlistHeaderSize = 8;
inline constexpr std::size_t kBinaryPlistTrailerSize = 32;
inline constexpr std::uint64_t kPlistNodeCost = 32;

inline std::uint64_t readBigEndian(const std::uint8_t* p, std::size_t n) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Values and expanded bytes counted against the limits, each use of a shared value counted.
class PlistBudget {
public:
    explicit PlistBudget(const PlistLimits& limits) : limits_(limits) {}
    // Counts one value with `payload` bytes; nullopt, or the limit it passed.
    std::optional<std::string> count(std::uint64_t payload) {
        if (++values_ > limits_.maxValues)
            return "too many values";
        expanded_ += kPlistNodeCost + payload;
        if (expanded_ > limits_.maxExpandedBytes)
            return "expands past the size limit";
        return std::nullopt;
    }

private:
    const PlistLimits& limits_;
    std::size_t values_ = 0;
    std::uint64_t expanded_ = 0;
};
