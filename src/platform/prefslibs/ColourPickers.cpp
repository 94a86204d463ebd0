#include "platform/prefslibs/ColourPickers.h"

#include "platform/prefs/PSCellClass.h"
#include "platform/prefslibs/ColourCellClass.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

namespace {

// Every class name of the colour-picker libraries, with the library that answers for it.
// PFLiteColorCell is libcolorpicker's other name for its cell; HBColorPickerCell is a bundle's own
// cell that reads and saves as libcolorpicker does, common enough to stand in for.
constexpr std::array<std::pair<std::string_view, ColourLibrary>, 5> kClasses{{
    {"HBColorPickerTableCell", ColourLibrary::HBPicker},
    {"HBColorPickerCell", ColourLibrary::HBColorPicker},
    {"PFSimpleLiteColorCell", ColourLibrary::Libcolorpicker},
    {"PFLiteColorCell", ColourLibrary::Libcolorpicker},
    {"SparkColourPickerCell", ColourLibrary::Spark},
}};

} // namespace

void ColourPickers::install() {
    for (const auto& [name, library] : kClasses)
        PSCellClasses::registerClass(std::string(name), std::make_shared<ColourCellClass>(library));
}

bool ColourPickers::hasClass(std::string_view name) {
    return std::any_of(kClasses.begin(), kClasses.end(),
                       [&](const auto& entry) { return entry.first == name; });
}
