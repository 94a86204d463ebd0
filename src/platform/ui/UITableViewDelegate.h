#pragma once

// What a table tells its delegate (UITableViewDelegate). Every operation is optional; the
// defaults do nothing.

#include "platform/ui/NSIndexPath.h"

#include "platform/graphics/CGGeometry.h"

#include <cstdint>
#include <memory>
#include <optional>

class UITableView;
class UIView;

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
    // tableView:viewForHeaderInSection: with tableView:heightForHeaderInSection: in one: a view
    // `width` wide whose frame's height is the header's, shown in place of the section's header
    // title; null: the title.
    virtual std::shared_ptr<UIView> viewForHeaderInSection(const std::shared_ptr<UITableView>& /*tableView*/,
                                                           std::int64_t /*section*/, CGFloat /*width*/) {
        return nullptr;
    }
};
