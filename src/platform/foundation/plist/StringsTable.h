#pragma once

// Reading a localisation table (`de.lproj/Root.strings`): the strings a bundle shows in place of
// the keys its specifier plists name.
//
//     "Title" = "Titel";   /* a comment */
//     "Enabled" = "Aktiviert";
//     "Done";              // short for "Done" = "Done";
//
// A table is read as the device reads one: old-style text whose top-level dictionary has no
// braces (braces are allowed too), or an XML or binary property list holding a dictionary; UTF-8
// or UTF-16 with a byte-order mark. An empty file, or one of nothing but white space and comments,
// is an empty table. Reading is bounded by PlistLimits like every property-list read.
//
//     StringsTableReadResult r = readStringsTable(bytes);
//     if (r.ok())
//         title = r.strings.contains("Title") ? r.strings.find("Title")->second : "Title";
//
// Failures come back as NSPropertyListReadCorruptError: whatever readPropertyList refuses, a top
// level that is not a dictionary ("not a dictionary of strings"), and a value that is not a string
// ("the value of \"Key\" is not a string").

#include "platform/foundation/NSError.h"
#include "platform/foundation/plist/PropertyList.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>

using StringsTable = std::map<std::string, std::string, std::less<>>;

struct StringsTableReadResult {
    StringsTable strings;           // empty when the table could not be read
    std::shared_ptr<NSError> error; // set exactly when the table could not be read
    PlistFormat format = PlistFormat::OpenStep;
    bool ok() const { return !error; }
};

StringsTableReadResult readStringsTable(std::span<const std::uint8_t> bytes, const PlistLimits& limits = {});
