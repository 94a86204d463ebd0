#pragma once

// JSON into property-list values (NSJSONSerialization). Objects become dictionaries, arrays
// arrays, strings strings, integers that fit in 64 bits integers, other numbers reals, true and
// false booleans, and null the NSNull object.
//
//     std::shared_ptr<NSError> error;
//     PlistValue items = NSJSONSerialization::JSONObjectWithData(body, 0, &error);
//     if (!items) ...   // malformed, over a bound, or a bare value without AllowFragments
//
// Anything that is not JSON, or is not UTF-8, answers no value and an error in NSCocoaErrorDomain
// (code 3840), as on the platform. So does a document over the reader's bounds, which hold
// without recursion whatever the input: its size, its nesting depth and its number of values.
// Memory is bounded by those too: the reader never builds more than `maximumValues` values.

#include "platform/foundation/NSError.h"
#include "platform/foundation/plist/PlistValue.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>

enum NSJSONReadingOptions : std::uint64_t {
    NSJSONReadingMutableContainers = 1 << 0,
    NSJSONReadingMutableLeaves = 1 << 1,
    NSJSONReadingFragmentsAllowed = 1 << 2,
};

class NSJSONSerialization {
public:
    struct Limits {
        std::size_t maximumBytes = 64u << 20;
        std::size_t maximumDepth = 512;
        std::size_t maximumValues = 4u << 20;
        // Elements of a top-level array that the value keeps. Those past it are still read (the
        // text must be JSON within the other bounds) but build nothing and count for no value;
        // `elementsLeftOut` says how many there were. A reader of a list that shows only so many
        // entries bounds what a long one costs with it.
        std::size_t maximumTopLevelElements = std::numeric_limits<std::size_t>::max();
    };

    // JSONObjectWithData:options:error:. Without NSJSONReadingFragmentsAllowed the top level must
    // be an array or an object. Containers are always mutable here; the mutability options change
    // nothing.
    static PlistValue JSONObjectWithData(std::string_view data, std::uint64_t options,
                                         std::shared_ptr<NSError>* error);
    static PlistValue JSONObjectWithData(const PlistData& data, std::uint64_t options,
                                         std::shared_ptr<NSError>* error);
    static PlistValue JSONObjectWithData(std::string_view data, std::uint64_t options,
                                         std::shared_ptr<NSError>* error, const Limits& limits,
                                         std::size_t* elementsLeftOut = nullptr);
};
