#pragma once

// What a row's control shows for a stored value, and what it stores for the user's input: one
// conversion that the cells' touches and the simulator's scripts share, so both store the same.
//
// Stored values come from files anybody may have written and from getters that answer text (a
// getter may answer "1" for a switch that is on, "56" for a slider), so reading them is lenient,
// as the framework's cells are (boolValue, floatValue); what a control stores is exact:
//
//   switch      true or false; with "negate" set the switch shows and stores the opposite
//   slider      a real between "min" and "max" (numbers, or numeric text as old-style lists
//               write them; 0 and 1 when absent); with "isSegmented" it snaps to one of
//               "segmentCount" equal steps
//   segment,    the entry of "validValues" at the index of the chosen title of "validTitles"
//   link list
//   text field  the text
//
//     PlistValue stored = PSControlValue::fromSwitch(*row, toggle.isOn());
//     std::string shown = PSControlValue::shownText(*row, list.valueForSpecifier(row));

#include "platform/prefs/PSSpecifier.h"

#include <optional>
#include <string>
#include <vector>

class PSControlValue {
public:
    // Reading a stored or specified value leniently.
    static bool boolFromValue(const PlistValue& value);
    static std::optional<double> doubleFromValue(const PlistValue& value);

    static bool switchIsOn(const PSSpecifier& row, const PlistValue& stored);
    static PlistValue fromSwitch(const PSSpecifier& row, bool on);

    static double sliderMinimum(const PSSpecifier& row);
    static double sliderMaximum(const PSSpecifier& row);
    // The slider's position for a stored value (the minimum when it holds no number).
    static double sliderPosition(const PSSpecifier& row, const PlistValue& stored);
    // What the slider stores for a position: clamped into its range, snapped when segmented.
    static PlistValue fromSlider(const PSSpecifier& row, double position);

    // The titles a choice row offers ("validTitles", as text).
    static std::vector<std::string> choiceTitles(const PSSpecifier& row);
    // The index of the choice whose value is the stored one (a stored text matches a value of
    // another kind by its description: "1" is the choice 1), or none.
    static std::optional<std::size_t> choiceIndex(const PSSpecifier& row, const PlistValue& stored);
    // The value stored for the choice at `index`, or none when "validValues" has no such entry.
    static PlistValue fromChoice(const PSSpecifier& row, std::size_t index);

    // What the row's cell shows of the value, as text: its library class's text when it has one
    // (PSCellClass::shownText), else by the control of its type (PSCellTypes):
    // "on" or "off" for a switch, the number of a slider, the chosen title of a segment or link
    // list (its short title when it has one), the text of a field or a title-value row, a text a
    // getter answers for a plain row. None for rows that show no value.
    static std::optional<std::string> shownText(const PSSpecifier& row, const PlistValue& stored);

    // A number as the cells show it: the shortest text that reads back the same ("0.5", "56").
    static std::string numberText(double value);
};
