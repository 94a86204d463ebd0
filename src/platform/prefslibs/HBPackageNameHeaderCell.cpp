#include "platform/prefslibs/HBPackageNameHeaderCell.h"

#include "platform/graphics/NSStringDrawing.h"
#include "platform/prefslibs/HBActions.h"
#include "platform/prefslibs/HBColor.h"
#include "platform/prefslibs/HBRowValues.h"
#include "platform/ui/UIGraphics.h"
#include "platform/ui/UIImage.h"

#include <cmath>

namespace {

constexpr CGFloat kBaseHeight = 72;
constexpr CGFloat kLineHeight = 26;
constexpr CGFloat kGradientExtra = 41;
// The large title at 115%, as version 2 sizes it.
constexpr CGFloat kTitleSize = 34 * 1.15;
constexpr CGFloat kCondensedSize = 25;
constexpr CGFloat kSubtitleSize = 15;
constexpr CGFloat kIconGap = 8;

UIColor nearWhite() {
    return UIColor::colorWithWhite(0.97, 1);
}

class PackageNameHeaderView : public UIView {
public:
    static std::shared_ptr<PackageNameHeaderView> create(HBPackageNameHeaderCell::Content content,
                                                         CGFloat width) {
        CGFloat height = HBPackageNameHeaderCell::heightOf(content);
        auto v = std::shared_ptr<PackageNameHeaderView>(
            new PackageNameHeaderView(std::move(content), CGRectMake(0, 0, width, height)));
        v->commonInit();
        v->setUserInteractionEnabled(false);
        return v;
    }
    std::string className() const override { return "HBPackageNameHeaderCell"; }
    std::string accessibilityText() const override { return content_.name; }
    bool drawsContent() const override { return true; }

    void drawRect(CGRect) override {
        const CGRect b = bounds();
        drawGradient(b);
        const bool onGradient = !content_.gradient.empty();
        const UIColor title = content_.titleColor.value_or(onGradient ? nearWhite() : UIColor::labelColor());
        const UIColor subtitle =
            content_.subtitleColor.value_or(onGradient ? nearWhite() : UIColor::secondaryLabelColor());

        // The lines, top to bottom, centred as a block in the header.
        struct Line {
            std::string text;
            UIFont font;
            UIColor color;
            bool withIcon;
        };
        std::vector<Line> lines;
        if (content_.condensed) {
            std::string first = content_.name;
            if (!content_.version.empty())
                first += " " + content_.version;
            lines.push_back({first, UIFont::systemFontOfSize(kCondensedSize), title, true});
        } else {
            lines.push_back(
                {content_.name, UIFont::systemFontOfSize(kTitleSize, UIFontWeightSemibold), title, true});
            if (!content_.version.empty())
                lines.push_back({"Version " + content_.version, UIFont::systemFontOfSize(kSubtitleSize),
                                 subtitle, false});
        }
        if (!content_.author.empty())
            lines.push_back(
                {"By " + content_.author, UIFont::systemFontOfSize(kSubtitleSize), subtitle, false});

        CGFloat block = 0;
        for (const Line& line : lines)
            block += std::ceil(line.font.lineHeight());
        CGFloat y = std::round((b.height() - block) / 2);
        for (const Line& line : lines) {
            NSStringAttributes text;
            text.font = line.font;
            text.foregroundColor = line.color.rgba;
            text.numberOfLines = 1;
            text.lineBreakMode = NSLineBreakByTruncatingTail;
            const CGFloat h = std::ceil(line.font.lineHeight());
            const CGFloat iconSide = line.withIcon && content_.icon ? std::round(h * 0.8) : 0;
            const CGFloat iconSpace = iconSide > 0 ? iconSide + kIconGap : 0;
            const CGFloat textWidth = std::min(std::ceil(NSStringSizeWithAttributes(line.text, text).width),
                                               std::max<CGFloat>(0, b.width() - 30 - iconSpace));
            const CGFloat x = std::round((b.width() - textWidth - iconSpace) / 2);
            if (iconSide > 0)
                content_.icon->drawInRect(CGRectMake(x, y + (h - iconSide) / 2, iconSide, iconSide));
            NSStringDrawInRect(line.text, CGRectMake(x + iconSpace, y, textWidth, h), text);
            y += h;
        }
    }

private:
    PackageNameHeaderView(HBPackageNameHeaderCell::Content content, CGRect frame)
        : UIView(frame), content_(std::move(content)) {}

    // A top-to-bottom blend of the two colours, in one-point bands.
    void drawGradient(CGRect b) const {
        if (content_.gradient.size() < 2)
            return;
        const CGColor top = content_.gradient.front().rgba, bottom = content_.gradient.back().rgba;
        const int bands = std::max(1, static_cast<int>(std::ceil(b.height())));
        for (int i = 0; i < bands; ++i) {
            const CGFloat t = bands == 1 ? 0 : static_cast<CGFloat>(i) / (bands - 1);
            UIColorSetFill(
                UIColor::colorWithRed(top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t,
                                      top.b + (bottom.b - top.b) * t, top.a + (bottom.a - top.a) * t));
            UIRectFill(CGRectMake(0, i, b.width(), 1));
        }
    }

    HBPackageNameHeaderCell::Content content_;
};

} // namespace

HBPackageNameHeaderCell::Content HBPackageNameHeaderCell::contentOf(const PSSpecifier& group) {
    Content c;
    std::optional<PackageRecord> package = HBActions::packageInfo(group);
    c.name = hb::stringProperty(group, "packageNameOverride");
    if (c.name.empty() && package)
        c.name = package->name;
    if (c.name.empty())
        c.name = hb::stringProperty(group, "packageIdentifier");
    if (package && hb::flagProperty(group, "showVersion", true))
        c.version = package->version;
    if (package && hb::flagProperty(group, "showAuthor", true))
        c.author = package->authorName();
    c.condensed = hb::flagProperty(group, "condensed");
    c.icon = group.propertyForKey("iconImage").objectAs<UIImage>();
    c.titleColor = HBColor::fromPlistValue(group.propertyForKey("titleColor"));
    c.subtitleColor = HBColor::fromPlistValue(group.propertyForKey("subtitleColor"));
    if (PlistValue stops = group.propertyForKey("backgroundGradientColors");
        stops.isArray() && stops.count() >= 2) {
        auto top = HBColor::fromPlistValue(stops.at(0));
        auto bottom = HBColor::fromPlistValue(stops.at(stops.count() - 1));
        if (top && bottom)
            c.gradient = {*top, *bottom};
    }
    return c;
}

CGFloat HBPackageNameHeaderCell::heightOf(const Content& content) {
    CGFloat height = kBaseHeight;
    if (!content.author.empty())
        height += kLineHeight;
    if (!content.version.empty() && !content.condensed)
        height += kLineHeight;
    if (!content.gradient.empty())
        height += kGradientExtra;
    return height;
}

std::shared_ptr<UIView> HBPackageNameHeaderCell::headerView(PSListController& /*list*/,
                                                            const std::shared_ptr<PSSpecifier>& group,
                                                            CGFloat width) const {
    return PackageNameHeaderView::create(contentOf(*group), width);
}
