#include "platform/ui/UITableViewController.h"

#include "platform/ui/UIScreen.h"

std::shared_ptr<UITableView> UITableViewController::tableView() {
    return std::static_pointer_cast<UITableView>(view());
}

void UITableViewController::loadView() {
    auto table = UITableView::create(UIScreen::mainScreen()->bounds(), style_);
    auto self = std::static_pointer_cast<UITableViewController>(shared_from_this());
    table->setDataSource(self);
    table->setDelegate(self);
    setView(table);
}
