#pragma once

// The pieces the HB framework's cells draw beyond the stock cell: the compass glyph its link
// cells show as their accessory, the icon box of a link cell that shows a remote icon or initials
// (drawn as an image, so the table places it where every row's icon goes), and a cell that can
// hold a larger icon or a view across its whole face.
//
//     auto cell = HBTableCell::create(UITableViewCellStyleSubtitle, "HBLinkTableCell");
//     cell->setImage(HBCellViews::iconBox(40, HBIconShape::Squircle, "JD"));
//     cell->setIconSide(40);
//     cell->setAccessoryView(HBCellViews::compassGlyph());

#include "platform/ui/UIImage.h"
#include "platform/ui/UITableViewCell.h"

#include <memory>
#include <string>

enum class HBIconShape { Squircle, Circle };

class HBCellViews {
public:
    // The icon size of a standard row, and of a "big" one.
    static constexpr CGFloat kIconSide = 29;
    static constexpr CGFloat kBigIconSide = 40;

    // A compass in system grey 3: a ring with a needle across it, 20 points square.
    static std::shared_ptr<UIView> compassGlyph();
    // An icon box `side` points square at the screen's scale: 90% white, or 70% white under
    // `initials` in white 13 point text, shaped as an app icon or a circle.
    static std::shared_ptr<UIImage> iconBox(CGFloat side, HBIconShape shape,
                                            const std::string& initials = {});

    // System grey 3, light or dark.
    static UIColor compassColor() {
        return UIColor::resolved(UIColor::colorWithRed(0.78, 0.78, 0.8, 1),
                                 UIColor::colorWithRed(0.282, 0.282, 0.290, 1));
    }
    static UIColor iconBoxColor() { return UIColor::colorWithWhite(0.9, 1); }
    static UIColor initialsBoxColor() { return UIColor::colorWithWhite(0.7, 1); }
};

// A table cell that the table dresses as any other, then adjusts when it lays out: its icon drawn
// `iconSide` points square (the table's rows show 29) with the texts moved past it, a subtitle
// wrapped onto as many lines as the row has room for, and a view of its own across its whole face
// over a clear ground (an image row).
class HBTableCell : public UITableViewCell {
public:
    static std::shared_ptr<HBTableCell> create(UITableViewCellStyle style, std::string reuseIdentifier);

    std::string className() const override { return "HBTableCell"; }

    CGFloat iconSide() const { return iconSide_; }
    void setIconSide(CGFloat side) { iconSide_ = side; }
    // The view across the cell; the cell's ground turns clear while it has one.
    const std::shared_ptr<UIView>& faceView() const { return faceView_; }
    void setFaceView(std::shared_ptr<UIView> view);

    // Whether the subtitle may take several lines (a "big" link row).
    bool wrapsDetail() const { return wrapsDetail_; }
    void setWrapsDetail(bool wraps) { wrapsDetail_ = wraps; }

    void layoutSubviews() override;

protected:
    HBTableCell(UITableViewCellStyle style, std::string reuseIdentifier)
        : UITableViewCell(style, std::move(reuseIdentifier)) {}

private:
    void growIcon();
    void wrapDetail();

    bool wrapsDetail_ = false;
    CGFloat iconSide_ = HBCellViews::kIconSide;
    std::shared_ptr<UIView> faceView_;
};
