#pragma once

// The Preferences framework's row cell (PSTableCell): its cell types and the mapping from a type's
// name in a specifier plist ("PSSwitchCell") to the type. What each type is and does is one row
// of the table in PSCellTypes.h; a new enumerator here needs its row there.

#include <cstdint>
#include <string>
#include <string_view>

enum PSCellType : std::int64_t {
    PSGroupCell = 0,
    PSLinkCell = 1,
    PSLinkListCell = 2,
    PSListItemCell = 3,
    PSTitleValueCell = 4,
    PSSliderCell = 5,
    PSSwitchCell = 6,
    PSStaticTextCell = 7,
    PSEditTextCell = 8,
    PSSegmentCell = 9,
    PSGiantIconCell = 10,
    PSGiantCell = 11,
    PSSecureEditTextCell = 12,
    PSButtonCell = 13,
    PSEditTextViewCell = 14,
};

class PSTableCell {
public:
    // cellTypeFromString:. A name the framework does not know gives a static text cell, which
    // shows its title and edits nothing, so a misspelt type never breaks the list's sections.
    static PSCellType cellTypeFromString(std::string_view name);
    // Whether the framework knows the name ("PSSwitchCell"); an unknown one shows as static text.
    static bool isKnownCellType(std::string_view name);
    // The type's name ("PSSwitchCell"); "PSStaticTextCell" for values outside the enumeration.
    static std::string stringFromCellType(PSCellType type);
};
