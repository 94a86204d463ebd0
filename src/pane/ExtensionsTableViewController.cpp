#include "pane/ExtensionsTableViewController.h"

#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UINavigationItem.h"

std::shared_ptr<ExtensionsTableViewController> ExtensionsTableViewController::create() {
    return std::shared_ptr<ExtensionsTableViewController>(new ExtensionsTableViewController());
}

const SelectorTable* ExtensionsTableViewController::selectorTable() const {
    static const SelectorTable table({
        {"close:", SelectorTable::bind(&ExtensionsTableViewController::close)},
        {"refresh", SelectorTable::bind(&ExtensionsTableViewController::refresh)},
    });
    return &table;
}

void ExtensionsTableViewController::viewDidLoad() {
    UITableViewController::viewDidLoad();
    setTitle("Available Extensions");
    navigationItem()->setPrompt("Tap an Extension to View it in Cydia");
    navigationItem()->setRightBarButtonItem(UIBarButtonItem::create(
        "Close", UIBarButtonItemStyleDone, std::static_pointer_cast<NSObject>(shared_from_this()), "close:"));
    refresh();
}

void ExtensionsTableViewController::refresh() {
    availableItems_ = PlistValue::array();
    // FIXME: sendRequest: shows the HUD and fetches the catalogue.
}

void ExtensionsTableViewController::close(const std::shared_ptr<NSObject>&) {
    dismissViewControllerAnimated(true, nullptr);
}

std::int64_t ExtensionsTableViewController::numberOfRowsInSection(const std::shared_ptr<UITableView>&,
                                                                  std::int64_t) {
    return availableItems_.isArray() ? static_cast<std::int64_t>(availableItems_.count()) : 0;
}
