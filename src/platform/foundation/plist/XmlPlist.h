#pragma once

// XML property lists ("<?xml ...><plist>"), read and written by us rather than by libplist, whose
// reader is slow on large dictionaries and whose writer cannot hold every value its own reader
// hands out (unsigned 64-bit integers, dates outside 1933...2069).
//
// The reader runs after checkXmlPlist (no internal DTD subset, nesting and value count within the
// limits) and parses with pugixml, which builds its tree without recursion; the tree is then
// walked with an explicit stack. It reads what libplist reads, with three differences where
// libplist is wrong: dates that are not dates are refused instead of becoming arbitrary ones,
// character references to surrogates are refused instead of becoming invalid UTF-8, and dates
// keep their full range.
//
// The writer produces the platform's layout (tab indentation, the Apple DOCTYPE) and refuses, with
// the reason, any value that XML text cannot give back exactly; PropertyList.h decides what to do
// then.

#include "platform/foundation/plist/PlistSourceLines.h"
#include "platform/foundation/plist/PropertyList.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// With `lines`, records where each array and dictionary begins.
PlistReadResult readXmlPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits,
                             PlistSourceLines* lines = nullptr);

// Nullopt and the list in `out`, or why the value cannot be written as XML.
std::optional<std::string> writeXmlPlist(const PlistValue& value, const PlistLimits& limits,
                                         std::string& out);

// "2001-01-01T00:00:00Z" and its shorter forms (year, month, day, hour and minute alone) to
// seconds since 2001-01-01; nullopt for anything else.
std::optional<double> parsePlistDate(std::string_view text);

// The XML text of a date, when it is a whole second in years 0000...9999.
std::optional<std::string> formatPlistDate(double secondsSince2001);
