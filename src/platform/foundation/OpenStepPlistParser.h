#pragma once

// The old-style text form of property lists, as extension filter files are often written:
//
//     { Filter = { Bundles = ( "com.apple.MobileSMS" ); }; }
//
// Strings quoted ("...", with \n \t \" \\ \ooo and \Uxxxx escapes) or bare (letters, digits and
// _$+/:.-), data as <hex digits>, arrays as ( a, b ) with an optional trailing comma, dictionaries
// as { key = value; }, and // and /* */ comments. Every scalar reads as a String, as the form has no
// other kinds. The parser keeps its own stack of open containers, so nesting is bounded by
// PlistLimits and never by the thread's stack.

#include "platform/foundation/PropertyList.h"

#include <cstdint>
#include <span>

PlistReadResult parseOpenStepPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits);
