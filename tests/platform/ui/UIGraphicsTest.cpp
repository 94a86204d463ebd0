#include "platform/ui/UIGraphics.h"

#include "platform/foundation/NSLog.h"
#include "platform/graphics/UIBezierPath.h"
#include "platform/ui/UIScreen.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

#include <thread>

TEST(UIGraphicsTest, ImageContextDrawsAtItsScale) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(10, 5), false, 0); // 0: the screen's scale
    ASSERT_NE(UIGraphicsGetCurrentContext(), nullptr);
    UIColorSetFill(UIColor::redColor());
    UIRectFill(CGRectMake(0, 0, 5, 5));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIColorSet(UIColor::blueColor());
    UIRectFill(CGRectMake(5, 0, 5, 5));
    auto later = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);

    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->size(), CGSizeMake(10, 5));
    EXPECT_EQ(image->CGImage()->width(), 20u);
    EXPECT_TRUE(pixels::red(pixels::at(image->CGImage(), 2, 2, 2)));
    // The image is a snapshot: drawing after it was taken is only in the later one.
    EXPECT_TRUE(pixels::transparent(pixels::at(image->CGImage(), 7, 2, 2)));
    EXPECT_TRUE(pixels::blue(pixels::at(later->CGImage(), 7, 2, 2)));
}

TEST(UIGraphicsTest, ImageContextsFollowTheMainScreensScale) {
    UIScreen::mainScreen()->setScale(3);
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(10, 5), false, 0);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->scale(), 3);
    EXPECT_EQ(image->CGImage()->width(), 30u);
}

TEST(UIGraphicsTest, ContextsNestAndOpaqueOnesStartBlack) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(4, 4), true, 1);
    CGContextRef outer = UIGraphicsGetCurrentContext();
    UIGraphicsBeginImageContext(CGSizeMake(2, 2));
    CGContextRef inner = UIGraphicsGetCurrentContext();
    EXPECT_NE(inner, outer);
    UIGraphicsPushContext(outer);
    EXPECT_EQ(UIGraphicsGetCurrentContext(), outer);
    UIGraphicsPopContext();
    EXPECT_EQ(UIGraphicsGetImageFromCurrentImageContext()->size(), CGSizeMake(2, 2));
    UIGraphicsEndImageContext();
    EXPECT_EQ(UIGraphicsGetCurrentContext(), outer);
    auto opaque = UIGraphicsGetImageFromCurrentImageContext();
    EXPECT_EQ(opaque->CGImage()->pixelAt(0, 0), (CGImage::Pixel{0, 0, 0, 255}));
    UIGraphicsEndImageContext();
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
}

TEST(UIGraphicsTest, ImpossibleSizesStayBalanced) {
    NSLogSetEchoToStderr(false);
    std::vector<std::string> lines;
    Subscription sink = NSLogAddSink([&](const std::string& line) { lines.push_back(line); });
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(10, 10), false, 1);
    CGContextRef outer = UIGraphicsGetCurrentContext();
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(0, 10), false, 1);
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
    EXPECT_EQ(UIGraphicsGetImageFromCurrentImageContext(), nullptr);
    UIRectFill(CGRectMake(0, 0, 1, 1)); // nothing to draw into; nothing happens
    UIGraphicsEndImageContext();
    EXPECT_EQ(UIGraphicsGetCurrentContext(), outer);
    UIGraphicsEndImageContext();
    UIGraphicsEndImageContext(); // one too many: logged, harmless
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
    sink.reset();
    NSLogSetEchoToStderr(true);
    EXPECT_EQ(lines.size(), 2u);
}

TEST(UIGraphicsTest, EachThreadHasItsOwnContexts) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(4, 4), false, 1);
    std::shared_ptr<UIImage> fromThread;
    CGContextRef seen = UIGraphicsGetCurrentContext();
    std::thread([&] {
        seen = UIGraphicsGetCurrentContext();
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(3, 3), false, 1);
        UIColorSetFill(UIColor::redColor());
        UIBezierPath::bezierPathWithOvalInRect(CGRectMake(0, 0, 3, 3))->fill();
        fromThread = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
    }).join();
    EXPECT_EQ(seen, nullptr);
    ASSERT_NE(fromThread, nullptr);
    EXPECT_TRUE(pixels::red(fromThread->CGImage()->pixelAt(1, 1)));
    EXPECT_EQ(UIGraphicsGetImageFromCurrentImageContext()->size(), CGSizeMake(4, 4));
    UIGraphicsEndImageContext();
}
