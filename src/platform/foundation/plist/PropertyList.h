#pragma once

// Reading and writing property lists: the three standard forms in; XML out, or binary where XML
// would lose a value. This is what the
// platform's dictionary reading (`initWithContentsOfFile:`) and writing (`writeToFile:atomically:`)
// stand on.
//
// Property lists come from files that anybody on the device may have written, so reading never
// trusts them: before a byte reaches the parser the input is checked against PlistLimits (size,
// container nesting, number of values with shared references counted as often as they are used,
// expanded bytes), without recursion, and anything past a limit reads as unreadable. Failures come
// back as values, never as exceptions.
//
//     PlistReadResult r = readPropertyList(bytes);
//     if (r.ok() && r.value.isDictionary())
//         use(r.value.get("enabled"));

#include "platform/foundation/NSError.h"
#include "platform/foundation/plist/PlistValue.h"

class PlistSourceLines;

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct PlistLimits {
    std::size_t maxBytes = 16u << 20;         // the whole encoded list
    std::size_t maxDepth = 256;               // arrays and dictionaries nested inside each other
    std::size_t maxValues = 250000;           // values and keys, every use of a shared object counted
    std::size_t maxExpandedBytes = 64u << 20; // strings and data after shared objects are copied out
};

enum class PlistFormat { XML, Binary, OpenStep };

struct PlistReadResult {
    PlistValue value;               // none when the list could not be read
    std::shared_ptr<NSError> error; // set exactly when `value` is none
    PlistFormat format = PlistFormat::XML;
    bool ok() const { return !error; }
};

struct PlistWriteResult {
    std::string bytes; // the encoded list when `error` is null
    std::shared_ptr<NSError> error;
    bool ok() const { return !error; }
};

// What a reader may do besides reading the value.
struct PlistReadOptions {
    // Filled with the line where each array and dictionary begins (text forms only; see
    // PlistSourceLines.h). Cleared when the read fails or the list is binary.
    PlistSourceLines* lines = nullptr;
    // Empty input, or text of nothing but white space and comments, reads as an empty dictionary,
    // as a strings table does; otherwise it is unreadable ("empty", "expected a value").
    bool blankIsEmptyDictionary = false;
};

// Reads XML ("<?xml ...><plist>"), binary ("bplist00") or old-style text ("{ a = 1; }", or a
// dictionary without its braces as strings tables are written) input, telling them apart by their
// first bytes. Text may be UTF-8 (a byte-order mark is skipped) or UTF-16 with a byte-order mark,
// either endianness; UTF-16 that is not (odd length, an unpaired surrogate) is unreadable.
// Integers read as Integer (UIDs too), reals as Real, booleans as Boolean, dates as Date;
// old-style text has only strings, data, arrays and dictionaries. A list over a limit (the size
// limit counts the bytes given), malformed, or truncated gives an NSPropertyListReadCorruptError.
PlistReadResult readPropertyList(std::span<const std::uint8_t> bytes, const PlistLimits& limits = {});
PlistReadResult readPropertyList(std::span<const std::uint8_t> bytes, const PlistLimits& limits,
                                 const PlistReadOptions& options);

// Encodes a value as an XML property list. Refuses (NSPropertyListWriteInvalidError) none and
// Object values anywhere in the tree, strings and keys that XML text cannot give back exactly
// (bytes that are not UTF-8, control characters other than tab and line feed), dates that are not
// whole seconds of years 0000...9999, and trees nested deeper than the read limit (a list we would
// refuse to read back is not written). Integers keep their sign (unsigned ones above INT64_MAX
// too); reals are written in the shortest form that reads back to the same double, NaN and the
// infinities as "nan", "+infinity" and "-infinity".
PlistWriteResult writePropertyListXML(const PlistValue& value, const PlistLimits& limits = {});

// What a preference file is written as: XML when XML holds every value exactly, otherwise the
// binary form, which holds any value the readers accept. Refuses only what neither form can hold
// (none, Object values, nesting past the limits, a date that is not finite).
PlistWriteResult writePropertyList(const PlistValue& value, const PlistLimits& limits = {});

// The error that every unreadable list reports; `reason` says what was wrong.
std::shared_ptr<NSError> plistReadError(const std::string& reason);
