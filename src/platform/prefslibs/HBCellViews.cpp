#include "platform/prefslibs/HBCellViews.h"

#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/UIGraphics.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/layers/CALayer.h"

#include <cmath>
#include <numbers>

namespace {

// The app-icon outline's corner, as a share of its side.
constexpr CGFloat kSquircleCorner = 0.225;

class CompassGlyph : public UIView {
public:
    static constexpr CGFloat kSide = 20;
    static std::shared_ptr<CompassGlyph> create() {
        auto v = std::shared_ptr<CompassGlyph>(new CompassGlyph());
        v->commonInit();
        v->setUserInteractionEnabled(false);
        return v;
    }
    std::string className() const override { return "HBLinkTableCellCompassGlyph"; }
    bool drawsContent() const override { return true; }
    void drawRect(CGRect) override {
        CGContextRef c = UIGraphicsGetCurrentContext();
        const CGFloat mid = kSide / 2, radius = kSide / 2 - 1;
        const UIColor colour = HBCellViews::compassColor();
        CGContextSetStrokeColorWithColor(c, colour.rgba);
        CGContextSetFillColorWithColor(c, colour.rgba);
        CGContextSetLineWidth(c, 1.5);
        CGContextStrokeEllipseInRect(c, CGRectMake(mid - radius, mid - radius, 2 * radius, 2 * radius));
        // The needle points to the north-east: a slim diamond through the centre.
        const CGFloat angle = std::numbers::pi / 4, reach = radius - 3, width = 2.5;
        CGPoint tip{mid + reach * std::cos(angle), mid - reach * std::sin(angle)};
        CGPoint tail{mid - reach * std::cos(angle), mid + reach * std::sin(angle)};
        CGPoint left{mid - width * std::sin(angle), mid - width * std::cos(angle)};
        CGPoint right{mid + width * std::sin(angle), mid + width * std::cos(angle)};
        CGContextMoveToPoint(c, tip.x, tip.y);
        CGContextAddLineToPoint(c, left.x, left.y);
        CGContextAddLineToPoint(c, tail.x, tail.y);
        CGContextAddLineToPoint(c, right.x, right.y);
        CGContextClosePath(c);
        CGContextFillPath(c);
    }

private:
    CompassGlyph() : UIView(CGRectMake(0, 0, kSide, kSide)) {}
};

} // namespace

std::shared_ptr<UIView> HBCellViews::compassGlyph() {
    return CompassGlyph::create();
}

std::shared_ptr<UIImage> HBCellViews::iconBox(CGFloat side, HBIconShape shape, const std::string& initials) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(side, side), false, 0);
    CGRect box = CGRectMake(0, 0, side, side);
    auto outline = shape == HBIconShape::Circle
                       ? UIBezierPath::bezierPathWithOvalInRect(box)
                       : UIBezierPath::bezierPathWithRoundedRect(box, side * kSquircleCorner);
    UIColorSetFill(initials.empty() ? iconBoxColor() : initialsBoxColor());
    outline->fill();
    if (!initials.empty()) {
        NSStringAttributes text;
        text.font = UIFont::systemFontOfSize(13);
        text.foregroundColor = UIColor::whiteColor().rgba;
        text.alignment = NSTextAlignmentCenter;
        text.numberOfLines = 1;
        CGFloat height = std::ceil(text.font.lineHeight());
        NSStringDrawInRect(initials, CGRectMake(0, (side - height) / 2, side, height), text);
    }
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

std::shared_ptr<HBTableCell> HBTableCell::create(UITableViewCellStyle style, std::string reuseIdentifier) {
    auto cell = std::shared_ptr<HBTableCell>(new HBTableCell(style, std::move(reuseIdentifier)));
    cell->commonInit();
    return cell;
}

void HBTableCell::setFaceView(std::shared_ptr<UIView> view) {
    if (faceView_)
        faceView_->removeFromSuperview();
    faceView_ = std::move(view);
    if (faceView_) {
        faceView_->setUserInteractionEnabled(false);
        addSubview(faceView_);
    }
    setNeedsLayout();
}

void HBTableCell::layoutSubviews() {
    UITableViewCell::layoutSubviews();
    if (faceView_) {
        setBackgroundColor(UIColor::clearColor());
        faceView_->setFrame(bounds());
    }
    growIcon();
    if (wrapsDetail_)
        wrapDetail();
}

void HBTableCell::growIcon() {
    if (!image() || iconSide_ == HBCellViews::kIconSide)
        return;
    // The table dressed the icon at the standard size; a larger one pushes the texts along. A
    // cell laid out again after the same dressing finds its icon already grown and leaves it.
    std::shared_ptr<UIImageView> icon;
    for (const auto& view : subviews())
        if (auto imageView = std::dynamic_pointer_cast<UIImageView>(view);
            imageView && imageView->image() == image() &&
            imageView->frame().width() == HBCellViews::kIconSide)
            icon = imageView;
    if (!icon)
        return;
    const CGFloat grow = iconSide_ - HBCellViews::kIconSide;
    CGRect was = icon->frame();
    icon->setFrame(
        CGRectMake(was.minX(), std::round((bounds().height() - iconSide_) / 2), iconSide_, iconSide_));
    icon->layer()->setCornerRadius(iconSide_ * kSquircleCorner);
    for (const auto& view : subviews())
        if (auto label = std::dynamic_pointer_cast<UILabel>(view)) {
            CGRect f = label->frame();
            label->setFrame(
                CGRectMake(f.minX() + grow, f.minY(), std::max<CGFloat>(0, f.width() - grow), f.height()));
        }
}

void HBTableCell::wrapDetail() {
    if (style() != UITableViewCellStyleSubtitle || detailText().empty())
        return;
    std::shared_ptr<UILabel> title, detail;
    for (const auto& view : subviews())
        if (auto label = std::dynamic_pointer_cast<UILabel>(view)) {
            if (!title && label->text() == text())
                title = label;
            else if (label->text() == detailText())
                detail = label;
        }
    // The dressing left the subtitle on one line; once wrapped, the pair is centred again.
    if (!title || !detail || detail->numberOfLines() == 0)
        return;
    detail->setNumberOfLines(0);
    CGRect t = title->frame(), d = detail->frame();
    CGFloat dh = std::ceil(detail->sizeThatFits(CGSizeMake(d.width(), 0)).height);
    CGFloat top = std::max<CGFloat>(0, std::round((bounds().height() - t.height() - dh - 2) / 2));
    title->setFrame(CGRectMake(t.minX(), top, t.width(), t.height()));
    detail->setFrame(CGRectMake(d.minX(), top + t.height() + 2, d.width(),
                                std::min(dh, bounds().height() - top - t.height() - 2)));
}
