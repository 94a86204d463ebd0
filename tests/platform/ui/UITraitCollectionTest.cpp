// The process's interface style and the system colours that follow it.

#include "platform/ui/UITraitCollection.h"
#include "platform/ui/UIColor.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UISwitch.h"
#include "platform/ui/UIView.h"

#include <gtest/gtest.h>

namespace {

TEST(UITraitCollectionTest, LightUnlessSetAndAScopePutsThePreviousStyleBack) {
    EXPECT_EQ(UITraitCollection::currentUserInterfaceStyle(), UIUserInterfaceStyleLight);
    {
        UITraitCollection::StyleScope dark(UIUserInterfaceStyleDark);
        EXPECT_TRUE(UITraitCollection::isDark());
        {
            UITraitCollection::StyleScope light(UIUserInterfaceStyleLight);
            EXPECT_FALSE(UITraitCollection::isDark());
        }
        EXPECT_TRUE(UITraitCollection::isDark());
    }
    EXPECT_EQ(UITraitCollection::currentUserInterfaceStyle(), UIUserInterfaceStyleLight);
}

TEST(UITraitCollectionTest, UnspecifiedAndUnknownStylesMeanLight) {
    UITraitCollection::StyleScope unspecified(UIUserInterfaceStyleUnspecified);
    EXPECT_EQ(UITraitCollection::currentUserInterfaceStyle(), UIUserInterfaceStyleLight);
    UITraitCollection::StyleScope unknown(static_cast<UIUserInterfaceStyle>(7));
    EXPECT_EQ(UITraitCollection::currentUserInterfaceStyle(), UIUserInterfaceStyleLight);
}

TEST(UITraitCollectionTest, SystemColoursTakeTheirDarkValuesInTheDarkStyle) {
    EXPECT_EQ(UIColor::labelColor(), UIColor::blackColor());
    EXPECT_EQ(UIColor::systemBlueColor(), UIColor::colorWithRed(0, 122.0 / 255, 1, 1));
    UITraitCollection::StyleScope dark(UIUserInterfaceStyleDark);
    EXPECT_EQ(UIColor::labelColor(), UIColor::whiteColor());
    EXPECT_EQ(UIColor::systemGroupedBackgroundColor(), UIColor::blackColor());
    EXPECT_NEAR(UIColor::secondarySystemGroupedBackgroundColor().rgba.r * 255, 0x1C, 0.5);
    EXPECT_NEAR(UIColor::separatorColor().rgba.r * 255, 0x38, 0.5);
    EXPECT_NEAR(UIColor::systemBlueColor().rgba.r * 255, 0x0A, 0.5);
    EXPECT_NEAR(UIColor::systemBlueColor().rgba.g * 255, 0x84, 0.5);
    EXPECT_NEAR(UIColor::systemRedColor().rgba.g * 255, 0x45, 0.5);
}

TEST(UITraitCollectionTest, ViewsBuiltInTheDarkStyleTakeItsColours) {
    UITraitCollection::StyleScope dark(UIUserInterfaceStyleDark);
    EXPECT_EQ(UILabel::create()->textColor(), UIColor::whiteColor());
    EXPECT_EQ(UIView::create(CGRectMake(0, 0, 10, 10))->tintColor(), UIColor::systemBlueColor());
    auto off = UISwitch::create(CGRectMake(0, 0, 51, 31));
    ASSERT_TRUE(off->backgroundColor());
    EXPECT_LT(off->backgroundColor()->rgba.r, 0.3) << "an off switch is not white in the dark";
}

} // namespace
