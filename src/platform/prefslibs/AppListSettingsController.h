#pragma once

// The page of the AppList bundle: a stock link row of a tweak's plist opens it with
// `bundle = AppList; isController = 1;` and describes it with its own keys:
//
//     { cell = PSLinkCell; label = "Blacklist"; bundle = AppList; isController = 1;
//       ALSettingsPath = "/var/mobile/Library/Preferences/com.my.tweak.plist";
//       ALChangeNotification = "com.my.tweak/changed"; ALSettingsKeyPrefix = "Blacklist-"; }
//
// - "ALSectionDescriptors": an array of sections, each with "title", "footer-title",
//   "predicate" (AppListPredicate; one it does not read shows every app, with a log line),
//   "suppress-hidden-apps", "cell-class-name" (ALSwitchCell: a switch, ALCheckCell: a
//   checkmark, ALDisclosureIndicatedCell: "On" or "Off" and a chevron), "icon-size" (29; 59 is
//   the large icon); or "items" instead, a section of static rows ("text", "detail-text", and an
//   "action": showPreferences pushes the page its "entry" row describes, launchURL opens its
//   "url"). Without descriptors: "System Applications" and "User Applications", hidden apps left
//   out, switches (checkmarks in single mode).
// - Values: each app's "ALSettingsKeyPrefix" (ALValue-) + bundle identifier → a boolean; an app
//   without one shows "ALSettingsDefaultValue" (off). With "ALSingleEnabledMode" only one app is
//   on: "ALSettingsKey" (ALValue-) → its identifier, removed when it is turned off. Every change
//   writes the whole dictionary to "ALSettingsPath" and posts "ALChangeNotification"
//   (AppListSettingsStore); a path outside /var/mobile is refused with a log line, and the page
//   then stores nothing.
// - Taps: a checkmark or disclosure row toggles its app; a switch row's tap flips it only when
//   "ALAllowsSelection" (which defaults to the single mode) lets rows be selected.
// - The title is "ALNavigationTitle", else the row's label.
//
// Rows are sorted by name regardless of case; icons are read when a row's cell is first made.
// "PostNotification", "key" and "defaults" of the row are not read, as on the phone.

#include "platform/prefs/PSListController.h"

class AppListSettingsController : public PSListController {
public:
    static std::shared_ptr<AppListSettingsController> create();

    std::string className() const override { return "AppListSettingsController"; }
    const SelectorTable* selectorTable() const override;

    std::shared_ptr<const PSSpecifierList> specifiers() override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                                           NSIndexPath indexPath) override;
    void tapSpecifier(const std::shared_ptr<PSSpecifier>& specifier) override;

    // An app row's value (selector readAppListValue:): whether the app is on.
    PlistValue readAppListValue(const std::shared_ptr<PSSpecifier>& row);
    // Turns an app row on or off and saves (selector setAppListValue:specifier:).
    void setAppListValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& row);

protected:
    AppListSettingsController() = default;

private:
    // The selectors of the app rows' getter and setter, bound to readAppListValue and
    // setAppListValue.
    static constexpr const char* kGetter = "readAppListValue:";
    static constexpr const char* kSetter = "setAppListValue:specifier:";

    PlistValue option(std::string_view key) const;
    bool singleMode() const;
    // The static rows of a section's "items".
    void appendItems(PSSpecifierList& list, const PlistValue& items);
    void runItemAction(const std::shared_ptr<PSSpecifier>& item);
};
