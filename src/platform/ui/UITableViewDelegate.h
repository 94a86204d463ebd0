#pragma once

// What a table tells its delegate (UITableViewDelegate). Every operation is optional; the
// defaults do nothing.

#include "platform/ui/NSIndexPath.h"

#include <memory>

class UITableView;

class UITableViewDelegate {
public:
    virtual ~UITableViewDelegate() = default;
    // tableView:didSelectRowAtIndexPath:
    virtual void didSelectRowAtIndexPath(const std::shared_ptr<UITableView>& /*tableView*/,
                                         NSIndexPath /*indexPath*/) {}
};
