#pragma once

// A small specifier plist for pane tests, written into the fixture's folder and installed as the
// bundle, so the tests do not depend on the shipped plist's wording.

#include "pane/OrbitchatPreferencesController.h"
#include "platform/foundation/plist/PropertyList.h"
#include "platform/prefs/PSListController.h"
#include "platform/ui/UINavigationController.h"
#include "support/DeviceFixture.h"

#include <string>

inline PlistValue paneTestRow(std::initializer_list<std::pair<std::string, PlistValue>> entries) {
    PlistValue row = PlistValue::dictionary();
    for (const auto& [k, v] : entries)
        row.set(k, v);
    return row;
}

// Rows: a group "Extensions" with a footer, a group "General", a switch "Enabled" (key "enabled"
// in com.orbitchat.test), a button "Support" bound to support:.
inline void installPaneTestBundle(const DeviceFixture& device) {
    PlistValue items = PlistValue::array({
        paneTestRow({{"cell", "PSGroupCell"}, {"label", "Extensions"}, {"footerText", "Install some"}}),
        paneTestRow({{"cell", "PSGroupCell"}, {"label", "General"}}),
        paneTestRow({{"cell", "PSSwitchCell"},
                     {"label", "Enabled"},
                     {"key", "enabled"},
                     {"defaults", "com.orbitchat.test"},
                     {"default", true},
                     {"get", "getValueForSpecifier:"},
                     {"set", "setValue:forSpecifier:"}}),
        paneTestRow({{"cell", "PSButtonCell"}, {"label", "Support"}, {"action", "support:"}}),
    });
    PlistValue plist = PlistValue::dictionary();
    plist.set("items", items);
    device.write("/bundle/OrbitchatPreferences.plist", writePropertyListXML(plist).bytes);
    PSListController::setBundlePath(device.host("/bundle"));
}

// The pane as the Settings app opens it: inside a navigation controller, view loaded.
struct OpenPane {
    std::shared_ptr<OrbitchatPreferencesController> pane = OrbitchatPreferencesController::create();
    std::shared_ptr<UINavigationController> nav = UINavigationController::create(pane);
    OpenPane() {
        pane->loadViewIfNeeded();
        pane->viewWillAppear(false);
    }
    std::vector<std::string> titles() {
        std::vector<std::string> out;
        if (auto list = pane->specifiers())
            for (const auto& s : *list)
                out.push_back(s->name());
        return out;
    }
};
