#pragma once

// The controller classes this device can make by name, as the runtime finds a class named in a
// bundle's Info.plist (NSPrincipalClass) or in a row's "detail": the framework's own list
// controllers, and the classes the host compiles in (the simulator registers the panes it has).
// A bundle's code is not loaded; a class that is not registered is code the device does not have.
// The registry is the current device environment's: a class one simulated device registered is
// gone with it.
//
//     PSControllerClasses::registerClass("MyListController", [] { return MyListController::create(); });
//     std::string missing;
//     auto root = PSControllerClasses::controllerForBundle(bundle, &missing);

#include "platform/foundation/NSBundle.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class PSListController;

class PSControllerClasses {
public:
    using Factory = std::function<std::shared_ptr<PSListController>()>;

    static void registerClass(std::string name, Factory factory);
    static bool hasClass(std::string_view name);
    // A new controller of the class, or null when the device does not have it.
    static std::shared_ptr<PSListController> instantiate(std::string_view name);

    // A library's stand-in for the device bundle NAME that rows open by "bundle" (as AppList's):
    // such a row opens a controller of the factory, with the row as its specifier.
    static void registerBundleClass(std::string bundleName, Factory factory);
    // A new controller of the bundle's stand-in, or null when none is registered.
    static std::shared_ptr<PSListController> instantiateBundle(std::string_view bundleName);

    // Whether a "cellClass" names one of the framework's own cell classes.
    static bool isStockCellClass(std::string_view name);
    // Whether the name is one of the framework's own list controllers, which every device has
    // registered before its host adds any (PSListController, PSListItemsController).
    static bool isStockControllerClass(std::string_view name);
    // Whether the name is a controller of the framework that shows nothing of its own
    // (PSViewController, PSSetupController): what a row naming it opens is filled by the bundle's
    // own code, so the device shows the page that names it, as for a class of the bundle's own.
    static bool isFrameworkShellClass(std::string_view name);

    // The controller that opens a bundle as the device would: an instance of its principal class
    // when the device has that class, otherwise the framework's list of its "Root" plist; null
    // when neither exists, with the class the bundle needs in `missing`.
    static std::shared_ptr<PSListController> controllerForBundle(const std::shared_ptr<NSBundle>& bundle,
                                                                 std::string* missing);

    // What keeps a bundle from opening, without opening it: empty when controllerForBundle would
    // give a controller, otherwise the class it needs.
    static std::string missingForBundle(const NSBundle& bundle);
    // The same for the device's bundle NAME (deviceBundleNamed): "NAME.bundle" when there is none.
    static std::string missingForBundleNamed(const std::string& name);

    // The device's preference bundle NAME.bundle in /Library/PreferenceBundles, or under /var/jb
    // on a rootless device; null when neither holds it. The name may not leave that folder.
    static std::shared_ptr<NSBundle> deviceBundleNamed(const std::string& name);
};
