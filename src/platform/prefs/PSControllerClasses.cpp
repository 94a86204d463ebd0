#include "platform/prefs/PSControllerClasses.h"

#include "platform/foundation/DeviceEnvironment.h"

#include "platform/prefs/PSListController.h"
#include "platform/prefs/PSListItemsController.h"
#include "platform/prefs/PSPreferenceBundles.h"

#include <algorithm>
#include <array>
#include <map>
#include <mutex>

namespace {

// The framework's own list controllers, which every device has (made afresh for each device).
std::map<std::string, PSControllerClasses::Factory, std::less<>> stockControllers() {
    return {
        {"PSListController", [] { return PSListController::create(); }},
        {"PSListItemsController", [] { return PSListItemsController::create(); }},
    };
}

// The classes the current device environment's device has: the framework's own, and whatever its
// host registered.
struct ControllerClasses : DeviceEnvironment::Part {
    using Table = std::map<std::string, PSControllerClasses::Factory, std::less<>>;
    std::mutex mutex;
    Table table = stockControllers();
    Table bundles;
};

ControllerClasses& classes() {
    return DeviceEnvironment::current().part<ControllerClasses>();
}

// A controller made by the factory registered under `name` in one of the device's tables, or null
// when there is none. The factory runs unlocked: it may itself ask the tables.
std::shared_ptr<PSListController> instantiateFrom(ControllerClasses::Table ControllerClasses::*table,
                                                  std::string_view name) {
    ControllerClasses& device = classes();
    PSControllerClasses::Factory factory;
    {
        std::lock_guard lock(device.mutex);
        auto it = (device.*table).find(name);
        if (it == (device.*table).end())
            return nullptr;
        factory = it->second;
    }
    return factory();
}

constexpr std::array<std::string_view, 9> kStockCells{
    "PSTableCell",         "PSSwitchTableCell",   "PSSliderTableCell",
    "PSSegmentTableCell",  "PSEditableTableCell", "PSControlTableCell",
    "PSTextViewTableCell", "PSSegmentableSlider", "PSSubtitleDisclosureTableViewCell",
};

constexpr std::array<std::string_view, 2> kFrameworkShells{"PSSetupController", "PSViewController"};

} // namespace

void PSControllerClasses::registerClass(std::string name, Factory factory) {
    ControllerClasses& device = classes();
    std::lock_guard lock(device.mutex);
    device.table[std::move(name)] = std::move(factory);
}

bool PSControllerClasses::hasClass(std::string_view name) {
    ControllerClasses& device = classes();
    std::lock_guard lock(device.mutex);
    return device.table.find(name) != device.table.end();
}

std::shared_ptr<PSListController> PSControllerClasses::instantiate(std::string_view name) {
    return instantiateFrom(&ControllerClasses::table, name);
}

void PSControllerClasses::registerBundleClass(std::string bundleName, Factory factory) {
    ControllerClasses& device = classes();
    std::lock_guard lock(device.mutex);
    device.bundles[std::move(bundleName)] = std::move(factory);
}

std::shared_ptr<PSListController> PSControllerClasses::instantiateBundle(std::string_view bundleName) {
    return instantiateFrom(&ControllerClasses::bundles, bundleName);
}

bool PSControllerClasses::isStockCellClass(std::string_view name) {
    for (auto stock : kStockCells)
        if (stock == name)
            return true;
    return false;
}

bool PSControllerClasses::isStockControllerClass(std::string_view name) {
    return stockControllers().contains(name);
}

bool PSControllerClasses::isFrameworkShellClass(std::string_view name) {
    return std::find(kFrameworkShells.begin(), kFrameworkShells.end(), name) != kFrameworkShells.end();
}

std::shared_ptr<PSListController>
PSControllerClasses::controllerForBundle(const std::shared_ptr<NSBundle>& bundle, std::string* missing) {
    if (!bundle)
        return nullptr;
    std::string needed = missingForBundle(*bundle);
    if (!needed.empty()) {
        if (missing)
            *missing = needed;
        return nullptr;
    }
    if (auto controller = instantiate(bundle->principalClassName())) {
        controller->setBundle(bundle);
        return controller;
    }
    return PSListController::createWithPlist(bundle, "Root");
}

std::string PSControllerClasses::missingForBundle(const NSBundle& bundle) {
    std::string principal = bundle.principalClassName();
    if ((!principal.empty() && hasClass(principal)) || bundle.pathForResource("Root", "plist"))
        return {};
    return principal.empty() ? "NSPrincipalClass" : principal;
}

std::string PSControllerClasses::missingForBundleNamed(const std::string& name) {
    {
        ControllerClasses& device = classes();
        std::lock_guard lock(device.mutex);
        if (device.bundles.find(name) != device.bundles.end())
            return {};
    }
    auto bundle = deviceBundleNamed(name);
    return bundle ? missingForBundle(*bundle) : (name.ends_with(".bundle") ? name : name + ".bundle");
}

std::shared_ptr<NSBundle> PSControllerClasses::deviceBundleNamed(const std::string& name) {
    // One plain name, which stays in the folders (a name with a NUL is found nowhere).
    if (!DeviceFolder::isEntryName(name))
        return nullptr;
    std::string file = name.ends_with(".bundle") ? name : name + ".bundle";
    for (std::string_view folder : PSPreferenceBundles::kFolders)
        if (auto bundle = NSBundle::bundleWithPath(std::string(folder) + "/" + file))
            return bundle;
    return nullptr;
}
