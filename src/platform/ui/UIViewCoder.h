#pragma once

// A keyed archive of a view (the platform's NSCoder, as initWithCoder: reads it): a property-list
// dictionary, usually read from a file, whose keys name what the view is built with. Views made
// from it (UIView::createWithCoder and the classes that offer the same) take the archived values
// and run the same commonInit as views made from a frame.
//
//     Result<UIViewCoder> coder = UIViewCoder::coderWithContentsOfFile("/Library/Orbitchat/area.plist");
//     if (!coder)
//         return Failure{coder.failure().reason};
//     auto area = OCConfettiArea::createWithCoder(coder.value());
//
// The keys of a view archive, all optional:
//
//     frame                   array of 4 numbers: x, y, width, height, in points
//     alpha                   number from 0 to 1 (beyond it, clamped as setAlpha does)
//     hidden, opaque, clipsToBounds, userInteractionEnabled
//                             booleans
//     tag                     integer
//     autoresizingMask        integer, the UIViewAutoresizing bits
//     backgroundColor, tintColor
//                             array of 4 numbers from 0 to 1: red, green, blue, alpha
//
// A key that is missing, holds a value of the wrong kind, or a number that is not finite reads
// as none, and the view keeps its default for it; a file that is not a property list with a
// dictionary at its top is a failure of coderWithContentsOfFile, never a view built on guesses.

#include "platform/foundation/Result.h"
#include "platform/foundation/plist/PlistValue.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/ui/UIColor.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

class UIViewCoder {
public:
    // The archive in the property list at a device path. Fails when the file is missing or
    // unreadable, is not a property list within the readers' limits, or its top is not a
    // dictionary.
    static Result<UIViewCoder> coderWithContentsOfFile(std::string_view devicePath);
    // The archive in a dictionary. Fails when `archive` is not a dictionary.
    static Result<UIViewCoder> coderWithDictionary(PlistValue archive);

    bool containsValueForKey(std::string_view key) const;
    // Each answers none for a missing key, a value of another kind or a number that is not finite.
    // A number is an integer or a real (not a boolean); an integer is read only from an integer.
    std::optional<double> decodeDoubleForKey(std::string_view key) const;
    std::optional<bool> decodeBoolForKey(std::string_view key) const;
    std::optional<std::int64_t> decodeIntegerForKey(std::string_view key) const;
    std::optional<CGRect> decodeRectForKey(std::string_view key) const;
    // A colour's components must each lie from 0 to 1.
    std::optional<UIColor> decodeColorForKey(std::string_view key) const;

    const PlistValue& dictionary() const { return archive_; }

private:
    explicit UIViewCoder(PlistValue archive) : archive_(std::move(archive)) {}
    // `count` finite numbers from the array under `key`, or none.
    std::optional<std::vector<double>> numbersForKey(std::string_view key, std::size_t count) const;

    PlistValue archive_;
};
