#pragma once

// What the HB framework's list controllers (HBListController, HBRootListController,
// HBAboutListController) add to the pages of the bundles that subclass them, applied here as a
// list convention to every list one of whose rows names a class of the framework:
//
// - rows whose "pl_filter" {CoreFoundationVersion = (min) or (min, max)} leaves the device's
//   version outside [min, max) are dropped;
// - "subtitle" and "singularLabel" are translated through the page's strings table, as labels are;
// - the controllers' actions work: hb_respring and hb_respringAndReturn (kill backboardd on the
//   device), hb_openURL: (the row's "url"), hb_openPackage: (its "packageIdentifier" in a package
//   manager), hb_sendSupportEmail and hb_sendSupportEmail: (the device has no mail account, so the
//   framework's alert says so);
// - a package the page shows (a package header, a package cell) is looked up in the device's
//   package database once for the whole page, and the row keeps what was found (packageInfo).
//
// The framework's own cells run these actions from their taps; a row of another class gets a
// class that runs them in front of its own.

#include "platform/prefs/PSListController.h"
#include "platform/prefslibs/PackageDatabase.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class HBActions {
public:
    // Adds the convention to the current device environment's cell classes.
    static void install();

    // Runs the row's action when it is one of the framework's (after the row's "confirmation"
    // sheet, when it has one); answers whether it was.
    static bool perform(PSListController& list, const std::shared_ptr<PSSpecifier>& row);
    static bool isFrameworkAction(std::string_view action);

    // Kills backboardd on the device, as the framework's respring does.
    static void respring();
    // Opens a URL through the device; a text that is not a URL opens nothing.
    static void openURL(const std::string& url);
    // The "Open in…" sheet: one button per installed package manager, then Cancel; a
    // `repository` is named in its message and passed to the managers that take one.
    static void openPackage(PSListController& list, const std::string& identifier,
                            const std::string& repository);
    // The URL that opens the package in the manager of `scheme` (cydia, sileo or zbra).
    static std::string packageURL(std::string_view scheme, const std::string& identifier,
                                  const std::string& repository);

    // The package the page's lookup found for the row, or nothing (no lookup ran, no database, or
    // the package is not installed).
    static std::optional<PackageRecord> packageInfo(const PSSpecifier& row);

private:
    static void confirmThenRun(PSListController& list, const std::shared_ptr<PSSpecifier>& row);
    static void run(PSListController& list, const std::shared_ptr<PSSpecifier>& row);
};
