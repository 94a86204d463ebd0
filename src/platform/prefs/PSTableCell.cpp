#include "platform/prefs/PSTableCell.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<std::string_view, PSCellType>, 15> kCellTypes{{
    {"PSGroupCell", PSGroupCell},
    {"PSLinkCell", PSLinkCell},
    {"PSLinkListCell", PSLinkListCell},
    {"PSListItemCell", PSListItemCell},
    {"PSTitleValueCell", PSTitleValueCell},
    {"PSSliderCell", PSSliderCell},
    {"PSSwitchCell", PSSwitchCell},
    {"PSStaticTextCell", PSStaticTextCell},
    {"PSEditTextCell", PSEditTextCell},
    {"PSSegmentCell", PSSegmentCell},
    {"PSGiantIconCell", PSGiantIconCell},
    {"PSGiantCell", PSGiantCell},
    {"PSSecureEditTextCell", PSSecureEditTextCell},
    {"PSButtonCell", PSButtonCell},
    {"PSEditTextViewCell", PSEditTextViewCell},
}};

} // namespace

PSCellType PSTableCell::cellTypeFromString(std::string_view name) {
    for (const auto& [text, type] : kCellTypes) {
        if (text == name)
            return type;
    }
    return PSStaticTextCell;
}

bool PSTableCell::isKnownCellType(std::string_view name) {
    for (const auto& entry : kCellTypes) {
        if (entry.first == name)
            return true;
    }
    return false;
}

std::string PSTableCell::stringFromCellType(PSCellType type) {
    for (const auto& [text, value] : kCellTypes) {
        if (value == type)
            return std::string(text);
    }
    return "PSStaticTextCell";
}
