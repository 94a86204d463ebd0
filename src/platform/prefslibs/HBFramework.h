#pragma once

// The HB tweak-preference framework's stand-ins: its cells (HBLinkTableCell.h,
// HBStepperTableCell.h, HBSpinnerTableCell.h, HBImageTableCell.h, HBPackageNameHeaderCell.h), its
// choice page (HBListItemsController.h) and what its list controllers add to the pages that use
// them (HBActions.h).
//
//     HBFramework::install();   // once per device environment

#include <string_view>

class HBFramework {
public:
    // Registers the library's classes with the current device environment.
    static void install();
    // Whether the library has a class of this name.
    static bool hasClass(std::string_view name);
};
