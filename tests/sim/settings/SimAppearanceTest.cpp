// The whole simulated screen in the light and the dark style: the grouped list's ground, its row
// bands and their text, and the navigation bar, checked on the pixels of a rendered frame.

#include "platform/ui/UITraitCollection.h"
#include "sim/screen/SimScreen.h"
#include "sim/settings/Simulator.h"
#include "support/PixelTesting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;

namespace {

constexpr const char* kDemoPage = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>title</key><string>Demo</string>
<key>items</key><array>
<dict><key>cell</key><string>PSGroupCell</string><key>label</key><string>General</string></dict>
<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>Enabled Everywhere</string>
<key>key</key><string>enabled</string><key>defaults</key><string>com.example.demo</string>
<key>default</key><true/></dict>
</array></dict></plist>
)";

// A device and a one-switch preference bundle in a temporary folder.
struct TempDeviceAndBundle {
    fs::path root;
    TempDeviceAndBundle() {
        root = fs::temp_directory_path() / ("appearance-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        fs::remove_all(root);
        fs::create_directories(root);
        fs::copy(fs::path(ORBITCHAT_SOURCE_DIR) / "examples/device", root / "device",
                 fs::copy_options::recursive);
        fs::create_directories(root / "Demo.bundle");
        std::ofstream(root / "Demo.bundle/Root.plist") << kDemoPage;
    }
    ~TempDeviceAndBundle() { fs::remove_all(root); }
};

// The first y (in points) down the left margin, below the bar, whose pixel is the row band's colour.
std::optional<double> firstRowBand(const CGImageRef& frame, int r, int g, int b) {
    for (double y = 70; y < 300; y += 0.5)
        if (pixels::near(pixels::at(frame, 3, y, 2), r, g, b, 255, 3))
            return y;
    return std::nullopt;
}

class SimAppearanceTest : public ::testing::Test {
protected:
    TempDeviceAndBundle files;

    CGImageRef render(UIUserInterfaceStyle style) {
        Simulator::Options options;
        options.deviceRoot = (files.root / "device").string();
        options.preferenceBundle = (files.root / "Demo.bundle").string();
        options.appearance = style;
        Simulator sim(options);
        SimScreen screen(sim);
        screen.followRunLoopFrames();
        sim.settings().open();
        sim.runUntilIdle();
        sim.advanceBy(1);
        screen.update();
        CGImageRef frame = screen.render();
        // Nothing is left animating on this run loop when it goes.
        sim.advanceBy(3);
        screen.update();
        return frame;
    }
};

TEST_F(SimAppearanceTest, LightListIsAGreyGroundWithWhiteRowsAndBlackText) {
    CGImageRef frame = render(UIUserInterfaceStyleLight);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(pixels::near(pixels::at(frame, 3, 640, 2), 239, 239, 244, 255, 3));
    auto band = firstRowBand(frame, 255, 255, 255);
    ASSERT_TRUE(band);
    int ink =
        pixels::count(frame, 20 * 2, static_cast<int>(*band * 2), 200 * 2, static_cast<int>((*band + 40) * 2),
                      [](const CGImage::Pixel& p) { return p.r < 60 && p.g < 60 && p.b < 60; });
    EXPECT_GT(ink, 30) << "the row's title is black";
    EXPECT_TRUE(pixels::near(pixels::at(frame, 5, 40, 2), 248, 248, 248, 255, 6));
}

TEST_F(SimAppearanceTest, DarkListIsABlackGroundWithDarkGreyRowsWhiteTextAndADarkBar) {
    CGImageRef frame = render(UIUserInterfaceStyleDark);
    ASSERT_TRUE(frame);
    // The style goes back to light with the simulator.
    EXPECT_EQ(UITraitCollection::currentUserInterfaceStyle(), UIUserInterfaceStyleLight);

    EXPECT_TRUE(pixels::near(pixels::at(frame, 3, 640, 2), 0, 0, 0, 255, 3));
    auto band = firstRowBand(frame, 0x1C, 0x1C, 0x1E);
    ASSERT_TRUE(band) << "no dark grey row band down the left margin";
    int ink =
        pixels::count(frame, 20 * 2, static_cast<int>(*band * 2), 200 * 2, static_cast<int>((*band + 40) * 2),
                      [](const CGImage::Pixel& p) { return p.r > 200 && p.g > 200 && p.b > 200; });
    EXPECT_GT(ink, 30) << "the row's title is white";
    int blackInk =
        pixels::count(frame, 20 * 2, static_cast<int>(*band * 2), 200 * 2, static_cast<int>((*band + 40) * 2),
                      [](const CGImage::Pixel& p) { return p.r < 10 && p.g < 10 && p.b < 10; });
    EXPECT_EQ(blackInk, 0) << "no black text is left on the dark row";

    // The bar is dark, with a light title and a white clock in the status bar.
    auto bar = pixels::at(frame, 5, 40, 2);
    EXPECT_LT(bar.r, 50);
    EXPECT_GT(bar.r, 10);
    auto light = [](const CGImage::Pixel& p) { return p.r > 200 && p.g > 200 && p.b > 200; };
    EXPECT_GT(pixels::count(frame, 120 * 2, 20 * 2, 255 * 2, 64 * 2, light), 30) << "the title is light";
    EXPECT_GT(pixels::count(frame, 160 * 2, 0, 215 * 2, 20 * 2, light), 10) << "the clock is white";
}

} // namespace
