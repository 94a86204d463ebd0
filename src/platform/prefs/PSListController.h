#pragma once

// The Preferences framework's list controller (PSListController): a controller whose list of rows
// comes from `specifiers`, built from a specifier plist of its bundle and cached in `_specifiers`
// until `reloadSpecifiers`. Its view is a container holding the table, so a subclass can lay views
// over the table (`table()->superview()`).
//
// Specifier plist: a dictionary with an optional "title" and an "items" array holding one
// dictionary per row: "cell" (PSGroupCell, PSSwitchCell, PSSliderCell, PSSegmentCell,
// PSEditTextCell, PSButtonCell, PSLinkCell, PSLinkListCell, PSStaticTextCell...), "label", "get",
// "set", "action", "detail" and any further properties ("key", "defaults", "default",
// "footerText", "min", "max", "validValues", "validTitles", "id", "icon"...), which the row keeps
// in its property dictionary. Loading localises the texts a user reads (labels, footers, titles,
// choice titles, confirmation texts) through the bundle's strings table of the plist's name,
// loads "icon" from the bundle as "iconImage", and marks rows that need code the device does not
// have: a "cellClass" of a library the device has gets that class (PSCellClass); one of the
// bundle's own is drawn and run as the stock cell of the row's type, marked approximated, and a
// "detail" that is neither a page of the bundle nor a class the device knows opens a page saying
// which class would have opened (PSMissingCodeController), or, for a choice row, the framework's
// choice page. Only a row with nothing stock to draw is a placeholder. Rows whose
// "requiredCapabilities" the device does not meet (UIDevice) are left out.
//
// Values: the host shows a row's value through `valueForSpecifier` (the row's getter on its
// target, with the row as argument) and hands changes to `setValueForSpecifier` (the setter, with
// the new value and the row). Rows from a plist that name no getter or setter get the framework's
// own, readPreferenceValue: and setPreferenceValue:specifier:, which keep the value under "key" in
// the preference file of "defaults" (/var/mobile/Library/Preferences/<defaults>.plist; a value
// starting with "/" is a path without its extension; "", "." and ".." name none, see
// PSPreferencePath), show "default" while the file has none, write through PSPreferenceFile
// (atomically, keeping every other value) and post "PostNotification" after each write. A file
// that is there but cannot be read is never written over: the row shows its "default", the log
// says why once, and a change is refused with that reason (lastStoreResult). A getter or setter
// that the target does not answer (code the device lacks) falls back to those two.
//
// A text row stores its text when its editing ends, not at every key: on return, when its field
// gives up the keyboard, when another row is tapped and when the page goes (endEditing).
//
// Taps (`tapSpecifier`): a button row runs its "action" (after its "confirmation" sheet when it
// has one); a link row pushes the controller it opens (`controllerForSpecifier`) on the
// navigation stack; a link list row opens its choice page. A row's library class may take the tap
// first; a row of the bundle's own class whose tap is that class's code, or an action the target
// does not answer, opens the page saying which code would have run.

#include "platform/foundation/NSBundle.h"
#include "platform/prefs/PSPreferenceBundles.h"
#include "platform/prefs/PSPreferenceFile.h"
#include "platform/prefs/PSSpecifier.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UIViewController.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

class UIImage;

class PSListController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
public:
    static std::shared_ptr<PSListController> create();
    // The framework's own list of a bundle's specifier plist: what the device shows for a bundle
    // without code of its own, and for the child pages of a bundle.
    static std::shared_ptr<PSListController> createWithPlist(std::shared_ptr<NSBundle> bundle,
                                                             std::string plistName);

    std::string className() const override { return "PSListController"; }
    const SelectorTable* selectorTable() const override;

    // The folder of the resources of lists that are given no bundle of their own (a host
    // folder), the current device environment's. The host gives it (the simulator passes the
    // pane's resources); without one such lists have no bundle.
    static void setBundlePath(std::string path);
    static std::string bundlePath();

    // The bundle whose plists, strings and images the list reads: its own, else the default folder.
    std::shared_ptr<NSBundle> bundle() const;
    void setBundle(std::shared_ptr<NSBundle> bundle) { bundle_ = std::move(bundle); }
    // The row that opened this list, if a row did.
    const std::shared_ptr<PSSpecifier>& specifier() const { return specifier_; }
    void setSpecifier(std::shared_ptr<PSSpecifier> specifier) { specifier_ = std::move(specifier); }
    // The list whose row opened this one, while it exists.
    std::shared_ptr<PSListController> parentList() const { return parentList_.lock(); }
    // The plist that the stock `specifiers` loads (empty for lists that build their own rows).
    const std::string& plistName() const { return plistName_; }

    // The row list: the cached list; a list made with a plist loads it the first time. Subclasses
    // override it to build and cache their own list.
    virtual std::shared_ptr<const PSSpecifierList> specifiers();
    // Drops the cached list, asks `specifiers` for a new one and redisplays the rows.
    void reloadSpecifiers();
    // reloadSpecifier:animated:. Shows the row afresh: its value as the getter answers it now.
    void reloadSpecifier(const std::shared_ptr<PSSpecifier>& specifier, bool animated);
    // Reads "<name>.plist" of the bundle and answers its rows with `target` as their target, or
    // null when the plist is missing or not a specifier plist (a log line says why). A "title" in
    // the plist becomes the list's title.
    std::shared_ptr<PSSpecifierList> loadSpecifiersFromPlistName(const std::string& name,
                                                                 const std::shared_ptr<NSObject>& target);

    std::shared_ptr<UITableView> table();

    // The framework's getter and setter (see above).
    PlistValue readPreferenceValue(const std::shared_ptr<PSSpecifier>& specifier) const;
    void setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& specifier);
    // An image of a bundle by file name ("icon.png"), at the screen's scale when the bundle has
    // that variant ("icon@2x.png"); null when it has none that reads. With `folders`, a file below
    // one of their open folders is read relative to it, as the file manager would read it.
    static std::shared_ptr<UIImage> imageFromBundle(const NSBundle& bundle, const std::string& file,
                                                    const PSPreferenceBundles* folders = nullptr);
    // The path of the first variant of `file` that imageFromBundle reads: the one at the screen's
    // scale when the bundle has it, or the next smaller one; none when the bundle has none.
    static std::optional<std::string> imagePathInBundle(const NSBundle& bundle, const std::string& file);
    // Where the framework's getter and setter keep a row's value: its "key" in the file its
    // "defaults" names under the framework's strict rules (PSPreferencePath), or why there is none.
    static Result<PSPreferenceFile::Entry> preferenceEntry(const PSSpecifier& specifier);

    // What the host does for the user.
    PlistValue valueForSpecifier(const std::shared_ptr<PSSpecifier>& specifier);
    void setValueForSpecifier(const PlistValue& value, const std::shared_ptr<PSSpecifier>& specifier);
    // What became of the value last handed to setValueForSpecifier: a failure with its reason when
    // a store that reports here (the framework's own setter, or a subclass's that calls
    // noteStoreFailure) kept nothing, otherwise a success. A host that acts for a user (a script's
    // `set`) says so instead of carrying on as if the value were stored.
    const Result<>& lastStoreResult() const { return lastStore_; }
    void noteStoreFailure(Failure failure) { lastStore_ = Result<>(std::move(failure)); }
    // Ends the editing of a text field on this list's page, which commits its text through the
    // row's setter; nothing when no field of the page has the keyboard.
    void endEditing();
    void performButtonAction(const std::shared_ptr<PSSpecifier>& specifier);
    // The row's "confirmation" sheet (prompt, okTitle or title, cancelTitle, isDestructive); its OK
    // runs `confirmed`, or the row's action when that is null.
    using Confirmed = std::function<void(PSListController& list, const std::shared_ptr<PSSpecifier>& row)>;
    void presentConfirmation(const std::shared_ptr<PSSpecifier>& specifier, Confirmed confirmed);
    // A tap on the row: a button's action (or its confirmation sheet), a link's page.
    virtual void tapSpecifier(const std::shared_ptr<PSSpecifier>& specifier);
    // The controller a link row opens, or null (a placeholder row, or nothing to open).
    virtual std::shared_ptr<UIViewController>
    controllerForSpecifier(const std::shared_ptr<PSSpecifier>& specifier);
    // The row with this title in the current list, or null.
    std::shared_ptr<PSSpecifier> specifierForName(std::string_view name);

    void loadView() override;
    void viewWillAppear(bool animated) override;
    // Leaving the page ends the editing of its text field, so the text typed is stored.
    void viewWillDisappear(bool animated) override;

    // The table's rows: one section per group row (rows before the first group form a section of
    // their own); group rows themselves are section headers ("label") and footers ("footerText"),
    // not rows. Each cell is built from one read of its row's value.
    std::int64_t numberOfSectionsInTableView(const std::shared_ptr<UITableView>& tableView) override;
    std::int64_t numberOfRowsInSection(const std::shared_ptr<UITableView>& tableView,
                                       std::int64_t section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                                           NSIndexPath indexPath) override;
    std::optional<std::string> titleForHeaderInSection(const std::shared_ptr<UITableView>& tableView,
                                                       std::int64_t section) override;
    std::optional<std::string> titleForFooterInSection(const std::shared_ptr<UITableView>& tableView,
                                                       std::int64_t section) override;
    NSTextAlignment alignmentForFooterInSection(const std::shared_ptr<UITableView>& tableView,
                                                std::int64_t section) override;
    void didSelectRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                 NSIndexPath indexPath) override;
    // A row's "height" (a positive number, or numeric text), or nothing: the cell's own.
    std::optional<CGFloat> heightForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                                   NSIndexPath indexPath) override;
    // A group's "headerCellClass" of a library the device has draws the group's header.
    std::shared_ptr<UIView> viewForHeaderInSection(const std::shared_ptr<UITableView>& tableView,
                                                   std::int64_t section, CGFloat width) override;
    std::shared_ptr<PSSpecifier> specifierAtIndexPath(NSIndexPath indexPath);

protected:
    PSListController() = default;

    // The cached row list, as the framework's instance variable of that name.
    std::shared_ptr<const PSSpecifierList> _specifiers;

private:
    struct Section {
        std::shared_ptr<PSSpecifier> group; // null for rows before the first group
        std::vector<std::shared_ptr<PSSpecifier>> rows;
    };
    // The sections of the current list, grouped once per list.
    const std::vector<Section>& sections();
    void prepareSpecifier(PSSpecifier& specifier, const std::string& table);
    // The class a link row's tap would open that the device does not have, or "".
    std::string unopenedClass(const PSSpecifier& specifier) const;
    // Pushes the page that says the tap on the row runs `className`, code the device lacks.
    void showMissingCode(const std::shared_ptr<PSSpecifier>& specifier, const std::string& className);

    std::shared_ptr<UITableView> table_;
    std::shared_ptr<NSBundle> bundle_;
    std::shared_ptr<PSSpecifier> specifier_;
    std::weak_ptr<PSListController> parentList_;
    std::string plistName_;
    std::shared_ptr<const PSSpecifierList> groupedList_;
    std::vector<Section> sections_;
    Result<> lastStore_;
    // The preference files this list has said it cannot read, each with its reason, so that a
    // page of many rows on one broken file logs it once.
    mutable std::set<std::string> unreadableReported_;
};
