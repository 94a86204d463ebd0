#pragma once

// The small view that shows a colour beside a colour row, in the shape each library gives it, and
// the large preview of the colour page.
//
// - Well: the HB picker's 32 pt circular well: the colour over a checkerboard (so alpha shows), a
//   hairline white border (1 px; 2 px at 3x) and a faint shadow around it.
// - Circle: libcolorpicker's 29 pt circle of the colour with a 2 pt light-grey border.
// - Box: libsparkcolourpicker's 100 x 29 pt box of the colour (corner radius 3) with a 2 pt
//   light-grey border.
// - Preview: the colour page's swatch, as large as its frame, over a checkerboard, corner radius 10.
//
//     auto well = ColourSwatchView::create(ColourSwatchStyle::Well, UIColor::redColor());
//     cell->setAccessoryView(well);

#include "platform/ui/UIView.h"

#include <memory>

enum class ColourSwatchStyle { Well, Circle, Box, Preview };

class ColourSwatchView : public UIView {
public:
    // A swatch of the style's own size (a Preview starts 100 x 100; set its frame).
    static std::shared_ptr<ColourSwatchView> create(ColourSwatchStyle style, UIColor colour);
    // The size a style is drawn at, including the margin a Well keeps for its shadow.
    static CGSize sizeOf(ColourSwatchStyle style);

    std::string className() const override { return "ColourSwatchView"; }
    bool drawsContent() const override { return true; }
    void drawRect(CGRect rect) override;

    ColourSwatchStyle style() const { return style_; }
    const UIColor& colour() const { return colour_; }
    void setColour(UIColor colour);

    static UIColor borderColor() { return UIColor::lightGrayColor(); }
    static constexpr CGFloat kWellDiameter = 32;
    static constexpr CGFloat kWellShadowMargin = 2;
    static constexpr CGFloat kCircleDiameter = 29;
    static constexpr CGFloat kBorderWidth = 2;

protected:
    ColourSwatchView(ColourSwatchStyle style, UIColor colour);

private:
    ColourSwatchStyle style_;
    UIColor colour_;
};
