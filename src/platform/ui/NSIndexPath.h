#pragma once

// A row's position in a table (NSIndexPath with UIKit's section/row accessors), as a value.

#include <cstdint>

struct NSIndexPath {
    std::int64_t section = 0;
    std::int64_t row = 0;

    static NSIndexPath indexPathForRow(std::int64_t row, std::int64_t section) { return {section, row}; }
    bool operator==(const NSIndexPath&) const = default;
};
