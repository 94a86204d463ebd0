#include "platform/ui/UIImageView.h"

#include "platform/ui/UIGraphics.h"
#include "platform/ui/UIRenderer.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

namespace {
// A 20 × 10 point image at 2x: left half red, right half blue.
std::shared_ptr<UIImage> halves() {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(20, 10), false, 2);
    UIColorSetFill(UIColor::redColor());
    UIRectFill(CGRectMake(0, 0, 10, 10));
    UIColorSetFill(UIColor::blueColor());
    UIRectFill(CGRectMake(10, 0, 10, 10));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}
} // namespace

TEST(UIImageViewTest, ContentModeRects) {
    CGRect bounds = CGRectMake(0, 0, 100, 50);
    CGSize size = CGSizeMake(20, 10);
    EXPECT_EQ(UIViewContentModeRect(UIViewContentModeScaleToFill, size, bounds), bounds);
    EXPECT_EQ(UIViewContentModeRect(UIViewContentModeScaleAspectFit, CGSizeMake(10, 10), bounds),
              CGRectMake(25, 0, 50, 50));
    EXPECT_EQ(UIViewContentModeRect(UIViewContentModeScaleAspectFill, CGSizeMake(10, 10), bounds),
              CGRectMake(0, -25, 100, 100));
    EXPECT_EQ(UIViewContentModeRect(UIViewContentModeCenter, size, bounds), CGRectMake(40, 20, 20, 10));
    EXPECT_EQ(UIViewContentModeRect(UIViewContentModeBottomRight, size, bounds), CGRectMake(80, 40, 20, 10));
    EXPECT_EQ(UIViewContentModeRect(UIViewContentModeScaleAspectFit, CGSizeZero, bounds), bounds);
}

TEST(UIImageViewTest, SizesFromItsImage) {
    auto empty = UIImageView::create(CGRectMake(0, 0, 5, 5));
    EXPECT_EQ(empty->intrinsicContentSize(), CGSizeMake(UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric));
    EXPECT_FALSE(empty->drawsContent());
    auto view = UIImageView::createWithImage(halves());
    EXPECT_EQ(view->frame(), CGRectMake(0, 0, 20, 10));
    EXPECT_EQ(view->intrinsicContentSize(), CGSizeMake(20, 10));
    EXPECT_FALSE(view->isUserInteractionEnabled());
}

TEST(UIImageViewTest, DrawsTheImageScaledIntoItsBounds) {
    auto root = UIView::create(CGRectMake(0, 0, 100, 100));
    root->setBackgroundColor(UIColor::whiteColor());
    auto stretched = UIImageView::create(CGRectMake(0, 0, 100, 40));
    stretched->setImage(halves());
    root->addSubview(stretched);
    auto fitted = UIImageView::create(CGRectMake(0, 50, 100, 50));
    fitted->setImage(halves());
    fitted->setContentMode(UIViewContentModeScaleAspectFit);
    root->addSubview(fitted);
    CGImageRef image = UIRenderer::imageOfView(*root, 1)->CGImage();
    EXPECT_TRUE(pixels::red(pixels::at(image, 10, 20)));
    EXPECT_TRUE(pixels::red(pixels::at(image, 45, 20)));
    EXPECT_TRUE(pixels::blue(pixels::at(image, 55, 20)));
    EXPECT_TRUE(pixels::blue(pixels::at(image, 95, 38)));
    // Fitted: 100 × 50 keeps the 2:1 image whole.
    EXPECT_TRUE(pixels::red(pixels::at(image, 2, 75)));
    EXPECT_TRUE(pixels::blue(pixels::at(image, 98, 75)));
}
