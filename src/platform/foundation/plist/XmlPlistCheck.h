#pragma once

// The safety check that an XML property list passes before the parser sees it. The parser
// recurses once per nested element (a list a million levels deep parses, then crashes when it is
// freed), so the tags are scanned first, without recursion: comments, CDATA sections and
// processing instructions are skipped as XML skips them, container nesting and the number of
// value elements are counted, and document type declarations with an internal subset (the only
// place entities could be declared) or any other markup declaration are refused.
//
// The scan also finds the start tags whose attributes are written without quotes
// (`<plist version=1.0>`). The device's reader skips an element's attributes, so such a list is
// read there; the XML parser would refuse it. Their spans are handed back so that the reader can
// blank them (keeping every byte offset) before it parses. Only attributes of the form NAME=VALUE,
// quoted or not, count: anything else in a tag is left for the parser to refuse.

#include "platform/foundation/plist/PropertyList.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

// The span [first, second) of a start tag's attributes, in bytes from the start of the list.
using XmlAttributeSpan = std::pair<std::size_t, std::size_t>;

// Nullopt when the list is safe to parse; otherwise what is wrong with it. With `unquoted`, adds
// the attribute spans of start tags that have a value without quotes, in order.
std::optional<std::string> checkXmlPlist(std::span<const std::uint8_t> bytes, const PlistLimits& limits,
                                         std::vector<XmlAttributeSpan>* unquoted = nullptr);
