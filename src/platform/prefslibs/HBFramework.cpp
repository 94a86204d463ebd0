#include "platform/prefslibs/HBFramework.h"

#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefslibs/HBActions.h"
#include "platform/prefslibs/HBImageTableCell.h"
#include "platform/prefslibs/HBLinkTableCell.h"
#include "platform/prefslibs/HBListItemsController.h"
#include "platform/prefslibs/HBPackageNameHeaderCell.h"
#include "platform/prefslibs/HBSpinnerTableCell.h"
#include "platform/prefslibs/HBStepperTableCell.h"

#include <algorithm>
#include <iterator>

namespace {

// Every class of the framework a plist may name, the list controllers that bundles subclass among
// them: a row naming one is the framework's, registered here or not.
constexpr std::string_view kClassNames[] = {
    "HBAboutListController", "HBImageTableCell",        "HBLinkTableCell",    "HBListController",
    "HBListItemsController", "HBPackageNameHeaderCell", "HBPackageTableCell", "HBRootListController",
    "HBSpinnerTableCell",    "HBStepperTableCell",      "HBTintedTableCell",  "HBTwitterCell",
};

} // namespace

void HBFramework::install() {
    PSCellClasses::registerClass("HBTintedTableCell", std::make_shared<HBTintedTableCell>());
    PSCellClasses::registerClass("HBLinkTableCell", std::make_shared<HBLinkTableCell>());
    PSCellClasses::registerClass("HBTwitterCell", std::make_shared<HBTwitterCell>());
    PSCellClasses::registerClass("HBPackageTableCell", std::make_shared<HBPackageTableCell>());
    PSCellClasses::registerClass("HBStepperTableCell", std::make_shared<HBStepperTableCell>());
    PSCellClasses::registerClass("HBSpinnerTableCell", std::make_shared<HBSpinnerTableCell>());
    PSCellClasses::registerClass("HBImageTableCell", std::make_shared<HBImageTableCell>());
    PSCellClasses::registerClass("HBPackageNameHeaderCell", std::make_shared<HBPackageNameHeaderCell>());
    PSControllerClasses::registerClass("HBListItemsController",
                                       [] { return HBListItemsController::create(); });
    HBActions::install();
}

bool HBFramework::hasClass(std::string_view name) {
    return std::find(std::begin(kClassNames), std::end(kClassNames), name) != std::end(kClassNames);
}
