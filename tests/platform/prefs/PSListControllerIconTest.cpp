// The icons of a preference list's rows: which file of a bundle a row's "icon" names (the screen's
// scale, then smaller ones, localised before top-level), which files are passed over, and how an
// icon draws in its row when its file is broken or changed after the list was made.

#include "support/DeviceFixture.h"
#include "support/PixelTesting.h"

#include "platform/foundation/NSBundle.h"
#include "platform/prefs/PSListController.h"
#include "platform/ui/UIGraphics.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIRenderer.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UITableViewContentView.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

constexpr const char* kIconBundle = "/Library/PreferenceBundles/Icons.bundle";

class ListIconTest : public ::testing::Test {
protected:
    void SetUp() override { UIScreen::mainScreen()->setScale(2); }

    // A PNG of `side` pixels a side in one colour.
    static std::string png(int side, const UIColor& colour) {
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(side, side), false, 1);
        UIColorSetFill(colour);
        UIRectFill(CGRectMake(0, 0, side, side));
        PlistData bytes = UIImagePNGRepresentation(UIGraphicsGetImageFromCurrentImageContext());
        UIGraphicsEndImageContext();
        return std::string(bytes.begin(), bytes.end());
    }
    // The same PNG with its first IDAT chunk's data overwritten: the header stays good, the body
    // does not decode.
    static std::string brokenBody(std::string bytes) {
        std::size_t idat = bytes.find("IDAT");
        auto length = static_cast<std::size_t>(static_cast<unsigned char>(bytes[idat - 1]));
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(idat + 4),
                  bytes.begin() + static_cast<std::ptrdiff_t>(idat + 4 + length), '\xFF');
        return bytes;
    }
    void writeIcon(const std::string& name, int side, const UIColor& colour = UIColor::redColor()) const {
        device.write(std::string(kIconBundle) + "/" + name, png(side, colour));
    }
    // The file a row's icon came from, told by its pixel width (each test's files differ in it),
    // and the scale it was read at; {0, 0} for no image.
    static std::pair<int, int> chosen(const std::string& file) {
        auto image = PSListController::imageFromBundle(*NSBundle::bundleWithPath(kIconBundle), file);
        if (!image)
            return {0, 0};
        return {static_cast<int>(image->size().width * image->scale()), static_cast<int>(image->scale())};
    }

    // A one-row list whose row shows `icon`, laid out in a 375-point table.
    std::shared_ptr<PSListController> openList(const std::string& icon = "icon.png") {
        device.write(std::string(kIconBundle) + "/Root.plist",
                     "{ items = ( { cell = PSLinkCell; label = Row; icon = \"" + icon + "\"; } ); }");
        auto list = PSListController::createWithPlist(NSBundle::bundleWithPath(kIconBundle), "Root");
        navigation = UINavigationController::create(list);
        navigation->loadViewIfNeeded();
        (void)list->specifiers();
        return list;
    }
    static std::shared_ptr<UIImage> iconOf(PSListController& list) {
        return list.specifierForName("Row")->propertyForKey("iconImage").objectAs<UIImage>();
    }
    // The list drawn at 2x with its cells made anew, so a changed row property is what draws.
    static CGImageRef render(PSListController& list) {
        auto table = list.table();
        table->setFrame(CGRectMake(0, 0, 375, 100));
        table->reloadData();
        auto face = UITableViewContentView::attach(table);
        face->syncWithTable(true);
        face->loadAllRows();
        table->layoutIfNeeded();
        return UIRenderer(2).renderFrame(*table)->copy();
    }
    // The list drawn with the row's icon replaced by `image`, then given its own icon back.
    static CGImageRef renderWithIcon(PSListController& list, std::shared_ptr<UIImage> image) {
        auto row = list.specifierForName("Row");
        PlistValue own = row->propertyForKey("iconImage");
        row->setProperty(PlistValue(std::static_pointer_cast<NSObject>(std::move(image))), "iconImage");
        CGImageRef frame = render(list);
        row->setProperty(own, "iconImage");
        return frame;
    }
    static int differingPixels(const CGImageRef& a, const CGImageRef& b) {
        int n = 0;
        for (std::size_t y = 0; y < a->height(); ++y)
            for (std::size_t x = 0; x < a->width(); ++x)
                n += a->pixelAt(x, y) == b->pixelAt(x, y) ? 0 : 1;
        return n;
    }
    static int redPixels(const CGImageRef& frame) {
        return pixels::count(frame, 0, 0, static_cast<int>(frame->width()), static_cast<int>(frame->height()),
                             pixels::red);
    }
    // An icon of the same size that draws nothing, to compare a row whose icon draws nothing with.
    static std::shared_ptr<UIImage> clearIcon(int side, CGFloat scale) {
        return UIImage::imageWithCGImage(
            CGImage::create(static_cast<std::size_t>(side), static_cast<std::size_t>(side)), scale);
    }

    DeviceFixture device;
    std::shared_ptr<UINavigationController> navigation;
};

TEST_F(ListIconTest, TheScreensScaleIsTriedFirstThenSmallerOnesAndLocalisedFilesBeforeTopLevelOnes) {
    writeIcon("icon.png", 10);
    writeIcon("icon@2x.png", 20);
    writeIcon("icon@3x.png", 30);
    writeIcon("icon~iphone.png", 11);
    EXPECT_EQ(chosen("icon.png"), std::make_pair(20, 2));
    EXPECT_EQ(chosen("icon"), std::make_pair(20, 2)); // no extension: a PNG
    UIScreen::mainScreen()->setScale(3);
    EXPECT_EQ(chosen("icon.png"), std::make_pair(30, 3));
    UIScreen::mainScreen()->setScale(1);
    EXPECT_EQ(chosen("icon.png"), std::make_pair(10, 1));
    UIScreen::mainScreen()->setScale(2);

    // A larger scale than the screen's is never taken, nor a device-suffixed name.
    writeIcon("big@3x.png", 30);
    writeIcon("phone~iphone.png", 11);
    EXPECT_EQ(chosen("big.png"), std::make_pair(0, 0));
    EXPECT_EQ(chosen("phone.png"), std::make_pair(0, 0));
    EXPECT_EQ(chosen("phone~iphone.png"), std::make_pair(11, 1));
    // A name that carries its scale is read as written, at scale 1.
    EXPECT_EQ(chosen("icon@3x.png"), std::make_pair(30, 1));

    // In each scale the language's folder comes before the top folder, and the scale comes first.
    writeIcon("de.lproj/icon.png", 12);
    writeIcon("de.lproj/flag@2x.png", 24);
    writeIcon("flag@2x.png", 22);
    writeIcon("flag.png", 14);
    EXPECT_EQ(chosen("flag.png"), std::make_pair(22, 2));
    NSBundle::setPreferredLanguages({"de-CH"});
    EXPECT_EQ(chosen("flag.png"), std::make_pair(24, 2));
    EXPECT_EQ(chosen("icon.png"), std::make_pair(20, 2));
    UIScreen::mainScreen()->setScale(1);
    EXPECT_EQ(chosen("icon.png"), std::make_pair(12, 1));
}

TEST_F(ListIconTest, OneBundleFollowsTheDevicesLanguagesAsTheyChange) {
    writeIcon("flag@2x.png", 22);
    writeIcon("de.lproj/flag@2x.png", 24);
    writeIcon("fr.lproj/flag@2x.png", 26);
    auto bundle = NSBundle::bundleWithPath(kIconBundle);
    auto width = [&] {
        auto image = PSListController::imageFromBundle(*bundle, "flag.png");
        return image ? static_cast<int>(image->size().width * image->scale()) : 0;
    };
    EXPECT_EQ(width(), 22);
    NSBundle::setPreferredLanguages({"fr", "de"});
    EXPECT_EQ(width(), 26);
    NSBundle::setPreferredLanguages({"de"});
    EXPECT_EQ(width(), 24);
    NSBundle::setPreferredLanguages({"en"});
    EXPECT_EQ(width(), 22);
    // A language folder made after the bundle was listed is seen once its caches are flushed.
    writeIcon("en.lproj/flag@2x.png", 28);
    bundle->flushCaches();
    EXPECT_EQ(width(), 28);
}

TEST_F(ListIconTest, VariantsThatCannotBeReadArePassedOverAsBefore) {
    namespace fs = std::filesystem;
    writeIcon("icon.png", 10);
    // A link out of the device root is refused, though the file it names is a good PNG.
    fs::path outside =
        fs::path(device.root()).parent_path() / (fs::path(device.root()).filename().string() + "-out.png");
    {
        std::string bytes = png(20, UIColor::blueColor());
        std::ofstream(outside, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    fs::create_symlink(outside, device.host(std::string(kIconBundle) + "/icon@2x.png"));
    EXPECT_EQ(chosen("icon.png"), std::make_pair(10, 1));
    fs::remove(device.host(std::string(kIconBundle) + "/icon@2x.png"));
    fs::create_symlink("../../../../" + outside.filename().string(),
                       device.host(std::string(kIconBundle) + "/icon@2x.png"));
    EXPECT_EQ(chosen("icon.png"), std::make_pair(10, 1));
    fs::remove(outside);

    // A link to a device path is followed inside the root.
    writeIcon("shared.png", 26);
    fs::create_symlink(std::string(kIconBundle) + "/shared.png",
                       device.host(std::string(kIconBundle) + "/linked@2x.png"));
    EXPECT_EQ(chosen("linked.png"), std::make_pair(26, 2));

    // Not a PNG, a folder, or larger than a bundle's resources may be: the next variant is read.
    device.write(std::string(kIconBundle) + "/text@2x.png",
                 "not a picture at all, but long enough to hold a header");
    writeIcon("text.png", 8);
    EXPECT_EQ(chosen("text.png"), std::make_pair(8, 1));
    device.mkdirs(std::string(kIconBundle) + "/dir@2x.png");
    writeIcon("dir.png", 9);
    EXPECT_EQ(chosen("dir.png"), std::make_pair(9, 1));
    writeIcon("huge@2x.png", 40);
    fs::resize_file(device.host(std::string(kIconBundle) + "/huge@2x.png"), NSBundle::kLargestResource + 1);
    writeIcon("huge.png", 7);
    EXPECT_EQ(chosen("huge.png"), std::make_pair(7, 1));
}

TEST_F(ListIconTest, AnIconWhoseBodyIsCorruptKeepsItsSizeDrawsNothingAndIsLoggedOnce) {
    device.write(std::string(kIconBundle) + "/icon@2x.png", brokenBody(png(58, UIColor::redColor())));
    auto list = openList();
    auto icon = iconOf(*list);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->size(), CGSizeMake(29, 29));
    device.clearLog();
    CGImageRef frame = render(*list);
    EXPECT_EQ(redPixels(frame), 0);
    EXPECT_EQ(differingPixels(frame, renderWithIcon(*list, clearIcon(58, 2))), 0);
    render(*list);
    EXPECT_EQ(device.countLog("UIImage:"), 1u);
}

TEST_F(ListIconTest, ALazilyReadIconDrawsTheSamePixelsAsOneDecodedAtOnce) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(58, 58), false, 1);
    UIColorSetFill(UIColor::redColor());
    UIRectFill(CGRectMake(0, 0, 20, 58));
    UIColorSetFill(UIColor::colorWithRed(0, 0.4, 1, 0.5));
    UIRectFill(CGRectMake(20, 0, 38, 40));
    PlistData bytes = UIImagePNGRepresentation(UIGraphicsGetImageFromCurrentImageContext());
    UIGraphicsEndImageContext();
    device.write(std::string(kIconBundle) + "/icon@2x.png", std::string(bytes.begin(), bytes.end()));

    auto list = openList();
    CGImageRef lazy = render(*list);
    CGImageRef eager = renderWithIcon(*list, UIImage::imageWithCGImage(CGImage::createFromPNGData(bytes), 2));
    EXPECT_GT(redPixels(lazy), 100);
    EXPECT_EQ(differingPixels(lazy, eager), 0);
}

TEST_F(ListIconTest, AnIconReplacedAfterTheListWasMadeDrawsTheNewFileOrNothing) {
    namespace fs = std::filesystem;
    const std::string path = std::string(kIconBundle) + "/icon@2x.png";
    auto replacedBy = [&](const std::function<void()>& change) {
        auto list = openList();
        change();
        device.clearLog();
        return render(*list);
    };

    // The same size in another colour: the new pixels.
    writeIcon("icon@2x.png", 58);
    CGImageRef recoloured = replacedBy([&] { writeIcon("icon@2x.png", 58, UIColor::blueColor()); });
    EXPECT_EQ(redPixels(recoloured), 0);
    EXPECT_GT(pixels::count(recoloured, 0, 0, 375 * 2, 100 * 2, pixels::blue), 100);

    // Another size, garbage, a folder, nothing, a link out of the root: nothing drawn, said once.
    const CGImageRef blank = renderWithIcon(*openList(), clearIcon(58, 2));
    const std::vector<std::pair<std::string, std::function<void()>>> changes{
        {"resized", [&] { writeIcon("icon@2x.png", 40); }},
        {"garbage", [&] { device.write(path, std::string(5000, 'x')); }},
        {"truncated", [&] { device.write(path, png(58, UIColor::redColor()).substr(0, 60)); }},
        {"folder",
         [&] {
             fs::remove(device.host(path));
             device.mkdirs(path);
         }},
        {"removed", [&] { fs::remove_all(device.host(path)); }},
        {"link out",
         [&] {
             fs::remove_all(device.host(path));
             fs::create_symlink("../../../../../etc/hostname", device.host(path));
         }},
    };
    for (const auto& [what, change] : changes) {
        fs::remove_all(device.host(path));
        writeIcon("icon@2x.png", 58);
        CGImageRef frame = replacedBy(change);
        EXPECT_EQ(differingPixels(frame, blank), 0) << what;
        EXPECT_EQ(device.countLog("UIImage:"), 1u) << what;
    }
}

} // namespace
