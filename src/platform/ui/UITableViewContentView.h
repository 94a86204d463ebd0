#pragma once

// The scrolling face of a UITableView: it fills the table, asks the table's data source for the
// sections and cells, lays them out in the grouped look (UITableViewGroupedLayout) and scrolls
// them. A tap on a row (a touch that did not turn into a drag) highlights it and reaches the
// table's delegate through UITableView::tapRowAtIndexPath.
//
// Section titles come from the data source; a row's views (a switch, a slider) from its cell.
//
//     auto face = UITableViewContentView::attach(table);   // once; then each frame:
//     face->syncWithTable();

#include "platform/ui/NSIndexPath.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UITableViewGroupedLayout.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UITableViewContentView : public UIScrollView {
public:
    // The table's content view, made and added the first time.
    static std::shared_ptr<UITableViewContentView> attach(const std::shared_ptr<UITableView>& table);
    static std::shared_ptr<UITableViewContentView> of(const UITableView& table);

    std::string className() const override { return "UITableViewContentView"; }

    // Rebuilds the rows when the table was reloaded or resized since the last look, and dresses
    // the rows that scrolling has brought near the view (only those near it have views, so a
    // long list is cheap to reload); answers whether anything changed.
    bool syncWithTable(bool force = false);
    // The row's frame in the content's coordinates, or nullopt.
    std::optional<CGRect> rectForRowAtIndexPath(NSIndexPath indexPath) const;
    std::optional<NSIndexPath> indexPathForRowAtPoint(CGPoint p) const;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(NSIndexPath indexPath) const;
    std::vector<std::pair<NSIndexPath, std::shared_ptr<UITableViewCell>>> visibleRows() const {
        return rows_;
    }

    bool touchBegan(CGPoint p) override;
    void touchMoved(CGPoint p) override;
    void touchEnded(CGPoint p) override;
    void touchCancelled() override;

protected:
    explicit UITableViewContentView(CGRect frame) : UIScrollView(frame) {}

private:
    void highlight(std::optional<NSIndexPath> row);
    // The part of the content worth dressing now: the visible rows and a screenful either side.
    CGRect dressArea() const;
    // Dresses the pending rows that have come near the visible area; answers whether any did.
    bool dressRowsNearView();

    std::weak_ptr<UITableView> table_;
    std::uint64_t builtReload_ = ~std::uint64_t{0};
    CGFloat builtWidth_ = -1;
    std::vector<std::pair<NSIndexPath, std::shared_ptr<UITableViewCell>>> rows_;
    std::vector<UITableViewGroupedLayout::PendingRow> pending_; // in row order
    std::optional<NSIndexPath> touchedRow_;
    CGPoint touchStart_{};
    bool moved_ = false;
};
