#include "platform/prefslibs/ApplicationLists.h"

#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefslibs/ATLApplicationListMultiSelectionController.h"
#include "platform/prefslibs/ATLApplicationListSelectionController.h"
#include "platform/prefslibs/ATLApplicationListSubcontrollerController.h"
#include "platform/prefslibs/ATLApplicationSelectionCell.h"
#include "platform/prefslibs/AppListSettingsController.h"

#include <array>

namespace {

// Every class name of the two libraries that a plist may name: AltList's controllers (one also
// under the name bundles give it from the older library), its cell, the AppList bundle, and the
// cell classes AppList's section descriptors name.
constexpr std::array<std::string_view, 9> kClassNames{
    "ATLApplicationListMultiSelectionController",
    "ATLApplicationListSelectionController",
    "ATLApplicationListSubcontrollerController",
    "ALApplicationListSubcontrollerController",
    "ATLApplicationSelectionCell",
    "AppList",
    "ALSwitchCell",
    "ALCheckCell",
    "ALDisclosureIndicatedCell",
};

} // namespace

void ApplicationLists::install() {
    PSControllerClasses::registerClass("ATLApplicationListMultiSelectionController",
                                       [] { return ATLApplicationListMultiSelectionController::create(); });
    PSControllerClasses::registerClass("ATLApplicationListSelectionController",
                                       [] { return ATLApplicationListSelectionController::create(); });
    for (const char* name :
         {"ATLApplicationListSubcontrollerController", "ALApplicationListSubcontrollerController"})
        PSControllerClasses::registerClass(
            name, [] { return ATLApplicationListSubcontrollerController::create(); });
    PSCellClasses::registerClass("ATLApplicationSelectionCell",
                                 std::make_shared<ATLApplicationSelectionCell>());
    PSControllerClasses::registerBundleClass("AppList", [] { return AppListSettingsController::create(); });
}

bool ApplicationLists::hasClass(std::string_view name) {
    for (auto known : kClassNames)
        if (known == name)
            return true;
    return false;
}
