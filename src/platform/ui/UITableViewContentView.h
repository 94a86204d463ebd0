#pragma once

// The scrolling face of a UITableView: it fills the table, asks the table's data source for the
// sections and cells, lays them out in the grouped look (UITableViewGroupedLayout) and scrolls
// them. A tap on a row (a touch that did not turn into a drag) highlights it and reaches the
// table's delegate through UITableView::tapRowAtIndexPath.
//
// Section titles come from the data source; a row's views (a switch, a slider) from its cell.
// As in UIKit, a row's cell is asked for only when the row comes near the visible area (a
// screenful either side): until then the row has the delegate's height for it, or the table's
// estimate, and when its cell arrives the rows below move to the cell's real height. A row above
// the visible area that changes height moves the content offset with it, so what is on screen
// stays put. A long list therefore costs a screenful of cells to show, not a cell per row; and
// rows that scrolling leaves far behind (more than three screenfuls away) give their cells up,
// keeping their heights, so a list scrolled from end to end holds a few screenfuls of cells, not
// all of them. A row being touched or holding the text field being edited keeps its cell.
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

    // Rebuilds the rows when the table was reloaded or resized since the last look, and makes the
    // cells of the rows that scrolling has brought near the view; answers whether anything
    // changed.
    bool syncWithTable(bool force = false);
    // The row's frame in the content's coordinates (by its estimated height until its cell is
    // made), or nullopt.
    std::optional<CGRect> rectForRowAtIndexPath(NSIndexPath indexPath) const;
    std::optional<NSIndexPath> indexPathForRowAtPoint(CGPoint p) const;
    // The row's cell, or null when the row has none yet (it is far from the view).
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(NSIndexPath indexPath) const;
    // The rows that have cells, in order.
    std::vector<std::pair<NSIndexPath, std::shared_ptr<UITableViewCell>>> visibleRows() const;
    // Makes every row's cell, for a caller that looks rows up by what they show (a script's
    // `tap "ROW"`); answers whether any was missing.
    bool loadAllRows();

    bool touchBegan(CGPoint p) override;
    void touchMoved(CGPoint p) override;
    void touchEnded(CGPoint p) override;
    void touchCancelled() override;

protected:
    explicit UITableViewContentView(CGRect frame) : UIScrollView(frame) {}

private:
    using Row = UITableViewGroupedLayout::RowBox;

    void rebuild(UITableView& table, CGFloat width);
    enum class Reach {
        NearView,       // the rows that meet loadArea(); rows above the view move the offset
        DownToNearView, // every row from the top down to there; the offset stays (after a reload)
        All,            // every row; rows above the view move the offset
    };
    // Makes the cells of the rows in reach and places everything again, until every row in reach
    // (which moves as rows find their heights) has its cell; answers whether any cell was made.
    bool loadRows(Reach reach);
    void loadRow(UITableView& table, std::size_t index);
    // Gives up the cells of rows outside keepArea(), but for a touched row and the row whose text
    // field is being edited.
    void unloadFarRows();
    CGRect keepArea() const;
    void placeRows();
    std::optional<std::size_t> rowIndex(NSIndexPath indexPath) const;
    void highlight(std::optional<NSIndexPath> row);
    // The part of the content worth having cells for now: the visible rows and a screenful
    // either side.
    CGRect loadArea() const;

    std::weak_ptr<UITableView> table_;
    std::uint64_t builtReload_ = ~std::uint64_t{0};
    CGFloat builtWidth_ = -1;
    std::vector<UITableViewGroupedLayout::SectionBox> sections_;
    std::vector<Row> rows_;
    struct RowState {
        NSIndexPath path;
        bool loaded = false; // its cell was asked for (a data source may answer none)
        bool sized = false;  // its height is known rather than estimated
    };
    std::vector<RowState> state_; // state_[i] is rows_[i]'s
    std::optional<NSIndexPath> touchedRow_;
    CGPoint touchStart_{};
    bool moved_ = false;
};
