#pragma once

// The old-style text form of property lists, as extension filter files are often written:
//
//     { Filter = { Bundles = ( "com.apple.MobileSMS" ); }; }
//
// A list whose top level is a string followed by '=' is a dictionary written without its braces,
// as strings tables are (`"Title" = "Titel"; "Done";`); there, and only there, `"key";` stands for
// `"key" = "key";`. Every entry ends with ';', the last one too.
//
// Strings quoted ("...", with \n \t \" \\ \ooo and \Uxxxx escapes) or bare (letters, digits and
// _$+/:.-), data as <hex digits>, arrays as ( a, b ) with an optional trailing comma, dictionaries
// as { key = value; }, and // and /* */ comments. Every scalar reads as a String, as the form has no
// other kinds. The parser keeps its own stack of open containers, so nesting is bounded by
// PlistLimits and never by the thread's stack.

#include "platform/foundation/plist/PlistSourceLines.h"
#include "platform/foundation/plist/PropertyList.h"

#include <cstdint>
#include <span>

// Reads UTF-8 text (a UTF-8 byte-order mark is skipped). With `lines`, records where each array and
// dictionary begins.
PlistReadResult parseOpenStepPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits,
                                   PlistSourceLines* lines = nullptr);

// Whether UTF-8 text holds nothing but white space and comments (an unterminated comment is not
// nothing), as an empty strings table does.
bool isBlankOpenStepText(std::span<const std::uint8_t> bytes);
