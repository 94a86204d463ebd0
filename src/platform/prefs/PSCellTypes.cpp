#include "platform/prefs/PSCellTypes.h"

#include <array>

namespace {

using V = PSValueKind;
using C = PSCellControl;

// One row a type, in columns; the formatter leaves them aligned.
// clang-format off
constexpr std::array kTable{
    //             type                  name                    value       control             a script sets        row kind
    PSCellTypeInfo{PSGroupCell,          "PSGroupCell",          V::None,    C::Group,           "",                  "group"},
    PSCellTypeInfo{PSLinkCell,           "PSLinkCell",           V::None,    C::Link,            "",                  "link"},
    PSCellTypeInfo{PSLinkListCell,       "PSLinkListCell",       V::Choice,  C::ChoiceLink,      "one of its titles", "list"},
    PSCellTypeInfo{PSListItemCell,       "PSListItemCell",       V::None,    C::Title,           "",                  "row"},
    PSCellTypeInfo{PSTitleValueCell,     "PSTitleValueCell",     V::None,    C::TitleValue,      "",                  "row"},
    PSCellTypeInfo{PSSliderCell,         "PSSliderCell",         V::Number,  C::Slider,          "a number",          "slider"},
    PSCellTypeInfo{PSSwitchCell,         "PSSwitchCell",         V::Boolean, C::Switch,          "on or off",         "switch"},
    PSCellTypeInfo{PSStaticTextCell,     "PSStaticTextCell",     V::None,    C::Title,           "",                  "row"},
    PSCellTypeInfo{PSEditTextCell,       "PSEditTextCell",       V::Text,    C::TextField,       "any text",          "text field"},
    PSCellTypeInfo{PSSegmentCell,        "PSSegmentCell",        V::Choice,  C::Segments,        "one of its titles", "segment"},
    PSCellTypeInfo{PSGiantIconCell,      "PSGiantIconCell",      V::None,    C::Title,           "",                  "row"},
    PSCellTypeInfo{PSGiantCell,          "PSGiantCell",          V::None,    C::Title,           "",                  "row"},
    PSCellTypeInfo{PSSecureEditTextCell, "PSSecureEditTextCell", V::Text,    C::SecureTextField, "any text",          "text field"},
    PSCellTypeInfo{PSButtonCell,         "PSButtonCell",         V::None,    C::Button,          "",                  "button"},
    PSCellTypeInfo{PSEditTextViewCell,   "PSEditTextViewCell",   V::Text,    C::TextField,       "any text",          "text field"},
};
// clang-format on

// The table is indexed by the type's value: each row must stand at its own.
constexpr bool inValueOrder() {
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (kTable[i].type != static_cast<PSCellType>(i))
            return false;
    return true;
}
static_assert(inValueOrder(), "the rows of the cell type table follow the values of PSCellType");

} // namespace

std::span<const PSCellTypeInfo> PSCellTypes::all() {
    return kTable;
}

const PSCellTypeInfo& PSCellTypes::of(PSCellType type) {
    const auto index = static_cast<std::int64_t>(type);
    if (index < 0 || index >= static_cast<std::int64_t>(kTable.size()))
        return kTable[PSStaticTextCell];
    return kTable[static_cast<std::size_t>(index)];
}

const PSCellTypeInfo* PSCellTypes::named(std::string_view name) {
    for (const PSCellTypeInfo& info : kTable)
        if (info.name == name)
            return &info;
    return nullptr;
}
