#pragma once

// What a table asks of its data source (UITableViewDataSource). The number of sections is
// optional in UIKit and defaults to one here.

#include "platform/graphics/NSStringDrawing.h"
#include "platform/ui/NSIndexPath.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class UITableView;
class UITableViewCell;

class UITableViewDataSource {
public:
    virtual ~UITableViewDataSource() = default;
    // numberOfSectionsInTableView:
    virtual std::int64_t numberOfSectionsInTableView(const std::shared_ptr<UITableView>& /*tableView*/) {
        return 1;
    }
    // tableView:numberOfRowsInSection:
    virtual std::int64_t numberOfRowsInSection(const std::shared_ptr<UITableView>& tableView,
                                               std::int64_t section) = 0;
    // tableView:cellForRowAtIndexPath:
    virtual std::shared_ptr<UITableViewCell>
    cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView, NSIndexPath indexPath) = 0;
    // tableView:titleForHeaderInSection: and tableView:titleForFooterInSection: (none: no title).
    virtual std::optional<std::string>
    titleForHeaderInSection(const std::shared_ptr<UITableView>& /*tableView*/, std::int64_t /*section*/) {
        return std::nullopt;
    }
    virtual std::optional<std::string>
    titleForFooterInSection(const std::shared_ptr<UITableView>& /*tableView*/, std::int64_t /*section*/) {
        return std::nullopt;
    }
    // How a section's footer text is aligned (the Preferences framework's "footerAlignment"; UIKit
    // asks for a footer view instead). Natural by default.
    virtual NSTextAlignment alignmentForFooterInSection(const std::shared_ptr<UITableView>& /*tableView*/,
                                                        std::int64_t /*section*/) {
        return NSTextAlignmentNatural;
    }
};
