#include "hud/TQBackgroundView.h"
#include "hud/TQProgressHUDRoundedButton.h"

#include "HudTestSupport.h"
#include "platform/ui/layers/CALayer.h"

#include <algorithm>

namespace {

class TQBackgroundViewTest : public HudTest {};

std::size_t blurLayers(const UIView& v) {
    return static_cast<std::size_t>(
        std::count_if(v.subviews().begin(), v.subviews().end(), [](const auto& s) {
            return std::dynamic_pointer_cast<UIVisualEffectView>(s) ||
                   std::dynamic_pointer_cast<UIToolbar>(s);
        }));
}

TEST_F(TQBackgroundViewTest, GenerationDefaults) {
    auto current = TQBackgroundView::create();
    EXPECT_EQ(current->style(), TQBackgroundStyleBlurred);
    EXPECT_EQ(current->blurEffectStyle(), 1);
    EXPECT_EQ(current->color(), UIColor::colorWithWhite(0.8, 0.6));
    EXPECT_TRUE(current->effectView());
    EXPECT_TRUE(current->clipsToBounds());
    EXPECT_EQ(current->intrinsicContentSize(), CGSizeZero);
    {
        ScopedSystemVersion pre8(1000);
        auto older = TQBackgroundView::create(CGRectMake(0, 0, 50, 50));
        EXPECT_EQ(older->color(), UIColor::colorWithWhite(0.95, 0.6));
        ASSERT_TRUE(older->toolbar());
        EXPECT_EQ(older->toolbar()->frame(), CGRectMake(-100, -100, 250, 250));
    }
    ScopedSystemVersion pre7(kCFCoreFoundationVersionNumber_iOS_6_1);
    auto oldest = TQBackgroundView::create();
    EXPECT_EQ(oldest->style(), TQBackgroundStyleFlat);
    EXPECT_EQ(oldest->blurEffectStyle(), 0);
    EXPECT_EQ(oldest->color(), UIColor::colorWithWhite(0, 0.8));
    oldest->setStyle(TQBackgroundStyleBlurred);
    EXPECT_EQ(oldest->style(), TQBackgroundStyleFlat);
    EXPECT_EQ(blurLayers(*oldest), 0u);
}

TEST_F(TQBackgroundViewTest, SwitchingStylesKeepsExactlyOneBlurLayer) {
    auto v = TQBackgroundView::create(CGRectMake(0, 0, 40, 40));
    v->setStyle(TQBackgroundStyleFlat);
    EXPECT_EQ(blurLayers(*v), 0u);
    EXPECT_EQ(v->backgroundColor(), v->color());
    v->setStyle(TQBackgroundStyleBlurred);
    v->setBlurEffectStyle(2);
    EXPECT_EQ(blurLayers(*v), 1u);
    EXPECT_EQ(v->effectView()->effect()->style(), 2);
    v->setColor(UIColor::redColor());
    EXPECT_EQ(v->backgroundColor(), UIColor::redColor());
    expectAssertion([&] { v->setColor(std::nullopt); }, "The color should not be nil.");
}

TEST_F(TQBackgroundViewTest, RoundedButtonSizesAndHighlights) {
    auto b = TQProgressHUDRoundedButton::buttonWithType(UIButtonTypeCustom);
    b->setTitle("Cancel", UIControlStateNormal);
    EXPECT_EQ(b->layer()->borderWidth(), 1);
    EXPECT_EQ(b->intrinsicContentSize(), CGSizeZero); // no action yet
    b->addAction([](UIControl&) {}, UIControlEventTouchUpInside);
    CGSize title = b->titleLabel()->sizeThatFits(CGSizeZero);
    EXPECT_EQ(b->intrinsicContentSize(), CGSizeMake(title.width + 20, title.height));
    b->setFrame(CGRectMake(0, 0, 80, 25));
    b->layoutIfNeeded();
    EXPECT_EQ(b->layer()->cornerRadius(), 13);
    b->setTitleColor(UIColor::redColor(), UIControlStateHighlighted);
    EXPECT_EQ(b->layer()->borderColor(), UIColor::redColor());
    b->setTitleColor(UIColor::blueColor(), UIControlStateNormal);
    b->setHighlighted(true);
    EXPECT_EQ(b->backgroundColor(), UIColor::blueColor().colorWithAlphaComponent(0.1));
    b->setHighlighted(false);
    EXPECT_EQ(b->backgroundColor(), UIColor::clearColor());
}

} // namespace
