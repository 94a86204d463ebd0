#pragma once

// How a table's rows look and where they go, in the iOS Settings look (the grouped style): a
// light grey ground (black in the dark style); each section's header in small grey capitals above
// its rows; the rows as white (dark grey) full-width bands with hairline separators (inset past the icon inside a section, full
// width at its top and bottom); the footer in grey wrapped text under them. A row shows its
// 29-point icon at the left, its title, its detail (at the right in grey, or under the title
// for the subtitle style) and its accessory (a control, or a disclosure chevron).
//
// The table gathers its sections and cells from its data source and hands them here; keeping
// the look apart from the data source makes it testable with plain cells.
//
//     std::vector<UITableViewGroupedLayout::Section> sections = ...;
//     CGFloat height = UITableViewGroupedLayout::layout(*contentView, sections, 375);

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

    struct Section {
        std::optional<std::string> header;
        std::optional<std::string> footer;
        NSTextAlignment footerAlignment = NSTextAlignmentNatural;
        std::vector<std::shared_ptr<UITableViewCell>> cells;
    };

    // A row placed but not yet dressed: it becomes a subview when it comes near the visible area.
    struct PendingRow {
        std::shared_ptr<UITableViewCell> cell;
        CGFloat hairlineInset = 0;
        CGFloat hairlineY = 0;
    };

    // Lays the sections out as subviews of `content` (which it empties first), `width` wide,
    // from y = 0; answers the height of all of it. Cells become subviews at their rows. With a
    // `dressArea` and `pending`, only rows that meet the area are dressed and added; the others
    // get their frames and wait in `pending` (dressRow), so a long list costs little until it is
    // scrolled.
    static CGFloat layout(UIView& content, const std::vector<Section>& sections, CGFloat width,
                          const std::optional<CGRect>& dressArea = std::nullopt,
                          std::vector<PendingRow>* pending = nullptr);
    // Dresses a row that `layout` left pending and adds it, with its separator, to `content`.
    static void dressRow(UIView& content, const PendingRow& row, CGFloat width);
    static CGFloat heightForCell(const UITableViewCell& cell);
    // Builds the cell's own subviews (labels, icon, accessory) for a row `width` wide.
    static void dressCell(UITableViewCell& cell, CGFloat width);

private:
    static std::shared_ptr<UILabel> sideLabel(const std::string& text, bool header, CGFloat width);
};
