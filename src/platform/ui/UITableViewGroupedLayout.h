#pragma once

// How a table's rows look and where they go, in the iOS Settings look (the grouped style): a
// light grey ground (black in the dark style); each section's header in small grey capitals above
// its rows; the rows as white (dark grey) full-width bands with hairline separators (inset past the icon inside a section, full
// width at its top and bottom); the footer in grey wrapped text under them. A row shows its
// 29-point icon at the left, its title, its detail (at the right in grey, or under the title
// for the subtitle style) and its accessory (a control, or a disclosure chevron).
//
// The table's content view (UITableViewContentView) asks the data source and makes the views;
// this says what they look like and where they go, so the look is testable with plain cells.
//
//     UITableViewGroupedLayout::dressCell(*cell, 375, UITableViewGroupedLayout::heightForCell(*cell));
//     CGFloat height = UITableViewGroupedLayout::place(sections, rows, 375);

#include "platform/ui/UILabel.h"
#include "platform/ui/UITableViewCell.h"
#include "platform/ui/UIView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class UITableViewGroupedLayout {
public:
    static constexpr CGFloat kRowHeight = 44;
    static constexpr CGFloat kSubtitleRowHeight = 58;
    static constexpr CGFloat kIconSize = 29;
    static constexpr CGFloat kInset = 15;

    // The look's colours, for the current interface style (UITraitCollection).
    static UIColor groupedBackgroundColor() { return UIColor::systemGroupedBackgroundColor(); }
    static UIColor rowBackgroundColor() { return UIColor::secondarySystemGroupedBackgroundColor(); }
    static UIColor selectedRowBackgroundColor() { return UIColor::systemFillHighlightColor(); }
    static UIColor separatorColor() { return UIColor::separatorColor(); }
    static UIColor secondaryTextColor() { return UIColor::secondaryLabelColor(); }
    static UIColor detailTextColor() { return UIColor::tertiaryLabelColor(); }

    // A section's parts for `place`: its header and footer labels (sectionLabel; null: none), the
    // hairline over its first row (null when it has no rows), and how many rows it has.
    struct SectionBox {
        std::shared_ptr<UILabel> header;
        // A header view of the delegate's, in place of the header label: placed at the section's
        // top, across the table, as high as its frame.
        std::shared_ptr<UIView> headerView;
        std::shared_ptr<UILabel> footer;
        std::shared_ptr<UIView> topLine;
        std::size_t rowCount = 0;
    };
    // A row for `place`: its height (the cell's, the delegate's, or an estimate until the cell is
    // made), its cell and separator once made (null before), whether it ends its section, and the
    // top that `place` gives it.
    struct RowBox {
        CGFloat height = 0;
        std::shared_ptr<UITableViewCell> cell;
        std::shared_ptr<UIView> separator;
        bool last = false;
        CGFloat y = 0;
    };

    // Places the sections' labels and lines and the rows' cells and separators, `width` wide from
    // y = 0, in the sections' order; `rows` holds every section's rows in order, and each gets its
    // top. Views are only moved, never added. Answers the height of all of it. Cheap: a long list
    // is placed again each time a row's height becomes known.
    static CGFloat place(const std::vector<SectionBox>& sections, std::vector<RowBox>& rows, CGFloat width);
    // A section's header (in capitals) or footer, wrapped to the table's `width`, at y = 0.
    static std::shared_ptr<UILabel> sectionLabel(const std::string& text, bool header, CGFloat width);
    // A hairline separator from `x` across a table `width` wide (placed by `place`).
    static std::shared_ptr<UIView> separator(CGFloat x, CGFloat width);
    // Where a row's separator starts: past the icon inside a section, the full width at its end.
    static CGFloat separatorInset(const UITableViewCell& cell, bool lastInSection);
    static CGFloat heightForCell(const UITableViewCell& cell);
    // Builds the cell's own subviews (labels, icon, accessory) for a row `width` wide and `height`
    // high (heightForCell's, or what the table's delegate gave the row), centred in it.
    static void dressCell(UITableViewCell& cell, CGFloat width, CGFloat height);
};
