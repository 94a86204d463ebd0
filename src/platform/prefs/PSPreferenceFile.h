#pragma once

// The one read-change-write of preference files, under every value store of the device: the
// framework's own (PSListController's readPreferenceValue: and setPreferenceValue:specifier:,
// typed values, "default", a notification after each write) and a pane's own (the Orbitchat
// pane's getValueForSpecifier: and setValue:forSpecifier:, description text, its log lines). The
// stores differ in what they show and say; what happens to the file is decided here.
//
//     Result<PSPreferenceFile::Entry> entry = PSPreferenceFile::entryOf(*row, PSPreferencePathRules::Strict);
//     if (entry && PSPreferenceFile::store(entry.value(), PlistValue(true)))
//         ...   // the file holds the new value and every other value it held
//
// Reads are bounded by the property-list reader's limits. A store reads the file's dictionary,
// changes the one key, and writes the whole dictionary atomically (NSDictionary::writeToFile): a
// crash leaves the old or the new file, whole, and no value the file held is lost. Stores of one
// device take turns, so two rows saved at once from two threads keep both values; a program
// outside the device writing the same file meanwhile is not held off.

#include "platform/foundation/Result.h"
#include "platform/foundation/plist/PlistValue.h"
#include "platform/prefs/PSPreferencePath.h"
#include "platform/prefs/PSSpecifier.h"

#include <string>
#include <string_view>

class PSPreferenceFile {
public:
    // Where a row's value lives: the file's device path and the key in its dictionary.
    struct Entry {
        std::string path;
        std::string key;
    };

    // The row's "key" and the file its "defaults" names under `rules`. Fails when the row has no
    // "key" or no "defaults" (or one that is not a string), or when the value names no file
    // (`the "defaults" "../x" is not allowed: ` and PSPreferencePath's reason).
    static Result<Entry> entryOf(const PSSpecifier& row, PSPreferencePathRules rules);

    // Whether a value can be stored: a property-list value, not none and not an object (an image).
    static bool isStorable(const PlistValue& value);

    // The file's dictionary, shared with other readers (change a mutableCopy): an empty one when
    // there is no file. Fails, saying why, when something is at the path that does not read as a
    // dictionary within the reader's limits: "the file cannot be read: " and the reader's reason
    // (too large, malformed and where, not a regular file, a link loop, no permission), or "the
    // file holds an array, not a dictionary" (or another kind).
    static Result<PlistValue> dictionaryAtPath(std::string_view path);

    // The value under the entry's key: none when the file or the key is not there. Fails as
    // dictionaryAtPath does.
    static Result<PlistValue> valueOf(const Entry& entry);

    // Stores `value` under the entry's key, keeping every other value of the file. Fails, with the
    // file as it was, when the value is not storable, when the file does not read as a dictionary
    // (as dictionaryAtPath says why: a file that cannot be read is never written over), or when
    // the write fails (the reason names the device path, never a host path).
    static Result<> store(const Entry& entry, const PlistValue& value);
};
