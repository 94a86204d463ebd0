#pragma once

// A controller whose view is a table (UITableViewController); it is the table's data source and
// delegate. Subclasses override the data-source and delegate operations.

#include "platform/ui/UITableView.h"
#include "platform/ui/UIViewController.h"

#include <memory>

class UITableViewController : public UIViewController,
                              public UITableViewDataSource,
                              public UITableViewDelegate {
public:
    std::string className() const override { return "UITableViewController"; }

    // The controller's view, loading it if needed.
    std::shared_ptr<UITableView> tableView();

    void loadView() override;

    std::int64_t numberOfRowsInSection(const std::shared_ptr<UITableView>& /*tableView*/,
                                       std::int64_t /*section*/) override {
        return 0;
    }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const std::shared_ptr<UITableView>& /*tableView*/,
                                                           NSIndexPath /*indexPath*/) override {
        return nullptr;
    }

protected:
    explicit UITableViewController(UITableViewStyle style = UITableViewStylePlain) : style_(style) {}

private:
    UITableViewStyle style_;
};
