#include "platform/ui/UIImage.h"

#include "platform/ui/UIGraphics.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
class UIImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("uiimage-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Writes a square PNG of `pixels` × `pixels` in one colour.
    void writeSquare(const std::string& name, int side, const UIColor& colour) {
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(side, side), false, 1);
        UIColorSetFill(colour);
        UIRectFill(CGRectMake(0, 0, side, side));
        ASSERT_TRUE(UIGraphicsGetImageFromCurrentImageContext()->CGImage()->writePNG((dir_ / name).string()));
        UIGraphicsEndImageContext();
    }

    fs::path dir_;
};
} // namespace

TEST_F(UIImageTest, PrefersTheScreenScaleVariantAndReadsItsScale) {
    writeSquare("icon.png", 29, UIColor::redColor());
    writeSquare("icon@2x.png", 58, UIColor::blueColor());
    auto icon = UIImage::imageWithContentsOfFile((dir_ / "icon.png").string());
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->scale(), 2);
    EXPECT_EQ(icon->size(), CGSizeMake(29, 29));
    EXPECT_TRUE(pixels::blue(icon->CGImage()->pixelAt(0, 0)));
    EXPECT_EQ(icon->className(), "UIImage");

    fs::remove(dir_ / "icon@2x.png");
    auto plain = UIImage::imageWithContentsOfFile((dir_ / "icon.png").string());
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->scale(), 1);
    EXPECT_EQ(plain->size(), CGSizeMake(29, 29));

    writeSquare("only@3x.png", 87, UIColor::redColor());
    auto three = UIImage::imageWithContentsOfFile((dir_ / "only.png").string());
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(three->size(), CGSizeMake(29, 29));
    EXPECT_EQ(UIImage::imageWithContentsOfFile((dir_ / "only@3x.png").string())->scale(), 3);
}

TEST_F(UIImageTest, MissingOrBrokenFilesGiveNoImage) {
    EXPECT_EQ(UIImage::imageWithContentsOfFile((dir_ / "none.png").string()), nullptr);
    EXPECT_EQ(UIImage::imageWithContentsOfFile(""), nullptr);
    std::ofstream(dir_ / "bad.png") << "garbage";
    EXPECT_EQ(UIImage::imageWithContentsOfFile((dir_ / "bad.png").string()), nullptr);
    EXPECT_EQ(UIImage::imageWithData(PlistData{1, 2, 3}), nullptr);
    EXPECT_EQ(UIImage::imageWithCGImage(nullptr), nullptr);
    EXPECT_TRUE(UIImagePNGRepresentation(nullptr).empty());
}

TEST_F(UIImageTest, PNGDataRoundTripAndDrawing) {
    writeSquare("a.png", 4, UIColor::redColor());
    auto image = UIImage::imageWithContentsOfFile((dir_ / "a.png").string());
    auto again = UIImage::imageWithData(UIImagePNGRepresentation(image), 2);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->size(), CGSizeMake(2, 2));

    UIGraphicsBeginImageContextWithOptions(CGSizeMake(20, 10), false, 1);
    image->drawInRect(CGRectMake(0, 0, 10, 10));
    again->drawInRect(CGRectMake(10, 0, 10, 10), kCGBlendModeNormal, 0.5);
    auto canvas = UIGraphicsGetImageFromCurrentImageContext()->CGImage();
    UIGraphicsEndImageContext();
    EXPECT_TRUE(pixels::red(canvas->pixelAt(0, 0)));
    EXPECT_TRUE(pixels::red(canvas->pixelAt(9, 9)));
    EXPECT_TRUE(pixels::near(canvas->pixelAt(15, 5), 255, 0, 0, 128, 3));
}
