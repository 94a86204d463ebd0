#pragma once

// The catalogue screen (ExtensionsTableViewController): lists the extensions the maker offers and
// sends the user to a package manager for the one they tap. Presented by the settings pane inside
// a navigation controller; "Close" dismisses it.
//
// Each time its view loads it fetches "https://<catalogue host>/chatheadsextensions.json" under
// the progress HUD. The response is handled on the networking layer's background queue: the HUD's
// hide goes to the main queue first, then (when the body parsed) the new list together with the
// table's reload, so the table's data-source calls never see the list change between two calls.
//
// What the catalogue may hold and what shows: a top level that is not an array shows no rows;
// elements that are not dictionaries, and dictionaries that name none of a row's fields (title,
// repo, app, extension), are left out (the others keep their order); a field that is not a string
// counts as missing (an empty text line, no icon, no package to open). Only the first
// `kMaximumItems` elements are taken: a response lists at most 8 MiB of them, and a row each for
// millions would hold the device up for nothing. The log says how many more there were.

#include "platform/net/NSURLSession.h"
#include "platform/ui/UITableViewController.h"

#include <cstddef>
#include <memory>
#include <string>

class ExtensionsTableViewController : public UITableViewController {
public:
    // The catalogue elements taken from one response.
    static constexpr std::size_t kMaximumItems = 10000;

    // init; the catalogue comes from `catalogueHost` (a host name, with ":port" if not 443).
    static std::shared_ptr<ExtensionsTableViewController> create(std::string catalogueHost);

    std::string className() const override { return "ExtensionsTableViewController"; }
    const SelectorTable* selectorTable() const override;

    void viewDidLoad() override;
    // Starts a load with an empty list.
    void refresh();
    // sendRequest:. Shows the HUD and starts the fetch; returns at once.
    void sendRequest(const std::shared_ptr<NSObject>& sender);
    void close(const std::shared_ptr<NSObject>& sender);
    // schemeAvailable:. Whether the device can open a URL made of `scheme` ("sileo://").
    bool schemeAvailable(const std::string& scheme);

    // The catalogue items (an array, or none after an unreadable response).
    const PlistValue& availableItems() const { return availableItems_; }
    const std::string& catalogueHost() const { return catalogueHost_; }

    std::int64_t numberOfSectionsInTableView(const std::shared_ptr<UITableView>& /*tableView*/) override {
        return 1;
    }
    std::int64_t numberOfRowsInSection(const std::shared_ptr<UITableView>& tableView,
                                       std::int64_t section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                                           NSIndexPath indexPath) override;
    void didSelectRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                 NSIndexPath indexPath) override;

    // The package-manager address for an item's package, percent-encoded for a URL query; empty
    // when the item has no package identifier. A pure function of its arguments.
    static std::string packageURLString(const PlistValue& item, bool sileo);
    // The rows a parsed catalogue shows: its dictionaries that name a row's field, in order, of its
    // first kMaximumItems elements; none for anything but an array.
    static PlistValue displayableItems(const PlistValue& parsed);
    // Main thread: makes `items` the list and reloads the table, in one step.
    void replaceItems(PlistValue items);

protected:
    explicit ExtensionsTableViewController(std::string catalogueHost)
        : UITableViewController(UITableViewStylePlain), catalogueHost_(std::move(catalogueHost)) {}

private:
    // Runs on the networking layer's background queue.
    void handleResponse(const std::shared_ptr<const PlistData>& data, const std::shared_ptr<NSError>& error);

    std::string catalogueHost_;
    PlistValue availableItems_;
};
