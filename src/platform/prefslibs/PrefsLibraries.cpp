#include "platform/prefslibs/PrefsLibraries.h"

#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefslibs/ApplicationLists.h"
#include "platform/prefslibs/ColourPickers.h"
#include "platform/prefslibs/HBFramework.h"

void PrefsLibraries::install() {
    HBFramework::install();
    ColourPickers::install();
    ApplicationLists::install();
}

bool PrefsLibraries::isLibraryClass(std::string_view name) {
    return HBFramework::hasClass(name) || ColourPickers::hasClass(name) || ApplicationLists::hasClass(name);
}
