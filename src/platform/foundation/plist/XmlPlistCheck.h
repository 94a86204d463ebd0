#pragma once

// The safety check that an XML property list passes before the parser sees it. The parser
// recurses once per nested element (a list a million levels deep parses, then crashes when it is
// freed), so the tags are scanned first, without recursion: comments, CDATA sections and
// processing instructions are skipped as XML skips them, container nesting and the number of
// value elements are counted, and document type declarations with an internal subset (the only
// place entities could be declared) or any other markup declaration are refused.

#include "platform/foundation/plist/PropertyList.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Nullopt when the list is safe to parse; otherwise what is wrong with it.
std::optional<std::string> checkXmlPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits);
