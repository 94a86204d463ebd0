#pragma once

// The one table of the framework's cell types. A row of it says, for one type: its name in a
// specifier plist ("PSSwitchCell"), the kind of value the row holds, the control its cell shows,
// what a script's `set` takes for it, and how messages (lint's, a script's) name such a row.
// Everything that behaves by cell type asks here instead of naming types: the control values
// (PSControlValue), the cells (PSTableCellViews), the list's taps and pages (PSListController),
// the simulator's Settings app and dump, and lint.
//
//     const PSCellTypeInfo& info = PSCellTypes::of(row.cellType());
//     if (info.value == PSValueKind::Boolean) ...        // a switch, whatever its type is called
//     if (const PSCellTypeInfo* named = PSCellTypes::named("PSSliderCell")) ...
//
// Adding a cell type is its enumerator in PSTableCell.h and one row of the table; a type with a
// control the table does not have yet also needs that control's view in PSTableCellViews.

#include "platform/prefs/PSTableCell.h"

#include <span>
#include <string_view>

// What a row holds and a control or script stores: what lint checks a "default" against, and
// what a script's `set` reads its text as.
enum class PSValueKind {
    None,    // the row holds no value a user sets (a group, a button, a link, a text)
    Boolean, // a switch: true or false
    Number,  // a slider: a real
    Text,    // a text field: a string
    Choice,  // a segment or a link list: an entry of "validValues"
};

// What a row's cell shows (PSTableCellViews) and how it shows a value as text (PSControlValue).
enum class PSCellControl {
    Group,           // no row: the header and footer of a section
    Title,           // the title; a getter's text shows at the right
    Switch,          // a switch as the accessory
    Slider,          // a slider across the row
    Segments,        // a segmented control across the row
    TextField,       // a text field beside the title
    SecureTextField, // the same, showing a dot for each character
    Button,          // a tinted title that runs the row's action
    Link,            // a chevron: the row opens the page its "detail" names
    ChoiceLink,      // a chevron and the current choice: the row opens its choice page
    TitleValue,      // the value in grey
};

struct PSCellTypeInfo {
    PSCellType type;
    std::string_view name; // as a specifier plist names the type
    PSValueKind value;
    PSCellControl control;
    // What a script's `set` takes, in its messages ("on or off"); empty when it sets nothing.
    std::string_view scriptInput;
    // The kind of row in messages: "switch" ("the switch \"Enabled\" takes on or off").
    std::string_view rowKind;

    // Whether a tap opens a page (pushed on the navigation stack).
    bool opensPage() const { return control == PSCellControl::Link || control == PSCellControl::ChoiceLink; }
};

class PSCellTypes {
public:
    // Every type, in the order of their values.
    static std::span<const PSCellTypeInfo> all();
    // The type's row; a value outside the enumeration gets PSStaticTextCell's, as it shows.
    static const PSCellTypeInfo& of(PSCellType type);
    // The row of the type with this name (matched exactly), or null for a name the framework does
    // not know.
    static const PSCellTypeInfo* named(std::string_view name);
};
