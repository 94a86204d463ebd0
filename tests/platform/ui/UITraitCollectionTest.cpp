// The device's interface style and the system colours that follow it.

#include "platform/ui/UITraitCollection.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/ui/UIColor.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UISwitch.h"
#include "platform/ui/UIView.h"

#include <gtest/gtest.h>

namespace {

TEST(UITraitCollectionTest, LightUnlessSetAndTheDeviceEnvironmentPutsThePreviousStyleBack) {
    EXPECT_EQ(UITraitCollection::currentUserInterfaceStyle(), UIUserInterfaceStyleLight);
    UITraitCollection::setCurrentUserInterfaceStyle(UIUserInterfaceStyleDark);
    {
        DeviceEnvironment::Scope other;
        EXPECT_FALSE(UITraitCollection::isDark()) << "a new device starts light";
        UITraitCollection::setCurrentUserInterfaceStyle(UIUserInterfaceStyleLight);
    }
    EXPECT_TRUE(UITraitCollection::isDark());
}

TEST(UITraitCollectionTest, UnspecifiedAndUnknownStylesMeanLight) {
    UITraitCollection::setCurrentUserInterfaceStyle(UIUserInterfaceStyleDark);
    UITraitCollection::setCurrentUserInterfaceStyle(UIUserInterfaceStyleUnspecified);
    EXPECT_EQ(UITraitCollection::currentUserInterfaceStyle(), UIUserInterfaceStyleLight);
    UITraitCollection::setCurrentUserInterfaceStyle(UIUserInterfaceStyleDark);
    UITraitCollection::setCurrentUserInterfaceStyle(static_cast<UIUserInterfaceStyle>(7));
    EXPECT_EQ(UITraitCollection::currentUserInterfaceStyle(), UIUserInterfaceStyleLight);
}

TEST(UITraitCollectionTest, SystemColoursTakeTheirDarkValuesInTheDarkStyle) {
    EXPECT_EQ(UIColor::labelColor(), UIColor::blackColor());
    EXPECT_EQ(UIColor::systemBlueColor(), UIColor::colorWithRed(0, 122.0 / 255, 1, 1));
    UITraitCollection::setCurrentUserInterfaceStyle(UIUserInterfaceStyleDark);
    EXPECT_EQ(UIColor::labelColor(), UIColor::whiteColor());
    EXPECT_EQ(UIColor::systemGroupedBackgroundColor(), UIColor::blackColor());
    EXPECT_NEAR(UIColor::secondarySystemGroupedBackgroundColor().rgba.r * 255, 0x1C, 0.5);
    EXPECT_NEAR(UIColor::separatorColor().rgba.r * 255, 0x38, 0.5);
    EXPECT_NEAR(UIColor::systemBlueColor().rgba.r * 255, 0x0A, 0.5);
    EXPECT_NEAR(UIColor::systemBlueColor().rgba.g * 255, 0x84, 0.5);
    EXPECT_NEAR(UIColor::systemRedColor().rgba.g * 255, 0x45, 0.5);
}

TEST(UITraitCollectionTest, ViewsBuiltInTheDarkStyleTakeItsColours) {
    UITraitCollection::setCurrentUserInterfaceStyle(UIUserInterfaceStyleDark);
    EXPECT_EQ(UILabel::create()->textColor(), UIColor::whiteColor());
    EXPECT_EQ(UIView::create(CGRectMake(0, 0, 10, 10))->tintColor(), UIColor::systemBlueColor());
    auto off = UISwitch::create(CGRectMake(0, 0, 51, 31));
    ASSERT_TRUE(off->backgroundColor());
    EXPECT_LT(off->backgroundColor()->rgba.r, 0.3) << "an off switch is not white in the dark";
}

} // namespace
