#include "platform/graphics/CGImage.h"

#include "support/PixelTesting.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
class CGImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("cgimage-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static CGImageRef sample() {
        return pixels::draw(4, 3, [](const CGContextRef& c) {
            CGContextSetRGBFillColor(c, 1, 0, 0, 1);
            CGContextFillRect(c, CGRectMake(0, 0, 2, 3));
            CGContextSetRGBFillColor(c, 0, 0, 1, 0.5);
            CGContextFillRect(c, CGRectMake(2, 0, 2, 3));
        });
    }

    fs::path dir_;
};
} // namespace

TEST_F(CGImageTest, SizesOutsideWhatASurfaceHoldsGiveNoImage) {
    EXPECT_EQ(CGImage::create(0, 10), nullptr);
    EXPECT_EQ(CGImage::create(10, 40000), nullptr);
    auto image = CGImage::create(3, 2);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetWidth(image), 3u);
    EXPECT_EQ(CGImageGetHeight(image), 2u);
    EXPECT_TRUE(pixels::transparent(image->pixelAt(0, 0)));
    EXPECT_EQ(image->pixelAt(3, 0), CGImage::Pixel{}); // outside
    auto opaque = CGImage::create(2, 2, true);
    EXPECT_TRUE(opaque->isOpaque());
    EXPECT_EQ(opaque->pixelAt(1, 1), (CGImage::Pixel{0, 0, 0, 255}));
}

TEST_F(CGImageTest, PNGRoundTripKeepsPixels) {
    CGImageRef image = sample();
    std::string path = (dir_ / "sample.png").string();
    ASSERT_TRUE(image->writePNG(path));
    auto loaded = CGImage::createFromPNGFile(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->width(), 4u);
    EXPECT_TRUE(pixels::near(loaded->pixelAt(0, 0), 255, 0, 0, 255, 1));
    EXPECT_TRUE(pixels::near(loaded->pixelAt(3, 2), 0, 0, 255, 128, 2));

    auto fromData = CGImage::createFromPNGData(image->PNGData());
    ASSERT_NE(fromData, nullptr);
    EXPECT_EQ(fromData->pixelAt(1, 1), loaded->pixelAt(1, 1));
    // Only the finished file is left behind: no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

// A PNG that declares `width` × `height` in its header; nothing after the header is a real image.
std::vector<std::uint8_t> pngDeclaring(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                       0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    for (std::uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<std::uint8_t>(v >> shift));
    bytes.insert(bytes.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
    return bytes;
}

TEST_F(CGImageTest, AHugeDeclaredSizeIsRefusedBeforeDecoding) {
    auto huge = pngDeclaring(20000, 20000);
    auto size = CGImage::declaredPNGSize(huge);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 20000u);
    EXPECT_EQ(size->height, 20000u);
    EXPECT_FALSE(CGImage::createFromPNGData(huge));
    std::string path = (dir_ / "huge.png").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(huge.data()), static_cast<std::streamsize>(huge.size()));
    EXPECT_FALSE(CGImage::createFromPNGFile(path));
    EXPECT_FALSE(CGImage::declaredPNGSize(std::vector<std::uint8_t>(huge.begin(), huge.begin() + 23)));
    EXPECT_FALSE(CGImage::declaredPNGSize(std::vector<std::uint8_t>(24, 0)));

    // A caller may ask for less: a 4 × 3 image has 12 pixels.
    auto small = sample()->PNGData();
    EXPECT_FALSE(CGImage::createFromPNGData(small, 11));
    EXPECT_TRUE(CGImage::createFromPNGData(small, 12));
}

TEST_F(CGImageTest, UnreadableFilesGiveNoImage) {
    EXPECT_EQ(CGImage::createFromPNGFile((dir_ / "missing.png").string()), nullptr);
    EXPECT_EQ(CGImage::createFromPNGFile(dir_.string()), nullptr); // a folder
    std::ofstream(dir_ / "garbage.png") << "not a png at all";
    EXPECT_EQ(CGImage::createFromPNGFile((dir_ / "garbage.png").string()), nullptr);
    std::vector<std::uint8_t> truncated = sample()->PNGData();
    truncated.resize(truncated.size() / 2);
    EXPECT_EQ(CGImage::createFromPNGData(truncated), nullptr);
    EXPECT_EQ(CGImage::createFromPNGData({}), nullptr);
}

TEST_F(CGImageTest, FailedWriteLeavesTheOldFile) {
    CGImageRef image = sample();
    EXPECT_FALSE(image->writePNG((dir_ / "no-such-folder" / "x.png").string()));
    std::string path = (dir_ / "keep.png").string();
    ASSERT_TRUE(image->writePNG(path));
    fs::create_directory(dir_ / "folder.png");
    std::ofstream(dir_ / "folder.png" / "inside") << "x";
    EXPECT_FALSE(image->writePNG((dir_ / "folder.png").string()));
    EXPECT_NE(CGImage::createFromPNGFile(path), nullptr);
}

TEST_F(CGImageTest, CopyIsIndependent) {
    CGImageRef image = sample();
    CGImageRef copy = image->copy();
    cairo_t* cr = cairo_create(image->surface());
    cairo_set_source_rgb(cr, 0, 1, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    EXPECT_TRUE(pixels::near(image->pixelAt(0, 0), 0, 255, 0, 255));
    EXPECT_TRUE(pixels::red(copy->pixelAt(0, 0)));
}

TEST_F(CGImageTest, TheHeaderProbeChecksWhatTheDecoderTakes) {
    auto header = pngDeclaring(30, 20);
    auto size = CGImage::pngHeaderOfData(header);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 30u);
    EXPECT_EQ(size->height, 20u);
    EXPECT_FALSE(CGImage::pngHeaderOfData(header, 599)); // a caller's smaller bound
    EXPECT_FALSE(CGImage::pngHeaderOfData(pngDeclaring(0, 20)));
    EXPECT_FALSE(CGImage::pngHeaderOfData(pngDeclaring(20000, 20000)));
    EXPECT_FALSE(CGImage::pngHeaderOfData(std::span(header).first(28))); // IHDR cut short

    auto with = [&](std::size_t at, std::uint8_t value) {
        auto bytes = header;
        bytes[at] = value;
        return CGImage::pngHeaderOfData(bytes).has_value();
    };
    EXPECT_FALSE(with(11, 12)); // IHDR's length is 13
    EXPECT_TRUE(with(24, 16));  // 16-bit RGBA
    EXPECT_FALSE(with(24, 4));  // RGBA has no 4-bit samples
    EXPECT_FALSE(with(25, 5));  // no such colour type
    EXPECT_FALSE(with(26, 1));  // compression method
    EXPECT_FALSE(with(27, 1));  // filter method
    EXPECT_TRUE(with(28, 1));   // Adam7 interlacing
    EXPECT_FALSE(with(28, 2));
    auto palette = header;
    palette[25] = 3;
    palette[24] = 4;
    EXPECT_TRUE(CGImage::pngHeaderOfData(palette));
    palette[24] = 16;
    EXPECT_FALSE(CGImage::pngHeaderOfData(palette));
}

TEST_F(CGImageTest, TheFileProbeReadsRegularFilesOnlyAndNeverWaits) {
    std::string path = (dir_ / "sample.png").string();
    ASSERT_TRUE(sample()->writePNG(path));
    auto size = CGImage::pngHeaderOfFile(path);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 4u);
    EXPECT_EQ(size->height, 3u);
    EXPECT_FALSE(CGImage::pngHeaderOfFile(path, 11));
    EXPECT_FALSE(CGImage::pngHeaderOfFile((dir_ / "missing.png").string()));
    EXPECT_FALSE(CGImage::pngHeaderOfFile(dir_.string()));
    std::string fifo = (dir_ / "fifo.png").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(CGImage::pngHeaderOfFile(fifo));
    EXPECT_EQ(CGImage::createFromPNGFile(fifo), nullptr);
}
