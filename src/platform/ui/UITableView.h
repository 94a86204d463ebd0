#pragma once

// A list of rows in sections (UITableView) as a model: it asks its data source for sections,
// rows and cells, keeps the selection, and tells its delegate when the user selects a row. The
// data source and the delegate are weak, as in UIKit. Drawing the rows comes later; the table is
// a view so that controllers can lay other views over it.
//
//     table->setDataSource(controller);
//     table->reloadData();
//     table->numberOfRowsInSection(0);

#include "platform/ui/NSIndexPath.h"
#include "platform/ui/UITableViewCell.h"
#include "platform/ui/UITableViewDataSource.h"
#include "platform/ui/UITableViewDelegate.h"
#include "platform/ui/UIView.h"

#include <cstdint>
#include <memory>
#include <optional>

enum UITableViewStyle : std::int64_t {
    UITableViewStylePlain = 0,
    UITableViewStyleGrouped = 1,
};

enum UIScrollViewKeyboardDismissMode : std::int64_t {
    UIScrollViewKeyboardDismissModeNone = 0,
    UIScrollViewKeyboardDismissModeOnDrag = 1,
    UIScrollViewKeyboardDismissModeInteractive = 2,
};

class UITableView : public UIView {
public:
    static std::shared_ptr<UITableView> create(CGRect frame, UITableViewStyle style = UITableViewStylePlain);

    std::string className() const override { return "UITableView"; }

    UITableViewStyle style() const { return style_; }

    std::shared_ptr<UITableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<UITableViewDataSource>& dataSource) { dataSource_ = dataSource; }
    std::shared_ptr<UITableViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UITableViewDelegate>& delegate) { delegate_ = delegate; }

    UIScrollViewKeyboardDismissMode keyboardDismissMode() const { return keyboardDismissMode_; }
    void setKeyboardDismissMode(UIScrollViewKeyboardDismissMode mode) { keyboardDismissMode_ = mode; }

    // The height a row is given until its cell is made (UIKit's estimatedRowHeight), when the
    // delegate gives none: rows far from the view are placed by it, and move when they come near.
    CGFloat estimatedRowHeight() const { return estimatedRowHeight_; }
    void setEstimatedRowHeight(CGFloat height) { estimatedRowHeight_ = height > 0 ? height : 44; }
    // The delegate's height for the row, or nothing.
    std::optional<CGFloat> heightForRowAtIndexPath(NSIndexPath indexPath);

    // Drops the selection and asks the data source afresh from now on.
    void reloadData();
    // How often reloadData ran (hosts and tests watch it).
    std::uint64_t reloadCount() const { return reloadCount_; }

    // Answers from the data source (0 without one).
    std::int64_t numberOfSections();
    std::int64_t numberOfRowsInSection(std::int64_t section);
    // The data source's cell for the row, or null when the row does not exist.
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(NSIndexPath indexPath);
    // The data source's section titles (none without a data source or a title).
    std::optional<std::string> titleForHeaderInSection(std::int64_t section);
    std::optional<std::string> titleForFooterInSection(std::int64_t section);
    NSTextAlignment alignmentForFooterInSection(std::int64_t section);
    // The delegate's header view for the section, `width` wide (null: none; the title shows).
    std::shared_ptr<UIView> viewForHeaderInSection(std::int64_t section, CGFloat width);

    // Selection as code sets it: the delegate is not told (as in UIKit).
    void selectRowAtIndexPath(NSIndexPath indexPath, bool animated);
    void deselectRowAtIndexPath(NSIndexPath indexPath, bool animated);
    std::optional<NSIndexPath> indexPathForSelectedRow() const { return selected_; }

    // A user's tap on a row: it becomes selected and the delegate hears didSelectRowAtIndexPath.
    // A tap on a row that does not exist does nothing.
    void tapRowAtIndexPath(NSIndexPath indexPath);

protected:
    UITableView(CGRect frame, UITableViewStyle style) : UIView(frame), style_(style) {}

private:
    bool contains(NSIndexPath indexPath);

    UITableViewStyle style_;
    std::weak_ptr<UITableViewDataSource> dataSource_;
    std::weak_ptr<UITableViewDelegate> delegate_;
    UIScrollViewKeyboardDismissMode keyboardDismissMode_ = UIScrollViewKeyboardDismissModeNone;
    std::optional<NSIndexPath> selected_;
    std::uint64_t reloadCount_ = 0;
    CGFloat estimatedRowHeight_ = 44;
};
