#pragma once

// What a table tells its delegate (UITableViewDelegate). Every operation is optional; the
// defaults do nothing.

#include "platform/ui/NSIndexPath.h"

#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <optional>

class UITableView;

class UITableViewDelegate {
public:
    virtual ~UITableViewDelegate() = default;
    // tableView:didSelectRowAtIndexPath:
    virtual void didSelectRowAtIndexPath(const std::shared_ptr<UITableView>& /*tableView*/,
                                         NSIndexPath /*indexPath*/) {}
    // tableView:heightForRowAtIndexPath: (nothing: the row's cell decides, once it is made).
    virtual std::optional<CGFloat> heightForRowAtIndexPath(const std::shared_ptr<UITableView>& /*tableView*/,
                                                           NSIndexPath /*indexPath*/) {
        return std::nullopt;
    }
};
