// `orbitchat-sim shot`: one command from a bundle folder to a PNG of its first page, run as the
// program, with its exit statuses.

#include "platform/graphics/CGImage.h"
#include "support/PixelTesting.h"

#include "../SimTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kOneSwitchPage = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>items</key><array>
<dict><key>cell</key><string>PSGroupCell</string><key>label</key><string>General</string></dict>
<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>Enabled</string>
<key>key</key><string>enabled</string><key>defaults</key><string>com.example.demo</string></dict>
</array></dict></plist>
)";

struct ShotRun {
    int status = -1;
    std::string out;
};

// Runs orbitchat-sim with `arguments` in the folder `cwd`.
ShotRun runShot(const fs::path& cwd, const std::string& arguments) {
    ShotRun run;
    run.status = runSimProgram(arguments, run.out, false, cwd);
    return run;
}

class ShotCommandTest : public ::testing::Test {
protected:
    fs::path folder;
    void SetUp() override {
        folder = fs::temp_directory_path() / ("shot-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "Demo.bundle");
        std::ofstream(folder / "Demo.bundle/Root.plist") << kOneSwitchPage;
    }
    void TearDown() override { fs::remove_all(folder); }
};

TEST_F(ShotCommandTest, WritesTheFirstPageRelativeToTheCurrentFolder) {
    ShotRun run = runShot(folder, "shot Demo.bundle shots/light.png");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "wrote shots/light.png\n");
    auto image = CGImage::createFromPNGFile((folder / "shots/light.png").string());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 750u);
    EXPECT_EQ(image->height(), 1334u);
    // The grouped list's light grey ground low on the page.
    EXPECT_TRUE(pixels::near(pixels::at(image, 3, 640, 2), 239, 239, 244, 255, 3));
}

TEST_F(ShotCommandTest, DrawsDarkOnAScreenOfTheGivenSizeAtAnAbsolutePath) {
    const fs::path out = folder / "dark.png";
    ShotRun run =
        runShot(fs::temp_directory_path(), "shot '" + (folder / "Demo.bundle").string() + "' '" +
                                               out.string() + "' --appearance dark --screen 320x568@1");
    ASSERT_EQ(run.status, 0) << run.out;
    auto image = CGImage::createFromPNGFile(out.string());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 320u);
    EXPECT_EQ(image->height(), 568u);
    EXPECT_TRUE(pixels::near(pixels::at(image, 3, 540), 0, 0, 0, 255, 3));
    int band = pixels::count(image, 0, 64, 10, 300, [](const CGImage::Pixel& p) {
        return std::abs(p.r - 0x1C) <= 3 && std::abs(p.b - 0x1E) <= 3 && p.a == 255;
    });
    EXPECT_GT(band, 100) << "a dark grey row band";
}

TEST_F(ShotCommandTest, ExitsOneForAnUnreadableBundleAndTwoForABadCommandLine) {
    fs::create_directories(folder / "Empty.bundle");
    EXPECT_EQ(runShot(folder, "shot Empty.bundle x.png").status, 1);
    EXPECT_EQ(runShot(folder, "shot Missing.bundle x.png").status, 1);
    EXPECT_FALSE(fs::exists(folder / "x.png"));
    EXPECT_EQ(runShot(folder, "shot Demo.bundle").status, 2);
    EXPECT_EQ(runShot(folder, "shot Demo.bundle x.png --appearance dim").status, 2);
    EXPECT_EQ(runShot(folder, "shot Demo.bundle x.png --screen 10x10@9").status, 2);
}

TEST_F(ShotCommandTest, APageThatCannotBeReadIsAnErrorAndNoPictureIsWritten) {
    const fs::path root = folder / "Bad.bundle/Root.plist";
    auto write = [&](const std::string& bytes) {
        fs::remove(root);
        std::ofstream(root, std::ios::binary) << bytes;
    };
    const std::vector<std::pair<std::string, std::function<void()>>> pages{
        {"empty", [&] { write(""); }},
        {"garbage", [&] { write(std::string("\x01\xff\xfe garbage <plist") + std::string(200, '\x07')); }},
        {"too deep",
         [&] {
             std::string deep = "<plist><dict><key>items</key>";
             for (int i = 0; i < 1000; ++i)
                 deep += "<array>";
             write(deep + "</plist>");
         }},
        {"over the size cap",
         [&] {
             write("");
             fs::resize_file(root, (16u << 20) + 1);
         }},
        {"a FIFO",
         [&] {
             fs::remove(root);
             ASSERT_EQ(::mkfifo(root.c_str(), 0644), 0);
         }},
        {"a link loop",
         [&] {
             fs::remove(root);
             fs::create_symlink("Root.plist", root);
         }},
        {"no items", [&] { write("<plist><dict><key>title</key><string>T</string></dict></plist>"); }},
    };
    fs::create_directories(folder / "Bad.bundle");
    for (const auto& [what, make] : pages) {
        SCOPED_TRACE(what);
        make();
        std::string out;
        const int status = runSimProgram("shot Bad.bundle bad.png", out, true, folder);
        EXPECT_EQ(status, 1) << out;
        EXPECT_NE(out.find("Root.plist cannot be read"), std::string::npos) << out;
        EXPECT_EQ(out.find("wrote"), std::string::npos) << out;
        EXPECT_FALSE(fs::exists(folder / "bad.png"));
    }
    // The same bundle with a page that reads is shot.
    write(kOneSwitchPage);
    EXPECT_EQ(runShot(folder, "shot Bad.bundle good.png").status, 0);
    EXPECT_TRUE(fs::exists(folder / "good.png"));
}

TEST_F(ShotCommandTest, AProjectIsShotFromItsRowInSettings) {
    fs::create_directories(folder / "tweak/prefs/Resources");
    std::ofstream(folder / "tweak/Makefile")
        << "SUBPROJECTS = prefs\ninclude $(THEOS_MAKE_PATH)/aggregate.mk\n";
    std::ofstream(folder / "tweak/prefs/Makefile")
        << "BUNDLE_NAME = DemoPrefs\ninclude $(THEOS_MAKE_PATH)/bundle.mk\n";
    std::ofstream(folder / "tweak/prefs/Resources/Root.plist") << kOneSwitchPage;
    std::ofstream(folder / "tweak/prefs/entry.plist") << "{ entry = { bundle = DemoPrefs; cell = PSLinkCell; "
                                                         "isController = 1; label = \"Demo Tweak\"; }; }";
    std::string out;
    ASSERT_EQ(runSimProgram("shot --project tweak project.png --rootless", out, true, folder), 0) << out;
    EXPECT_NE(out.find("wrote project.png"), std::string::npos) << out;
    auto image = CGImage::createFromPNGFile((folder / "project.png").string());
    ASSERT_TRUE(image);
    // Opened from its row: the navigation bar's back button to the Settings list, in the tint.
    const int tinted = pixels::count(image, 0, 40, 200, 88, [](const CGImage::Pixel& p) {
        return p.a > 200 && p.b > 200 && p.r < 60 && p.g > 90 && p.g < 150;
    });
    EXPECT_GT(tinted, 30);
    EXPECT_EQ(runShot(folder, "shot --project tweak").status, 2);
    EXPECT_EQ(runShot(folder, "shot Demo.bundle x.png --rootless").status, 2);
}

} // namespace
