#pragma once

// The Orbitchat settings pane (OrbitchatPreferencesController), the principal class of the
// preference bundle. The Settings app creates it with `create()` (init), loads its view and asks
// for its rows; it drives it on the main thread for as long as the pane is open.
//
// - Rows: the bundle's specifier plist "OrbitchatPreferences", plus one App row (the messaging
//   app's name and icon) per installed extension whose app is installed, right after the first row.
// - Values: the plist's value rows name getValueForSpecifier: and setValue:forSpecifier:, which
//   read and write the row's Preference file (its "defaults" value) anew on every call.
// - Discovery (loadDylibs): the extensions in "/Library/MobileSubstrate/DynamicLibraries".
// - Actions: respring after confirmation, confetti burst, the extension catalogue, the support
//   alert and three pages.
//
// Every row calls back by selector (selectorTable), as the Preferences framework does.

#include "confetti/OCConfettiArea.h"
#include "confetti/OCConfettiAreaDelegate.h"
#include "pane/OrbitchatEndpoints.h"
#include "platform/prefs/PSListController.h"

#include <memory>
#include <string>

class OrbitchatPreferencesController : public PSListController, public OCConfettiAreaDelegate {
public:
    // init
    static std::shared_ptr<OrbitchatPreferencesController> create();

    std::string className() const override { return "OrbitchatPreferencesController"; }
    const SelectorTable* selectorTable() const override;

    // The pages and support address every controller of the current device environment uses
    // from now on (the placeholders until a host sets them).
    static void setEndpoints(OrbitchatEndpoints endpoints);
    static OrbitchatEndpoints endpoints();

    // View and rows.
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    std::shared_ptr<const PSSpecifierList> specifiers() override;

    // Actions. Senders are ignored.
    void confirmRespring(const std::shared_ptr<NSObject>& sender);
    void respring();
    void burst();
    void viewExtensions(const std::shared_ptr<NSObject>& sender);
    void support(const std::shared_ptr<NSObject>& sender);
    void followOnTwitter(const std::shared_ptr<NSObject>& sender);
    void followTavinOnTwitter(const std::shared_ptr<NSObject>& sender);
    void makeDonation(const std::shared_ptr<NSObject>& sender);
    // mailComposeController:didFinishWithResult:error:
    void mailComposeController(const std::shared_ptr<NSObject>& controller, std::int64_t didFinishWithResult,
                               const std::shared_ptr<NSObject>& error);

    // The preference value store, over PSPreferenceFile with the pane's own path rules
    // (OrbitchatPreferencePathRules). The getter answers the stored value's description text
    // ("1" for a switch that is on) and never a row's "default"; the setter stores the value as
    // it is given and posts no notification. Both log each read and save, and what they could not
    // do.
    PlistValue getValueForSpecifier(const std::shared_ptr<PSSpecifier>& specifier) const;
    void setValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& forSpecifier);

    // Extension discovery.
    void loadDylibs();

    const std::shared_ptr<OCConfettiArea>& confettiArea() const { return confettiArea_; }
    void setConfettiArea(std::shared_ptr<OCConfettiArea> area) { confettiArea_ = std::move(area); }
    // The Extension records (a mutable array), or none before the view loads.
    const PlistValue& dylibsArray() const { return dylibsArray_; }
    void setDylibsArray(PlistValue array) { dylibsArray_ = std::move(array); }

protected:
    OrbitchatPreferencesController() = default;

private:
    std::shared_ptr<OrbitchatPreferencesController> self();
    void presentAlert(const std::shared_ptr<UIViewController>& alert);
    void openPage(const std::string& url);

    std::shared_ptr<OCConfettiArea> confettiArea_;
    PlistValue dylibsArray_;
};
