#include "platform/ui/UIImage.h"

#include "platform/foundation/NSLog.h"
#include "platform/ui/UIGraphics.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <barrier>
#include <filesystem>
#include <fstream>
#include <thread>

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

    PlistData readBytes(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        return PlistData(std::istreambuf_iterator<char>(in), {});
    }
    void writeBytes(const std::string& name, const PlistData& bytes) {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // Rewrites the data of the file's first IDAT chunk with bytes that are no compressed stream,
    // so its signature and IHDR stay valid while its body does not decode.
    void breakBody(const std::string& name) {
        PlistData bytes = readBytes(name);
        auto idat = std::search(bytes.begin(), bytes.end(), std::begin("IDAT"), std::end("IDAT") - 1);
        ASSERT_NE(idat, bytes.end());
        std::uint32_t length = std::uint32_t{idat[-4]} << 24 | std::uint32_t{idat[-3]} << 16 |
                               std::uint32_t{idat[-2]} << 8 | std::uint32_t{idat[-1]};
        std::fill(idat + 4, idat + 4 + length, 0xFF);
        writeBytes(name, bytes);
    }
    // Draws `image` at its size in points onto a transparent canvas of that size at `scale`.
    static CGImageRef drawn(const UIImage& image, CGFloat scale = 1) {
        CGSize size = image.size();
        UIGraphicsBeginImageContextWithOptions(size, false, scale);
        image.drawInRect(CGRectMake(0, 0, size.width, size.height));
        auto canvas = UIGraphicsGetImageFromCurrentImageContext()->CGImage();
        UIGraphicsEndImageContext();
        return canvas;
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

TEST_F(UIImageTest, ABodyThatDoesNotDecodeKeepsItsSizeDrawsNothingAndIsTriedOnce) {
    writeSquare("broken.png", 6, UIColor::redColor());
    breakBody("broken.png");
    NSLogSetEchoToStderr(false);
    std::vector<std::string> lines;
    Subscription capture = NSLogAddSink([&](const std::string& line) { lines.push_back(line); });

    std::string path = (dir_ / "broken.png").string();
    auto image = UIImage::imageWithContentsOfFile(path);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), CGSizeMake(6, 6)); // from the header: nothing is decoded yet
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(pixels::transparent(drawn(*image)->pixelAt(3, 3)));
    EXPECT_EQ(image->CGImage(), nullptr);
    EXPECT_TRUE(UIImagePNGRepresentation(image).empty());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(path), std::string::npos);

    // The failed attempt is kept: a good file put in its place is not read again.
    writeSquare("broken.png", 6, UIColor::redColor());
    EXPECT_TRUE(pixels::transparent(drawn(*image)->pixelAt(3, 3)));
    EXPECT_EQ(lines.size(), 1u);

    writeSquare("data.png", 4, UIColor::redColor());
    breakBody("data.png");
    auto fromData = UIImage::imageWithData(readBytes("data.png"), 2);
    ASSERT_NE(fromData, nullptr);
    EXPECT_EQ(fromData->size(), CGSizeMake(2, 2));
    EXPECT_EQ(fromData->CGImage(), nullptr);
    EXPECT_TRUE(pixels::transparent(drawn(*fromData)->pixelAt(1, 1)));
    EXPECT_EQ(lines.size(), 2u);
}

TEST_F(UIImageTest, PixelsAreReadWhenFirstNeededNotWhenLoaded) {
    writeSquare("late.png", 5, UIColor::blueColor());
    auto image = UIImage::imageWithContentsOfFile((dir_ / "late.png").string());
    ASSERT_NE(image, nullptr);
    writeSquare("late.png", 5, UIColor::redColor());
    EXPECT_TRUE(pixels::red(drawn(*image)->pixelAt(2, 2)));
    writeSquare("late.png", 5, UIColor::blueColor());
    EXPECT_TRUE(pixels::red(drawn(*image)->pixelAt(2, 2))); // decoded once, then kept

    // A file rewritten with another size no longer matches the size already answered.
    writeSquare("resized.png", 5, UIColor::blueColor());
    auto resized = UIImage::imageWithContentsOfFile((dir_ / "resized.png").string());
    writeSquare("resized.png", 7, UIColor::blueColor());
    NSLogSetEchoToStderr(false);
    EXPECT_EQ(resized->CGImage(), nullptr);
    EXPECT_EQ(resized->size(), CGSizeMake(5, 5));
}

TEST_F(UIImageTest, LazilyDecodedPixelsMatchTheEagerlyDecodedOnes) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(8, 6), false, 1);
    UIColorSetFill(UIColor::redColor());
    UIRectFill(CGRectMake(0, 0, 3, 6));
    UIColorSetFill(UIColor::colorWithRed(0, 0.4, 1, 0.5));
    UIRectFill(CGRectMake(3, 0, 5, 4));
    ASSERT_TRUE(
        UIGraphicsGetImageFromCurrentImageContext()->CGImage()->writePNG((dir_ / "mixed.png").string()));
    UIGraphicsEndImageContext();

    std::string path = (dir_ / "mixed.png").string();
    auto eager = UIImage::imageWithCGImage(CGImage::createFromPNGFile(path));
    auto fromFile = UIImage::imageWithContentsOfFile(path);
    auto fromData = UIImage::imageWithData(readBytes("mixed.png"));
    ASSERT_TRUE(eager && fromFile && fromData);
    for (CGFloat scale : {1.0, 3.0}) {
        CGImageRef want = drawn(*eager, scale), fileGot = drawn(*fromFile, scale),
                   dataGot = drawn(*fromData, scale);
        for (std::size_t y = 0; y < want->height(); ++y)
            for (std::size_t x = 0; x < want->width(); ++x) {
                ASSERT_EQ(fileGot->pixelAt(x, y), want->pixelAt(x, y)) << x << "," << y << " at " << scale;
                ASSERT_EQ(dataGot->pixelAt(x, y), want->pixelAt(x, y)) << x << "," << y << " at " << scale;
            }
    }
    EXPECT_EQ(UIImagePNGRepresentation(fromFile), eager->CGImage()->PNGData());
}

TEST_F(UIImageTest, ThreadsAskingAtOnceShareOneDecode) {
    writeSquare("shared.png", 16, UIColor::blueColor());
    PlistData bytes = readBytes("shared.png");
    for (int round = 0; round < 20; ++round) {
        auto image = round % 2 ? UIImage::imageWithData(bytes)
                               : UIImage::imageWithContentsOfFile((dir_ / "shared.png").string());
        ASSERT_NE(image, nullptr);
        std::barrier start(2);
        CGImageRef seen[2];
        auto ask = [&](int i) {
            start.arrive_and_wait();
            seen[i] = image->CGImage();
        };
        std::thread other(ask, 1);
        ask(0);
        other.join();
        ASSERT_NE(seen[0], nullptr);
        EXPECT_EQ(seen[0], seen[1]);
        EXPECT_EQ(image->CGImage(), seen[0]);
        EXPECT_TRUE(pixels::blue(seen[0]->pixelAt(8, 8)));
    }
}

TEST_F(UIImageTest, FilesWithoutAPNGHeaderAreRefusedAndTheNextVariantIsTried) {
    writeSquare("icon.png", 3, UIColor::redColor());
    PlistData good = readBytes("icon.png");
    writeBytes("icon@2x.png", PlistData(good.begin(), good.begin() + 20)); // cut inside the header
    auto icon = UIImage::imageWithContentsOfFile((dir_ / "icon.png").string());
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->scale(), 1);
    EXPECT_EQ(icon->size(), CGSizeMake(3, 3));

    PlistData badDepth = good;
    badDepth[24] = 3; // no colour type has 3 bits a sample
    writeBytes("icon@2x.png", badDepth);
    EXPECT_EQ(UIImage::imageWithContentsOfFile((dir_ / "icon.png").string())->scale(), 1);
    EXPECT_EQ(UIImage::imageWithData(badDepth), nullptr);

    // A FIFO is refused without waiting for a writer.
    fs::remove(dir_ / "icon@2x.png");
    ASSERT_EQ(::mkfifo((dir_ / "icon@2x.png").c_str(), 0600), 0);
    EXPECT_EQ(UIImage::imageWithContentsOfFile((dir_ / "icon.png").string())->scale(), 1);
    EXPECT_EQ(UIImage::imageWithContentsOfFile((dir_ / "icon@2x.png").string()), nullptr);
}
