#include "platform/ui/UITableViewContentView.h"

#include "platform/ui/UITextField.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
constexpr std::int64_t kContentTag = 0x7AB1E;
constexpr CGFloat kDragSlop = 8;
} // namespace

std::shared_ptr<UITableViewContentView> UITableViewContentView::of(const UITableView& table) {
    for (const auto& s : table.subviews())
        if (s->tag() == kContentTag)
            if (auto face = std::dynamic_pointer_cast<UITableViewContentView>(s))
                return face;
    return nullptr;
}

std::shared_ptr<UITableViewContentView>
UITableViewContentView::attach(const std::shared_ptr<UITableView>& table) {
    if (!table)
        return nullptr;
    if (auto face = of(*table))
        return face;
    auto face = std::shared_ptr<UITableViewContentView>(new UITableViewContentView(table->bounds()));
    face->commonInit();
    face->setTag(kContentTag);
    face->table_ = table;
    face->setBackgroundColor(table->style() == UITableViewStyleGrouped
                                 ? UITableViewGroupedLayout::groupedBackgroundColor()
                                 : UIColor::systemBackgroundColor());
    table->insertSubview(face, 0);
    face->syncWithTable(true);
    return face;
}

bool UITableViewContentView::syncWithTable(bool force) {
    auto table = table_.lock();
    if (!table)
        return false;
    CGRect tb = table->bounds();
    if (bounds().size != tb.size) {
        CGRect b = bounds();
        b.size = tb.size;
        UIView::performWithoutAnimation([&] {
            setBounds(b);
            setCenter(CGPointMake(tb.midX(), tb.midY()));
        });
    }
    if (!force && builtReload_ == table->reloadCount() && builtWidth_ == tb.width()) {
        if (!loadRows(Reach::NearView))
            return false;
        unloadFarRows();
        return true;
    }
    builtReload_ = table->reloadCount();
    builtWidth_ = tb.width();
    rebuild(*table, tb.width());
    // After a reload the offset stays, as in UIKit, over rows placed exactly: every row above the
    // view gets its cell too.
    loadRows(Reach::DownToNearView);
    // A shorter list may leave the offset past its new end.
    UIView::performWithoutAnimation([&] { setContentOffset(clampedOffset(contentOffset())); });
    return true;
}

void UITableViewContentView::rebuild(UITableView& table, CGFloat width) {
    for (const auto& s : std::vector<std::shared_ptr<UIView>>(subviews()))
        s->removeFromSuperview();
    sections_.clear();
    rows_.clear();
    state_.clear();
    const CGFloat estimate = table.estimatedRowHeight();
    std::int64_t count = table.numberOfSections();
    for (std::int64_t s = 0; s < count; ++s) {
        UITableViewGroupedLayout::SectionBox section;
        auto label = [&](const std::optional<std::string>& text, bool header) -> std::shared_ptr<UILabel> {
            if (!text || text->empty())
                return nullptr;
            auto view = UITableViewGroupedLayout::sectionLabel(*text, header, width);
            addSubview(view);
            return view;
        };
        if (auto view = table.viewForHeaderInSection(s, width)) {
            addSubview(view);
            section.headerView = std::move(view);
        } else {
            section.header = label(table.titleForHeaderInSection(s), true);
        }
        auto footer = label(table.titleForFooterInSection(s), false);
        if (footer)
            footer->setTextAlignment(table.alignmentForFooterInSection(s));
        section.footer = footer;
        std::int64_t rows = std::max<std::int64_t>(0, table.numberOfRowsInSection(s));
        section.rowCount = static_cast<std::size_t>(rows);
        if (rows > 0) {
            section.topLine = UITableViewGroupedLayout::separator(0, width);
            addSubview(section.topLine);
        }
        for (std::int64_t r = 0; r < rows; ++r) {
            NSIndexPath path = NSIndexPath::indexPathForRow(r, s);
            auto height = table.heightForRowAtIndexPath(path);
            Row row;
            row.height = height.value_or(estimate);
            row.last = r + 1 == rows;
            rows_.push_back(std::move(row));
            state_.push_back({path, false, height.has_value()});
        }
        sections_.push_back(std::move(section));
    }
    placeRows();
}

void UITableViewContentView::placeRows() {
    CGFloat height = UITableViewGroupedLayout::place(sections_, rows_, builtWidth_);
    setContentSize(CGSizeMake(builtWidth_, height));
}

CGRect UITableViewContentView::loadArea() const {
    CGRect b = bounds();
    return CGRectMake(b.minX(), b.minY() - b.height(), b.width(), 3 * b.height());
}

void UITableViewContentView::loadRow(UITableView& table, std::size_t index) {
    Row& row = rows_[index];
    RowState& state = state_[index];
    state.loaded = true;
    row.cell = table.cellForRowAtIndexPath(state.path);
    if (!row.cell) {
        // A data source that answers no cell gets an empty row.
        if (!state.sized)
            row.height = 0;
        state.sized = true;
        return;
    }
    if (!state.sized)
        row.height = UITableViewGroupedLayout::heightForCell(*row.cell);
    state.sized = true;
    row.cell->setFrame(CGRectMake(0, row.y, builtWidth_, row.height));
    UITableViewGroupedLayout::dressCell(*row.cell, builtWidth_, row.height);
    addSubview(row.cell);
    row.separator = UITableViewGroupedLayout::separator(
        UITableViewGroupedLayout::separatorInset(*row.cell, row.last), builtWidth_);
    addSubview(row.separator);
}

CGRect UITableViewContentView::keepArea() const {
    CGRect b = bounds();
    return CGRectMake(b.minX(), b.minY() - 3 * b.height(), b.width(), 7 * b.height());
}

void UITableViewContentView::unloadFarRows() {
    const CGRect keep = keepArea();
    auto field = UITextField::focusedTextField();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        if (!state_[i].loaded || (row.y + row.height > keep.minY() && row.y < keep.maxY()))
            continue;
        if (touchedRow_ == state_[i].path || (field && row.cell && field->isDescendantOfView(row.cell.get())))
            continue;
        if (row.cell)
            row.cell->removeFromSuperview();
        if (row.separator)
            row.separator->removeFromSuperview();
        row.cell.reset();
        row.separator.reset();
        // The height stays known: the row keeps its place, and asks for a cell again if it comes
        // back near the view.
        state_[i].loaded = false;
    }
}

bool UITableViewContentView::loadRows(Reach reach) {
    auto table = table_.lock();
    if (!table || rows_.empty())
        return false;
    bool any = false;
    // Each round makes the cells of the rows in the area and places everything again; a row that
    // turns out shorter than its estimate can bring more rows into the area, so repeat until none
    // is new. Every round makes at least one cell, so this ends.
    const bool keepViewStill = reach != Reach::DownToNearView;
    for (;;) {
        std::optional<CGRect> area;
        if (reach == Reach::NearView)
            area = loadArea();
        else if (reach == Reach::DownToNearView)
            area = CGRectMake(0, 0, builtWidth_, loadArea().maxY());
        const CGFloat top = contentOffset().y;
        CGFloat shift = 0;
        bool made = false;
        // Rows are in order of their tops: the first that can meet the area is found by halving.
        std::size_t i = 0;
        if (area) {
            auto first = std::partition_point(rows_.begin(), rows_.end(), [&](const Row& row) {
                return row.y + row.height <= area->minY();
            });
            i = static_cast<std::size_t>(first - rows_.begin());
        }
        for (; i < rows_.size(); ++i) {
            if (area && rows_[i].y >= area->maxY())
                break;
            if (state_[i].loaded)
                continue;
            CGFloat estimated = rows_[i].height;
            loadRow(*table, i);
            made = true;
            if (keepViewStill && rows_[i].y + estimated <= top)
                shift += rows_[i].height - estimated;
        }
        if (!made)
            break;
        any = true;
        placeRows();
        if (shift != 0)
            contentAboveMovedBy(shift);
    }
    return any;
}

bool UITableViewContentView::loadAllRows() {
    return loadRows(Reach::All);
}

std::optional<std::size_t> UITableViewContentView::rowIndex(NSIndexPath indexPath) const {
    auto it = std::lower_bound(state_.begin(), state_.end(), indexPath, [](const RowState& s, NSIndexPath p) {
        return s.path.section != p.section ? s.path.section < p.section : s.path.row < p.row;
    });
    if (it == state_.end() || it->path != indexPath)
        return std::nullopt;
    return static_cast<std::size_t>(it - state_.begin());
}

std::optional<CGRect> UITableViewContentView::rectForRowAtIndexPath(NSIndexPath indexPath) const {
    auto i = rowIndex(indexPath);
    if (!i)
        return std::nullopt;
    return CGRectMake(0, rows_[*i].y, builtWidth_, rows_[*i].height);
}

std::shared_ptr<UITableViewCell> UITableViewContentView::cellForRowAtIndexPath(NSIndexPath indexPath) const {
    auto i = rowIndex(indexPath);
    return i ? rows_[*i].cell : nullptr;
}

std::vector<std::pair<NSIndexPath, std::shared_ptr<UITableViewCell>>>
UITableViewContentView::visibleRows() const {
    std::vector<std::pair<NSIndexPath, std::shared_ptr<UITableViewCell>>> result;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].cell)
            result.emplace_back(state_[i].path, rows_[i].cell);
    return result;
}

std::optional<NSIndexPath> UITableViewContentView::indexPathForRowAtPoint(CGPoint p) const {
    if (p.x < 0 || p.x >= builtWidth_)
        return std::nullopt;
    auto it = std::partition_point(rows_.begin(), rows_.end(),
                                   [&](const Row& row) { return row.y + row.height <= p.y; });
    if (it == rows_.end() || it->y > p.y || it->height <= 0)
        return std::nullopt;
    return state_[static_cast<std::size_t>(it - rows_.begin())].path;
}

void UITableViewContentView::highlight(std::optional<NSIndexPath> row) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!rows_[i].cell)
            continue;
        bool on = row && *row == state_[i].path;
        rows_[i].cell->setBackgroundColor(on ? UITableViewGroupedLayout::selectedRowBackgroundColor()
                                             : UITableViewGroupedLayout::rowBackgroundColor());
    }
}

bool UITableViewContentView::touchBegan(CGPoint p) {
    touchStart_ = CGPointMake(p.x - contentOffset().x, p.y - contentOffset().y);
    moved_ = false;
    touchedRow_ = indexPathForRowAtPoint(p);
    highlight(touchedRow_);
    return UIScrollView::touchBegan(p);
}

void UITableViewContentView::touchMoved(CGPoint p) {
    CGPoint finger = CGPointMake(p.x - contentOffset().x, p.y - contentOffset().y);
    if (!moved_ && std::hypot(finger.x - touchStart_.x, finger.y - touchStart_.y) > kDragSlop) {
        moved_ = true;
        highlight(std::nullopt);
        auto table = table_.lock();
        if (table && table->keyboardDismissMode() != UIScrollViewKeyboardDismissModeNone)
            if (auto field = UITextField::focusedTextField())
                field->resignFirstResponder();
    }
    if (moved_)
        UIScrollView::touchMoved(p);
}

void UITableViewContentView::touchEnded(CGPoint p) {
    auto touched = std::exchange(touchedRow_, std::nullopt);
    if (moved_) {
        UIScrollView::touchEnded(p);
        return;
    }
    UIScrollView::touchCancelled();
    highlight(std::nullopt);
    auto row = indexPathForRowAtPoint(p);
    auto table = table_.lock();
    if (table && row && touched && *row == *touched)
        table->tapRowAtIndexPath(*row);
}

void UITableViewContentView::touchCancelled() {
    touchedRow_.reset();
    highlight(std::nullopt);
    UIScrollView::touchCancelled();
}
