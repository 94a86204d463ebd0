#include "platform/ui/UITableView.h"

#include <cmath>

std::shared_ptr<UITableView> UITableView::create(CGRect frame, UITableViewStyle style) {
    auto table = std::shared_ptr<UITableView>(new UITableView(frame, style));
    table->commonInit();
    return table;
}

void UITableView::reloadData() {
    selected_.reset();
    ++reloadCount_;
    setNeedsLayout();
    setNeedsDisplay();
}

std::int64_t UITableView::numberOfSections() {
    auto source = dataSource();
    if (!source)
        return 0;
    return source->numberOfSectionsInTableView(std::static_pointer_cast<UITableView>(shared_from_this()));
}

std::int64_t UITableView::numberOfRowsInSection(std::int64_t section) {
    auto source = dataSource();
    if (!source || section < 0 || section >= numberOfSections())
        return 0;
    return source->numberOfRowsInSection(std::static_pointer_cast<UITableView>(shared_from_this()), section);
}

std::optional<std::string> UITableView::titleForHeaderInSection(std::int64_t section) {
    auto source = dataSource();
    if (!source)
        return std::nullopt;
    return source->titleForHeaderInSection(std::static_pointer_cast<UITableView>(shared_from_this()),
                                           section);
}

std::shared_ptr<UIView> UITableView::viewForHeaderInSection(std::int64_t section, CGFloat width) {
    auto d = delegate();
    if (!d)
        return nullptr;
    return d->viewForHeaderInSection(std::static_pointer_cast<UITableView>(shared_from_this()), section,
                                     width);
}

std::optional<std::string> UITableView::titleForFooterInSection(std::int64_t section) {
    auto source = dataSource();
    if (!source)
        return std::nullopt;
    return source->titleForFooterInSection(std::static_pointer_cast<UITableView>(shared_from_this()),
                                           section);
}

NSTextAlignment UITableView::alignmentForFooterInSection(std::int64_t section) {
    auto source = dataSource();
    if (!source)
        return NSTextAlignmentNatural;
    return source->alignmentForFooterInSection(std::static_pointer_cast<UITableView>(shared_from_this()),
                                               section);
}

std::optional<CGFloat> UITableView::heightForRowAtIndexPath(NSIndexPath indexPath) {
    auto delegate = this->delegate();
    if (!delegate)
        return std::nullopt;
    auto height = delegate->heightForRowAtIndexPath(std::static_pointer_cast<UITableView>(shared_from_this()),
                                                    indexPath);
    if (height && (!std::isfinite(*height) || *height < 0))
        return std::nullopt; // a negative, infinite or NaN height is no answer
    return height;
}

bool UITableView::contains(NSIndexPath indexPath) {
    return indexPath.row >= 0 && indexPath.row < numberOfRowsInSection(indexPath.section);
}

std::shared_ptr<UITableViewCell> UITableView::cellForRowAtIndexPath(NSIndexPath indexPath) {
    if (!contains(indexPath))
        return nullptr;
    auto cell = dataSource()->cellForRowAtIndexPath(std::static_pointer_cast<UITableView>(shared_from_this()),
                                                    indexPath);
    if (cell)
        cell->setSelected(selected_ == indexPath);
    return cell;
}

void UITableView::selectRowAtIndexPath(NSIndexPath indexPath, bool /*animated*/) {
    if (contains(indexPath))
        selected_ = indexPath;
}

void UITableView::deselectRowAtIndexPath(NSIndexPath indexPath, bool /*animated*/) {
    if (selected_ == indexPath)
        selected_.reset();
}

void UITableView::tapRowAtIndexPath(NSIndexPath indexPath) {
    if (!contains(indexPath))
        return;
    selected_ = indexPath;
    if (auto d = delegate())
        d->didSelectRowAtIndexPath(std::static_pointer_cast<UITableView>(shared_from_this()), indexPath);
}
