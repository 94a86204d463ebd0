#pragma once

// Stand-ins for the preference libraries that tweaks install beside the Preferences framework and
// name in their plists: the most used tweak-preference framework's cells and list controllers
// (HBFramework.h), the three colour-picker libraries (ColourPickers.h) and the two
// application-list libraries (ApplicationLists.h). A phone that runs a tweak has the libraries it
// depends on, so the simulated device has them all.
//
// `install` registers every class with the current device environment (PSCellClasses,
// PSControllerClasses); a device made later needs it again.
//
//     PrefsLibraries::install();
//     auto list = PSListController::createWithPlist(bundle, "Root");   // HBLinkTableCell rows work

#include <string_view>

class PrefsLibraries {
public:
    static void install();
    // Whether a class name belongs to one of these libraries (registered or not: lint asks before a
    // device exists).
    static bool isLibraryClass(std::string_view name);
};
