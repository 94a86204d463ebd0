#pragma once

// The three colour-picker libraries that tweak bundles name in their plists: the HB framework's
// picker (HBColorPickerTableCell), the original libcolorpicker (PFSimpleLiteColorCell, also
// PFLiteColorCell) and libsparkcolourpicker (SparkColourPickerCell), plus HBColorPickerCell, a
// bundle's own cell common enough that the device stands in for it as libcolorpicker. Each row
// class is a ColourCellClass; see there for what each library reads, writes and draws.
//
//     ColourPickers::install();   // rows naming these classes now draw and store as on a phone

#include <string_view>

class ColourPickers {
public:
    // Registers the library's classes with the current device environment.
    static void install();
    // Whether the library has a class of this name.
    static bool hasClass(std::string_view name);
};
