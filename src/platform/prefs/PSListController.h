#pragma once

// The Preferences framework's list controller (PSListController): a controller whose list of rows
// comes from `specifiers`, built from a specifier plist of the bundle and cached in `_specifiers`
// until `reloadSpecifiers`. Its view is a container holding the table, so a subclass can lay views
// over the table (`table()->superview()`).
//
// Specifier plist: a dictionary whose "items" array holds one dictionary per row, with "cell"
// (PSGroupCell, PSSwitchCell, PSSliderCell, PSSegmentCell, PSEditTextCell, PSButtonCell,
// PSLinkCell, PSStaticTextCell...), "label", "get", "set", "action", "detail" and any further
// properties ("key", "defaults", "default", "footerText", "min", "max", "validValues",
// "validTitles", "id"), which the row keeps in its property dictionary.
//
// The host drives value rows through `valueForSpecifier` (the row's getter on its target, with the
// row as argument) and `setValueForSpecifier` (the setter, with the new value and the row), and
// button rows through `performButtonAction`. A row that names no getter shows no value; one that
// names no setter ignores changes.

#include "platform/prefs/PSSpecifier.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UIViewController.h"

#include <memory>
#include <string>

class PSListController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
public:
    static std::shared_ptr<PSListController> create();

    std::string className() const override { return "PSListController"; }

    // The folder holding the bundle's resources (a host folder: the bundle is not on the device).
    // Defaults to the repository's resources/.
    static void setBundlePath(std::string path);
    static std::string bundlePath();

    // The row list: the cached list, or none. Subclasses override it to build and cache the list.
    virtual std::shared_ptr<const PSSpecifierList> specifiers() { return _specifiers; }
    // Drops the cached list, asks `specifiers` for a new one and redisplays the rows.
    void reloadSpecifiers();
    // reloadSpecifier:animated:. Shows the row afresh: its value as the getter answers it now.
    void reloadSpecifier(const std::shared_ptr<PSSpecifier>& specifier, bool animated);
    // Reads "<bundle>/<name>.plist" and answers its rows with `target` as their target, or null
    // when the plist is missing or not a specifier plist (a log line says why).
    std::shared_ptr<PSSpecifierList> loadSpecifiersFromPlistName(const std::string& name,
                                                                 const std::shared_ptr<NSObject>& target);

    std::shared_ptr<UITableView> table();

    // What the host does for the user.
    PlistValue valueForSpecifier(const std::shared_ptr<PSSpecifier>& specifier);
    void setValueForSpecifier(const PlistValue& value, const std::shared_ptr<PSSpecifier>& specifier);
    void performButtonAction(const std::shared_ptr<PSSpecifier>& specifier);
    // The row with this title in the current list, or null.
    std::shared_ptr<PSSpecifier> specifierForName(std::string_view name);

    void loadView() override;

    // The table's rows: one section per group row (rows before the first group form a section of
    // their own); group rows themselves are section headers, not rows.
    std::int64_t numberOfSectionsInTableView(const std::shared_ptr<UITableView>& tableView) override;
    std::int64_t numberOfRowsInSection(const std::shared_ptr<UITableView>& tableView,
                                       std::int64_t section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                                           NSIndexPath indexPath) override;
    void didSelectRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                 NSIndexPath indexPath) override;
    std::shared_ptr<PSSpecifier> specifierAtIndexPath(NSIndexPath indexPath);

protected:
    PSListController() = default;

    // The cached row list, as the framework's instance variable of that name.
    std::shared_ptr<const PSSpecifierList> _specifiers;

private:
    std::vector<std::vector<std::shared_ptr<PSSpecifier>>> sections();

    std::shared_ptr<UITableView> table_;
};
