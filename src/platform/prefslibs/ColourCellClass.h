#pragma once

// The colour rows of the colour-picker libraries, one class per library, told apart by
// ColourLibrary. Each library reads and writes its own colour strings (ColourStrings), keeps the
// value in its own place, draws its own swatch (ColourSwatchView) and saves from its colour page
// (ColourPickerController) at its own moment:
//
// | library        | row keys                        | stored by           | saved        |
// |----------------|---------------------------------|---------------------|--------------|
// | HBPicker       | defaults, key, default          | the stock setter    | on Done      |
// | HBColorPicker  | defaults, key, default          | the stock setter    | on close     |
// | Libcolorpicker | libcolorpicker = {defaults...}  | the cell, in a file | on close     |
// | Spark          | key, libsparkcolourpicker = {…} | the cell, in a file | every change |
//
// HBPicker is HBColorPickerTableCell; HBColorPicker is a bundle's own HBColorPickerCell, which
// reads like libcolorpicker and saves its format; Libcolorpicker is PFSimpleLiteColorCell;
// Spark is SparkColourPickerCell. A cell that writes its file writes the whole dictionary through
// PSPreferenceFile (other keys are kept, nothing leaves the preferences folder) and then posts its
// notification.
//
//     PSCellClasses::registerClass("PFSimpleLiteColorCell",
//                                  std::make_shared<ColourCellClass>(ColourLibrary::Libcolorpicker));

#include "platform/prefs/PSCellClass.h"
#include "platform/ui/UIColor.h"

#include <optional>
#include <string>

enum class ColourLibrary { HBPicker, HBColorPicker, Libcolorpicker, Spark };

class ColourCellClass : public PSCellClass {
public:
    explicit ColourCellClass(ColourLibrary library) : library_(library) {}

    ColourLibrary library() const { return library_; }

    // Where a row keeps its colour, as its library reads the row's keys.
    struct Storage {
        std::string defaults;
        std::string key;
        // Shown while nothing (or nothing readable) is stored: "default" or "fallback".
        PlistValue fallback;
        bool alpha = false;
        // Posted after the cell writes its file; empty: none.
        std::string notification;
    };
    Storage storageOf(const PSSpecifier& row) const;
    // Whether the library writes the file itself rather than through the stock setter.
    bool writesFile() const;

    // The colour a row shows for `value` (what its getter answered). The HB picker shows what it
    // reads, else 60% grey. The others show the value as the library reads it, else the fallback;
    // with neither readable, libcolorpicker shows a random colour when both are empty (on a
    // seeded device, one fixed by the seed and the row) and black otherwise, and
    // libsparkcolourpicker shows black.
    UIColor colourOf(const PSSpecifier& row, const PlistValue& value) const;
    // A colour as the library writes it.
    std::string valueText(const UIColor& colour) const;

    void prepareSpecifier(PSSpecifier& row, PSListController& list) const override;
    std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& list,
                                                      const std::shared_ptr<PSSpecifier>& row,
                                                      const PlistValue& value) const override;
    bool tap(PSListController& list, const std::shared_ptr<PSSpecifier>& row) const override;
    std::optional<PlistValue> read(PSListController& list,
                                   const std::shared_ptr<PSSpecifier>& row) const override;
    bool store(PSListController& list, const PlistValue& value,
               const std::shared_ptr<PSSpecifier>& row) const override;
    std::optional<Result<PlistValue>> valueFromText(const PSSpecifier& row,
                                                    const std::string& text) const override;
    std::optional<std::string> shownText(const PSSpecifier& row, const PlistValue& stored) const override;
    std::string_view scriptInput() const override { return "#RRGGBB or #RRGGBBAA"; }

    // What the HB picker shows for a value it cannot read.
    static UIColor unreadableHBColour() { return UIColor::colorWithWhite(0.6, 1); }

private:
    ColourLibrary library_;
};
