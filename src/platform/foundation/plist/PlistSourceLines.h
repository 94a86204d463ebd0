#pragma once

// Where the arrays and dictionaries of a property list read from text begin: the line of each
// container's opening bracket or tag, found by the container itself. A tool that checks a list
// (a specifier plist's rows) names lines with it; readPropertyList fills it when it is handed one.
//
//     PlistSourceLines lines;
//     PlistReadResult r = readPropertyList(bytes, {}, &lines);
//     for (const PlistValue& row : *r.value.get("items").arrayValue())
//         std::cout << lines.lineOf(row) << "\n";   // 0 for a binary list
//
// Containers are told apart by identity (arrays and dictionaries are shared, not copied, when a
// PlistValue is copied), so a line is found only for a container of the tree that was read, and
// only while that tree is alive. Lines count from 1; "\n", "\r\n" and a lone "\r" each end one.
// Memory grows with the number of containers, which PlistLimits bounds, and never with the length
// of the text.

#include "platform/foundation/plist/PlistValue.h"

#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class PlistSourceLines {
public:
    // The 1-based line where the array or dictionary `container` opens; 0 when it is not a
    // container of the text that was read (a scalar, a binary list, another tree).
    std::size_t lineOf(const PlistValue& container) const;

    // For the readers: `container` opens at byte `offset` of the text being read.
    void record(const PlistValue& container, std::size_t offset);
    // For the readers: turns the recorded offsets into lines of `text` (one pass over it).
    void resolve(std::string_view text);
    // For the readers: forgets everything (a read that failed, or a binary list).
    void clear();

private:
    static const void* identity(const PlistValue& container);

    std::vector<std::pair<std::size_t, const void*>> pending_; // offsets not yet turned into lines
    std::unordered_map<const void*, std::size_t> lines_;
};
