#include "platform/prefs/PSTableCell.h"

#include "platform/prefs/PSCellTypes.h"

PSCellType PSTableCell::cellTypeFromString(std::string_view name) {
    const PSCellTypeInfo* info = PSCellTypes::named(name);
    return info ? info->type : PSStaticTextCell;
}

bool PSTableCell::isKnownCellType(std::string_view name) {
    return PSCellTypes::named(name) != nullptr;
}

std::string PSTableCell::stringFromCellType(PSCellType type) {
    return std::string(PSCellTypes::of(type).name);
}
