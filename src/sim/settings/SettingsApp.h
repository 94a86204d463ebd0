#pragma once

// The Settings app: its list of tweaks (SettingsTweakList), and the preference bundles it opens
// from there as the device does. `open` opens this pane directly (OrbitchatPreferencesController
// created with init as the root of a navigation controller, its view loaded, told that it will
// appear and asked for its rows), or, when a preference bundle was given, that bundle;
// `openSettings` opens the tweak list, `openBundle` the bundle of one of its rows. Then it does
// what a user's touches do: taps alert actions, bar buttons (the back button too) and rows, and
// changes value rows the way their cells do (PSControlValue: a switch hands its setter a boolean,
// a slider a real, a text field a string, a segmented control or a link list the entry of
// "validValues" that matches the title chosen).
//
// A script names the row it means in one of three forms (RowPick), which `set` and `tap` take:
//
//     Enabled          the row titled "Enabled"; a group header of that title is never picked
//     Enabled#2        the second row titled "Enabled", counting from 1 and not counting group
//                      headers (a script writes "Enabled"#2)
//     key=isEnabled    the row whose "key" is "isEnabled"
//
// A row whose whole title is the text is picked first, so a title that looks like the other
// forms ("Track #1", "key=value") is still reached by its title. Where several rows share the
// title, `tap` takes the first; `set` takes the one that holds a value, and when more than one
// does it fails, naming them and how to pick one.
//
// Rows of a preference library's cell class (PSSpecifier::cellClass) read a script's text through
// the class first; a row drawn as the stock cell in place of the bundle's own class is set as that
// stock cell; only a placeholder row (PSSpecifier::missingClassName) is refused.
//
// Failures of the user's intent (no such row, a value a cell cannot produce) come back as
// SettingsApp::Error with a message for the script's author; the pane's own behaviour never
// throws.

#include "pane/OrbitchatPreferencesController.h"
#include "platform/prefs/PSListController.h"
#include "platform/ui/UIAlertController.h"
#include "platform/ui/UINavigationController.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class SettingsApp {
public:
    class Error : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // Opens the pane, or the preference bundle when one was given (replacing what is open).
    void open();
    // Opens the Settings app's list of tweaks.
    void openSettings();
    // Opens the list of tweaks and the bundle of the row with this label in it.
    void openBundle(const std::string& label);
    // A bundle folder of the host that `open` opens as the device would (empty: the pane).
    void setPreferenceBundle(std::string hostFolder) { preferenceBundle_ = std::move(hostFolder); }
    const std::string& preferenceBundle() const { return preferenceBundle_; }
    // Whether `open` opens the preference bundle from its row in the list of tweaks, as a tap there
    // would (the list is under it, Back returns to it). Without a row for it, it opens on its own.
    void setPreferenceBundleFromSettings(bool fromSettings) { fromSettings_ = fromSettings; }
    // Tears the app down: presentations, navigation and the pane go.
    void close();
    // Closes the app and opens it again where it was opened: the pane, the given bundle, the list
    // of tweaks, or the bundle that was opened from that list (a respring brings it back).
    void reopen();
    // How many times the app came back from a respring.
    std::uint64_t respringCount() const { return resprings_; }
    bool isOpen() const { return navigation_ != nullptr; }

    // The pane, when it is in the navigation stack.
    std::shared_ptr<OrbitchatPreferencesController> pane() const;
    const std::shared_ptr<UINavigationController>& navigationController() const { return navigation_; }

    // The presented controllers, bottom first.
    std::vector<std::shared_ptr<UIViewController>> presentedChain() const;
    // The topmost presented alert, or null.
    std::shared_ptr<UIAlertController> presentedAlert() const;

    // A tap on the alert action, bar button or row with this title (or, for a row, the other forms
    // of a RowPick); while an alert is presented the tap goes to it. A text row's field takes the
    // focus when the screen shows it.
    void tap(const std::string& title);
    // Changes the value row that `row` picks as its cell would, from the script's text.
    void set(const std::string& row, const std::string& valueText);
    void burst();

    // What the cell of a value row hands its setter for `text`; throws Error when the cell could
    // not produce it.
    static PlistValue cellValueFromText(const PSSpecifier& row, const std::string& text);

    // How a script's text names a row, in the forms above other than a plain title.
    struct RowPick {
        std::string title;       // with `ordinal`
        std::size_t ordinal = 0; // from 1; 0 when the pick is by key
        std::string key;
        // The pick that `text` writes ("Enabled#2", "key=isEnabled"), or nothing for a plain title.
        static std::optional<RowPick> parse(std::string_view text);
    };
    // The row of `list` that a script's `text` names, for a `set` when `toSet` (a row that holds a
    // value wins over others of its title) or a `tap`; null when no row has that title. Throws
    // Error when the text picks a row that is not there, or a `set` cannot tell rows apart.
    static std::shared_ptr<PSSpecifier> pickRow(PSListController& list, const std::string& text, bool toSet);

    // The controller the user sees: the top of the presentation chain, or of a navigation stack.
    std::shared_ptr<UIViewController> visibleController() const;

    // The Preferences list on top of the navigation stack (under any presentation), or null.
    std::shared_ptr<PSListController> topList() const;
    // The Preferences list on screen, or null.
    std::shared_ptr<PSListController> visibleList() const;

private:
    void requireOpen() const;
    // Shows `root` as the root of a new navigation controller, as the Settings app opens a screen.
    void show(const std::shared_ptr<UIViewController>& root);

    std::shared_ptr<UINavigationController> navigation_;
    std::string preferenceBundle_;
    bool fromSettings_ = false;
    std::uint64_t resprings_ = 0;
};
