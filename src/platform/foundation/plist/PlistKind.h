#pragma once

// Small questions about the kind of property-list value a reader was handed, answered the same
// way wherever a message or a default depends on it.
//
//     "the file holds " + plistKindName(read.value) + ", not a dictionary"
//     std::string type = plistStringOr(descriptor.get("sectionType"), "Visible");

#include <string>

class PlistValue;

// How a message names the value's kind, with its article: "a string", "a number" (integers and
// reals alike), "a boolean", "a date", "data", "an array", "a dictionary"; "a value" for none and
// for an object that is no property-list value.
std::string plistKindName(const PlistValue& value);

// The value's text when it is a string, otherwise `fallback`: a key that may be absent, or hold
// something else, read with its default.
std::string plistStringOr(const PlistValue& value, std::string fallback);
