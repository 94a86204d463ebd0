#include "platform/ui/UITableViewGroupedLayout.h"

#include "platform/foundation/StringHelpers.h"
#include "platform/ui/UIGraphics.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/layers/CALayer.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {
constexpr CGFloat kHairline = 0.5;
constexpr CGFloat kFirstSectionGap = 35;
constexpr CGFloat kSectionGap = 20;
constexpr CGFloat kHeaderHeight = 38;
constexpr CGFloat kFooterTop = 7;
constexpr CGFloat kFooterBottom = 13;
constexpr std::int64_t kDressedTag = 0x5EC7;

// The glyph of an accessory type: the grey chevron of a disclosure, or the tinted check of a
// chosen row.
class AccessoryGlyph : public UIView {
public:
    static std::shared_ptr<AccessoryGlyph> create(UITableViewCellAccessoryType type) {
        bool check = type == UITableViewCellAccessoryCheckmark;
        auto v = std::shared_ptr<AccessoryGlyph>(new AccessoryGlyph(check));
        v->commonInit();
        return v;
    }
    std::string className() const override {
        return check_ ? "UITableViewCellCheckmark" : "UITableViewCellDisclosureIndicator";
    }
    bool drawsContent() const override { return true; }
    void drawRect(CGRect) override {
        CGContextRef c = UIGraphicsGetCurrentContext();
        CGContextSetLineWidth(c, 2);
        CGContextSetLineCap(c, kCGLineCapRound);
        CGContextSetLineJoin(c, kCGLineJoinRound);
        CGContextSetStrokeColorWithColor(
            c, check_ ? tintColor()->rgba
                      : UIColor::resolved(UIColor::colorWithRed(0.78, 0.78, 0.8, 1),
                                          UIColor::colorWithRed(0.353, 0.353, 0.369, 1))
                            .rgba);
        const CGPoint* points = check_ ? kCheck : kChevron;
        CGContextMoveToPoint(c, points[0].x, points[0].y);
        CGContextAddLineToPoint(c, points[1].x, points[1].y);
        CGContextAddLineToPoint(c, points[2].x, points[2].y);
        CGContextStrokePath(c);
    }

private:
    static constexpr CGPoint kChevron[3] = {{1.5, 1.5}, {6.5, 6.5}, {1.5, 11.5}};
    static constexpr CGPoint kCheck[3] = {{1.5, 6.5}, {5.5, 10.5}, {12.5, 1.5}};
    explicit AccessoryGlyph(bool check)
        : UIView(check ? CGRectMake(0, 0, 14, 12) : CGRectMake(0, 0, 8, 13)), check_(check) {}
    bool check_;
};
} // namespace

std::shared_ptr<UIView> UITableViewGroupedLayout::separator(CGFloat x, CGFloat width) {
    auto line = UIView::create(CGRectMake(x, 0, std::max<CGFloat>(0, width - x), kHairline));
    line->setBackgroundColor(separatorColor());
    line->setUserInteractionEnabled(false);
    return line;
}

CGFloat UITableViewGroupedLayout::separatorInset(const UITableViewCell& cell, bool lastInSection) {
    return lastInSection ? 0 : (cell.image() ? 2 * kInset + kIconSize : kInset);
}

CGFloat UITableViewGroupedLayout::heightForCell(const UITableViewCell& cell) {
    return cell.style() == UITableViewCellStyleSubtitle && !cell.detailText().empty() ? kSubtitleRowHeight
                                                                                      : kRowHeight;
}

void UITableViewGroupedLayout::dressCell(UITableViewCell& cell, CGFloat width, CGFloat height) {
    // A cell keeps the views it was dressed with; only its width changes on a later layout.
    for (const auto& s : std::vector<std::shared_ptr<UIView>>(cell.subviews()))
        if (s->tag() == kDressedTag)
            s->removeFromSuperview();
    cell.setFrame(CGRectMake(0, cell.frame().minY(), width, height));
    cell.setBackgroundColor(cell.isSelected() ? selectedRowBackgroundColor() : rowBackgroundColor());

    CGFloat x = kInset, right = width - kInset;
    if (cell.image()) {
        auto icon = UIImageView::create(CGRectMake(kInset, (height - kIconSize) / 2, kIconSize, kIconSize));
        icon->setImage(cell.image());
        icon->setContentMode(UIViewContentModeScaleAspectFit);
        icon->layer()->setCornerRadius(6.5);
        icon->setClipsToBounds(true);
        icon->setTag(kDressedTag);
        cell.addSubview(icon);
        x = kInset + kIconSize + kInset;
    }
    if (const auto& control = cell.fillingControl()) {
        CGRect f = control->frame();
        control->setFrame(CGRectMake(x, (height - f.height()) / 2, right - x, f.height()));
        control->setTag(kDressedTag);
        control->setUserInteractionEnabled(cell.isEnabled());
        control->setAlpha(cell.isEnabled() ? 1 : 0.5);
        cell.addSubview(control);
        return;
    }
    if (const auto& accessory = cell.accessoryView()) {
        CGRect f = accessory->frame();
        CGFloat w = std::min(f.width(), right - x);
        accessory->setFrame(CGRectMake(right - w, std::round((height - f.height()) / 2), w, f.height()));
        accessory->setTag(kDressedTag);
        accessory->setUserInteractionEnabled(cell.isEnabled());
        accessory->setAlpha(cell.isEnabled() ? 1 : 0.5);
        cell.addSubview(accessory);
        right = right - w - 8;
    } else if (cell.accessoryType() == UITableViewCellAccessoryDisclosureIndicator) {
        auto chevron = AccessoryGlyph::create(UITableViewCellAccessoryDisclosureIndicator);
        chevron->setFrame(CGRectMake(right - 8, (height - 13) / 2, 8, 13));
        chevron->setTag(kDressedTag);
        cell.addSubview(chevron);
        right -= 8 + 10;
    } else if (cell.accessoryType() == UITableViewCellAccessoryCheckmark) {
        auto check = AccessoryGlyph::create(UITableViewCellAccessoryCheckmark);
        check->setFrame(CGRectMake(right - 14, (height - 12) / 2, 14, 12));
        check->setTag(kDressedTag);
        cell.addSubview(check);
        right -= 14 + 10;
    }

    auto title = UILabel::create();
    title->setTag(kDressedTag);
    title->setText(cell.text());
    title->setFont(UIFont::systemFontOfSize(17));
    title->setTextColor(cell.isEnabled() ? cell.textColor() : std::optional<UIColor>(detailTextColor()));
    cell.addSubview(title);
    std::shared_ptr<UILabel> detail;
    if (!cell.detailText().empty()) {
        detail = UILabel::create();
        detail->setTag(kDressedTag);
        detail->setText(cell.detailText());
        cell.addSubview(detail);
    }
    if (cell.style() == UITableViewCellStyleSubtitle && detail) {
        detail->setFont(UIFont::systemFontOfSize(12));
        detail->setTextColor(cell.detailTextColor().value_or(UIColor::labelColor()));
        CGFloat th = std::ceil(title->font().lineHeight()), dh = std::ceil(detail->font().lineHeight());
        CGFloat top = std::round((height - th - dh - 2) / 2);
        title->setFrame(CGRectMake(x, top, right - x, th));
        detail->setFrame(CGRectMake(x, top + th + 2, right - x, dh));
        return;
    }
    CGFloat th = std::ceil(title->font().lineHeight());
    if (detail) {
        detail->setFont(UIFont::systemFontOfSize(17));
        detail->setTextColor(cell.detailTextColor().value_or(detailTextColor()));
        detail->setTextAlignment(NSTextAlignmentRight);
        CGFloat dw = std::min<CGFloat>(std::ceil(detail->sizeThatFits(CGSizeZero).width), (right - x) * 0.6);
        detail->setFrame(CGRectMake(right - dw, std::round((height - th) / 2), dw, th));
        right -= dw + 8;
    }
    title->setFrame(CGRectMake(x, std::round((height - th) / 2), std::max<CGFloat>(0, right - x), th));
}

std::shared_ptr<UILabel> UITableViewGroupedLayout::sectionLabel(const std::string& text, bool header,
                                                                CGFloat width) {
    auto label = UILabel::create();
    label->setText(header ? uppercased(text) : text);
    label->setFont(UIFont::systemFontOfSize(13));
    label->setTextColor(secondaryTextColor());
    // Headers and footers wrap: a long header pushes its section down.
    label->setNumberOfLines(0);
    CGFloat w = width - 2 * kInset;
    CGSize s = label->sizeThatFits(CGSizeMake(w, 0));
    label->setFrame(CGRectMake(kInset, 0, w, std::ceil(s.height)));
    label->setUserInteractionEnabled(false);
    return label;
}

namespace {
// Moves `view` to `y` (and `x`), leaving a view already there untouched.
void moveTo(UIView& view, CGFloat x, CGFloat y) {
    CGRect f = view.frame();
    if (f.minX() != x || f.minY() != y)
        view.setFrame(CGRectMake(x, y, f.width(), f.height()));
}
} // namespace

CGFloat UITableViewGroupedLayout::place(const std::vector<SectionBox>& sections, std::vector<RowBox>& rows,
                                        CGFloat width) {
    CGFloat y = 0;
    std::size_t next = 0;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const SectionBox& section = sections[i];
        if (section.headerView) {
            y += i == 0 ? 0 : kSectionGap;
            moveTo(*section.headerView, 0, y);
            y += section.headerView->frame().height();
        } else if (section.header) {
            UILabel& label = *section.header;
            CGFloat extraLines =
                std::max<CGFloat>(0, label.frame().height() - std::ceil(label.font().lineHeight()));
            y += (i == 0 ? kHeaderHeight - 10 + kFirstSectionGap - kSectionGap : kHeaderHeight) + extraLines;
            moveTo(label, kInset, y - 7 - label.frame().height());
        } else {
            y += i == 0 ? kFirstSectionGap : kSectionGap;
        }
        if (section.topLine)
            moveTo(*section.topLine, 0, y - kHairline);
        for (std::size_t r = 0; r < section.rowCount && next < rows.size(); ++r, ++next) {
            RowBox& row = rows[next];
            row.y = y;
            y += row.height;
            if (row.cell) {
                CGRect f = row.cell->frame();
                if (f.minY() != row.y || f.height() != row.height || f.width() != width)
                    row.cell->setFrame(CGRectMake(0, row.y, width, row.height));
            }
            if (row.separator)
                moveTo(*row.separator, row.separator->frame().minX(), y - (row.last ? 0 : kHairline));
        }
        if (section.footer) {
            moveTo(*section.footer, kInset, y + kFooterTop);
            y = section.footer->frame().maxY() + kFooterBottom - kSectionGap + 10;
        }
    }
    return y + kSectionGap;
}
