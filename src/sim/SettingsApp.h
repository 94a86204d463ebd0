#pragma once

// The Settings app as the pane's host: it creates OrbitchatPreferencesController with init as the
// root of a navigation controller, loads its view, tells it that it will appear and asks it for
// its rows, as the Settings app does when the user opens the pane. Then it does what a user's
// touches do: taps alert actions, bar buttons and rows, and changes value rows the way their
// cells do (a switch hands its setter a boolean, a slider a real, a text field a string, a
// segmented control the entry of "validValues" that matches the title chosen).
//
// Failures of the user's intent (no such row, a value a cell cannot produce) come back as
// SettingsApp::Error with a message for the script's author; the pane's own behaviour never
// throws.

#include "pane/OrbitchatPreferencesController.h"
#include "platform/ui/UIAlertController.h"
#include "platform/ui/UINavigationController.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class SettingsApp {
public:
    class Error : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // Opens the pane (replacing an open one).
    void open();
    // Tears the app down: presentations, navigation and the pane go.
    void close();
    bool isOpen() const { return pane_ != nullptr; }

    const std::shared_ptr<OrbitchatPreferencesController>& pane() const { return pane_; }
    const std::shared_ptr<UINavigationController>& navigationController() const { return navigation_; }

    // The presented controllers, bottom first.
    std::vector<std::shared_ptr<UIViewController>> presentedChain() const;
    // The topmost presented alert, or null.
    std::shared_ptr<UIAlertController> presentedAlert() const;

    // A tap on the alert action, bar button or row with this title; while an alert is presented
    // the tap goes to it.
    void tap(const std::string& title);
    // Changes the value row with this title as its cell would, from the script's text.
    void set(const std::string& rowTitle, const std::string& valueText);
    void burst();

    // What the cell of a value row hands its setter for `text`; throws Error when the cell could
    // not produce it.
    static PlistValue cellValueFromText(const PSSpecifier& row, const std::string& text);

    // The controller the user sees: the top of the presentation chain, or of a navigation stack.
    std::shared_ptr<UIViewController> visibleController() const;

private:
    void requireOpen() const;

    std::shared_ptr<UINavigationController> navigation_;
    std::shared_ptr<OrbitchatPreferencesController> pane_;
};
