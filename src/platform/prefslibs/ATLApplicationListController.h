#pragma once

// What AltList's three application-list pages share: a row of a bundle's plist names one of them
// as its "detail" (a PSLinkListCell or PSLinkCell), and the page lists the device's installed
// apps (ALApplicationList) as that row's keys ask:
//
//     { cell = PSLinkListCell; label = "Enabled Apps"; detail = ATLApplicationListMultiSelectionController;
//       defaults = com.my.tweak; key = apps; PostNotification = com.my.tweak/changed;
//       sections = ( { sectionType = User; }, { sectionType = System; } );
//       showIdentifiersAsSubtitle = 1; }
//
// - "sections": an array of {sectionType, sectionName, sectionPredicate}. All lists every app,
//   Hidden the apps tagged hidden, launch-prohibited or web clips, Visible the others, System and
//   User the visible apps of /Applications and of the containers, Custom the apps its
//   "sectionPredicate" (AppListPredicate) selects. Titles are "Applications", "Hidden
//   Applications", "System Applications", "User Applications", or "sectionName" when given. A
//   section of an unknown type is left out with a log line; one Visible section when the key is
//   missing or holds no section that is read.
// - "alphabeticIndexingEnabled": with one section, its apps in groups A to Z under their letters
//   ("#" last, for names that start with something else), unless "hideAlphabeticSectionHeaders".
//   The side index of letters is not drawn.
// - "showIdentifiersAsSubtitle": the bundle identifier under the name.
// - "useSearchBar", "includeIdentifiersInSearch", "hideSearchBarWhileScrolling": the simulated
//   navigation bar has no search field, so these are read by nobody; every app is listed.
//
// Rows are sorted by name regardless of case (then by identifier), each a specifier of the
// page's own (target: the page) with the app's 29 pt icon, loaded when the row's cell is first
// made, so a page of a thousand apps opens without reading a thousand icons. A row carries the
// app's identifier as its "applicationIdentifier" property.
//
// What a row stores goes through the parent row's own getter and setter on the list that opened
// the page (PSListController::valueForSpecifier / setValueForSpecifier), so "defaults", "key",
// "default" and "PostNotification" of that row work as they do for any stock row.

#include "platform/applist/ALApplicationList.h"
#include "platform/prefs/PSListController.h"

#include <string>
#include <vector>

class ATLApplicationListController : public PSListController {
public:
    using ApplicationInfo = ALApplicationList::ApplicationInfo;

    struct Section {
        std::string title;
        std::vector<ApplicationInfo> apps;
    };
    // The page's sections for the parent row's properties, each sorted, from the installed apps.
    // Logs what it cannot read (an unknown section type, a custom predicate it does not know).
    static std::vector<Section> sectionsFor(const PlistValue& rowProperties,
                                            std::vector<ApplicationInfo> apps);
    // The order of rows: by name regardless of case, then by identifier.
    static void sortByName(std::vector<ApplicationInfo>& apps);

    // The row property an app's row keeps the app's identifier in, here and on the AppList
    // settings page alike.
    static constexpr const char* kApplicationIdentifierKey = "applicationIdentifier";
    // The app a row of such a page stands for, or "" for another row.
    static std::string applicationIdentifierOf(const PSSpecifier& row);

    const SelectorTable* selectorTable() const override;
    std::shared_ptr<const PSSpecifierList> specifiers() override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                                           NSIndexPath indexPath) override;
    void tapSpecifier(const std::shared_ptr<PSSpecifier>& specifier) override;

protected:
    ATLApplicationListController() = default;

    // The selectors of the page's getter and setter, bound to readApplicationValue and
    // setApplicationValue.
    static constexpr const char* kGetter = "readApplicationValue:";
    static constexpr const char* kSetter = "setApplicationValue:specifier:";

    // The cell type of an app's row, and whether rows get the page's getter and setter
    // (readApplicationValue: and setApplicationValue:specifier:).
    virtual PSCellType applicationCellType() const = 0;
    virtual bool storesValues() const { return true; }
    // The detail class of an app's row (the page it opens), or "".
    virtual std::string applicationDetailClass() const { return {}; }
    // Dresses an app row's cell after the stock cell is made.
    virtual void dressCell(UITableViewCell& /*cell*/, const PSSpecifier& /*row*/,
                           const PlistValue& /*value*/) {}
    // A user's tap on an app's row.
    virtual void tapApplication(const std::shared_ptr<PSSpecifier>& row) {
        PSListController::tapSpecifier(row);
    }

    // The row's value as its control shows it, and the user's change of it (selector-bound).
    virtual PlistValue readApplicationValue(const std::shared_ptr<PSSpecifier>& row);
    virtual void setApplicationValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& row);

    // What the parent row holds, through its getter on the list that opened the page (the stock
    // getter on the row itself when no list did), and the change of it through its setter.
    PlistValue storedValue();
    void store(const PlistValue& value);
    // Shows every row afresh after a change.
    void redisplay();
};
