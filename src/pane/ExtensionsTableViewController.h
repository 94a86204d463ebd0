#pragma once

// The catalogue screen (ExtensionsTableViewController): lists the extensions the maker offers and
// sends the user to a package manager for the one they tap. Presented by the settings pane inside
// a navigation controller; "Close" dismisses it.
//
// FIXME: the catalogue fetch (HUD, HTTPS request, JSON), the rows' cells and the package-manager
// hand-off come with the catalogue screen's own work; for now the list stays empty.

#include "platform/ui/UITableViewController.h"

#include <memory>

class ExtensionsTableViewController : public UITableViewController {
public:
    // init
    static std::shared_ptr<ExtensionsTableViewController> create();

    std::string className() const override { return "ExtensionsTableViewController"; }
    const SelectorTable* selectorTable() const override;

    void viewDidLoad() override;
    // Starts a load with an empty list.
    void refresh();
    void close(const std::shared_ptr<NSObject>& sender);

    // The catalogue items (an array, or none after an unreadable response).
    const PlistValue& availableItems() const { return availableItems_; }

    std::int64_t numberOfSectionsInTableView(const std::shared_ptr<UITableView>& tableView) override {
        return 1;
    }
    std::int64_t numberOfRowsInSection(const std::shared_ptr<UITableView>& tableView,
                                       std::int64_t section) override;

protected:
    ExtensionsTableViewController() : UITableViewController(UITableViewStylePlain) {}

private:
    PlistValue availableItems_;
};
