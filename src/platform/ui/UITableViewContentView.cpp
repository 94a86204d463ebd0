#include "platform/ui/UITableViewContentView.h"

#include "platform/ui/UITextField.h"

#include <cmath>

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
    if (!force && builtReload_ == table->reloadCount() && builtWidth_ == tb.width())
        return dressRowsNearView();
    builtReload_ = table->reloadCount();
    builtWidth_ = tb.width();

    std::vector<UITableViewGroupedLayout::Section> sections;
    rows_.clear();
    std::int64_t count = table->numberOfSections();
    for (std::int64_t s = 0; s < count; ++s) {
        UITableViewGroupedLayout::Section section;
        section.header = table->titleForHeaderInSection(s);
        section.footer = table->titleForFooterInSection(s);
        section.footerAlignment = table->alignmentForFooterInSection(s);
        std::int64_t rows = table->numberOfRowsInSection(s);
        for (std::int64_t r = 0; r < rows; ++r) {
            NSIndexPath path = NSIndexPath::indexPathForRow(r, s);
            auto cell = table->cellForRowAtIndexPath(path);
            if (!cell)
                continue;
            section.cells.push_back(cell);
            rows_.emplace_back(path, cell);
        }
        sections.push_back(std::move(section));
    }
    pending_.clear();
    CGFloat height = UITableViewGroupedLayout::layout(*this, sections, tb.width(), dressArea(), &pending_);
    setContentSize(CGSizeMake(tb.width(), height));
    // A shorter list may leave the offset past its new end.
    UIView::performWithoutAnimation([&] { setContentOffset(clampedOffset(contentOffset())); });
    return true;
}

CGRect UITableViewContentView::dressArea() const {
    CGRect b = bounds();
    return CGRectMake(b.minX(), b.minY() - b.height(), b.width(), 3 * b.height());
}

bool UITableViewContentView::dressRowsNearView() {
    if (pending_.empty())
        return false;
    CGRect area = dressArea();
    std::size_t before = pending_.size();
    std::erase_if(pending_, [&](const UITableViewGroupedLayout::PendingRow& row) {
        CGRect f = row.cell->frame();
        if (f.maxY() <= area.minY() || f.minY() >= area.maxY())
            return false;
        UITableViewGroupedLayout::dressRow(*this, row, bounds().width());
        return true;
    });
    return pending_.size() != before;
}

std::optional<CGRect> UITableViewContentView::rectForRowAtIndexPath(NSIndexPath indexPath) const {
    for (const auto& [path, cell] : rows_)
        if (path == indexPath)
            return cell->frame();
    return std::nullopt;
}

std::shared_ptr<UITableViewCell> UITableViewContentView::cellForRowAtIndexPath(NSIndexPath indexPath) const {
    for (const auto& [path, cell] : rows_)
        if (path == indexPath)
            return cell;
    return nullptr;
}

std::optional<NSIndexPath> UITableViewContentView::indexPathForRowAtPoint(CGPoint p) const {
    for (const auto& [path, cell] : rows_)
        if (cell->frame().contains(p))
            return path;
    return std::nullopt;
}

void UITableViewContentView::highlight(std::optional<NSIndexPath> row) {
    for (const auto& [path, cell] : rows_) {
        bool on = row && *row == path;
        cell->setBackgroundColor(on ? UITableViewGroupedLayout::selectedRowBackgroundColor()
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
    if (moved_) {
        UIScrollView::touchEnded(p);
        return;
    }
    UIScrollView::touchCancelled();
    highlight(std::nullopt);
    auto row = indexPathForRowAtPoint(p);
    auto table = table_.lock();
    if (table && row && touchedRow_ && *row == *touchedRow_)
        table->tapRowAtIndexPath(*row);
}

void UITableViewContentView::touchCancelled() {
    highlight(std::nullopt);
    UIScrollView::touchCancelled();
}
