// The HB framework's header views and image rows, on a rendered page: the package header's lines,
// heights and gradient, its one lookup of the package database per page, and image headers and
// rows sized from their images.

#include "HBListFixture.h"

#include "platform/prefslibs/HBPackageNameHeaderCell.h"
#include "platform/ui/UIGraphics.h"

#include <filesystem>

namespace {

class HBPackageNameHeaderCellTest : public HBListFixture {
protected:
    void SetUp() override {
        HBListFixture::SetUp();
        device.write("/var/lib/dpkg/status",
                     "Package: com.example.tweak\nName: Example Tweak\nVersion: 1.2.3\n"
                     "Author: Jane Doe <jane@example.com>\n");
    }
    // The header view of the page's section, as the table placed it.
    std::shared_ptr<UIView> header(PSListController& list, std::int64_t section) {
        show(list);
        return list.table()->viewForHeaderInSection(section, 375);
    }
    // A PNG `w` × `h` pixels of one colour.
    static std::string png(int w, int h, UIColor colour) {
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(w, h), false, 1);
        UIColorSetFill(colour);
        UIRectFill(CGRectMake(0, 0, w, h));
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        PlistData bytes = UIImagePNGRepresentation(image);
        return std::string(bytes.begin(), bytes.end());
    }
};

bool ink(const CGImage::Pixel& p) {
    return p.a > 200 && p.r < 140 && p.g < 140 && p.b < 140;
}

// Dark pixels in a band of rows (points) of the 2x image, split at the centre: left and right.
std::pair<int, int> inkAround(const CGImageRef& image, CGFloat top, CGFloat bottom, CGFloat from,
                              CGFloat to) {
    int left = pixels::count(image, int(2 * from), int(2 * top), 375, int(2 * bottom), ink);
    int right = pixels::count(image, 375, int(2 * top), int(2 * to), int(2 * bottom), ink);
    return {left, right};
}

} // namespace

TEST_F(HBPackageNameHeaderCellTest, TheStandardHeaderCentresNameVersionAndAuthorFromThePackageDatabase) {
    writePage("Root", R"({ items = (
        { cell = PSGroupCell; headerCellClass = HBPackageNameHeaderCell; packageIdentifier = com.example.tweak; },
        { cell = PSButtonCell; cellClass = HBLinkTableCell; label = Site; url = "https://s.example/"; },
        { cell = PSGroupCell; headerCellClass = HBPackageNameHeaderCell; packageIdentifier = com.example.tweak;
          packageNameOverride = "Better Name"; showVersion = 0; },
        { cell = PSGroupCell; headerCellClass = HBPackageNameHeaderCell; packageIdentifier = com.example.missing; },
    ); })");
    auto list = open();
    auto first = header(*list, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->frame().height(), 72 + 26 + 26);
    EXPECT_EQ(first->accessibilityText(), "Example Tweak");
    EXPECT_EQ(header(*list, 1)->frame().height(), 72 + 26);
    EXPECT_EQ(header(*list, 1)->accessibilityText(), "Better Name");
    // Not installed: the identifier, and no lines under it.
    EXPECT_EQ(header(*list, 2)->frame().height(), 72);
    EXPECT_EQ(header(*list, 2)->accessibilityText(), "com.example.missing");

    // Drawn: ink on both sides of the centre in the name's band, none near the edges; the rows
    // start under the header.
    CGImageRef image = render(*list);
    CGRect h = first->frame();
    auto [left, right] = inkAround(image, h.minY() + 10, h.minY() + 55, 20, 355);
    EXPECT_GT(left, 200);
    EXPECT_GT(right, 200);
    EXPECT_LT(std::abs(left - right), (left + right) / 3);
    EXPECT_EQ(pixels::count(image, 0, int(2 * h.minY()), 20, int(2 * h.maxY()), ink), 0);
    EXPECT_EQ(pixels::count(image, 730, int(2 * h.minY()), 750, int(2 * h.maxY()), ink), 0);
    EXPECT_GE(frameOf(*list, "Site").minY(), h.maxY());
}

TEST_F(HBPackageNameHeaderCellTest, ACondensedHeaderOnAGradientHasOneTitleLineAndNearWhiteText) {
    writePage("Root", R"({ items = (
        { cell = PSGroupCell; headerCellClass = HBPackageNameHeaderCell; packageIdentifier = com.example.tweak;
          condensed = 1; backgroundGradientColors = ("#FF0000", "#0000FF"); },
        { cell = PSButtonCell; label = Row; },
    ); })");
    auto list = open();
    auto view = header(*list, 0);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->frame().height(), 72 + 26 + 41); // the version is on the name's line
    CGImageRef image = render(*list);
    CGRect h = view->frame();
    EXPECT_TRUE(pixels::near(pixels::at(image, 3, h.minY() + 1, 2), 255, 0, 0, 255, 12));
    EXPECT_TRUE(pixels::near(pixels::at(image, 3, h.maxY() - 1, 2), 0, 0, 255, 255, 12));
    int nearWhite =
        pixels::count(image, 0, int(2 * h.minY()), 750, int(2 * h.maxY()),
                      [](const CGImage::Pixel& p) { return p.r > 230 && p.g > 230 && p.b > 230; });
    EXPECT_GT(nearWhite, 300);
}

TEST_F(HBPackageNameHeaderCellTest, ThePackageDatabaseIsReadOnceForThePage) {
    std::string rows;
    for (int i = 0; i < 300; ++i)
        rows += "{ cell = PSGroupCell; headerCellClass = HBPackageNameHeaderCell; packageIdentifier = "
                "com.example.tweak; },"
                "{ cell = PSButtonCell; cellClass = HBPackageTableCell; label = \"Row " +
                std::to_string(i) + "\"; packageIdentifier = com.example.tweak; },";
    writePage("Root", "{ items = (" + rows + "); }");
    auto list = open();
    // Once the page has loaded, the database is not read again: its headers show what it held.
    std::filesystem::remove(device.host("/var/lib/dpkg/status"));
    show(*list);
    EXPECT_EQ(list->table()->viewForHeaderInSection(0, 375)->accessibilityText(), "Example Tweak");
    EXPECT_EQ(list->table()->viewForHeaderInSection(299, 375)->accessibilityText(), "Example Tweak");
    EXPECT_EQ(device.countLog("HBFramework"), 0u);
}

TEST_F(HBPackageNameHeaderCellTest, ImagesHeadAGroupAtTheTablesWidthAndFillARowOverAClearGround) {
    device.write(std::string(kBundle) + "/banner.png", png(60, 30, UIColor::redColor()));
    writePage("Root", R"({ items = (
        { cell = PSGroupCell; headerCellClass = HBImageTableCell; icon = "banner.png"; },
        { cell = PSButtonCell; cellClass = HBImageTableCell; label = Picture; icon = "banner.png"; height = "100"; },
    ); })");
    auto list = open();
    auto view = header(*list, 0);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->frame().size, CGSizeMake(375, std::round(375.0 / 2)));

    CGImageRef image = render(*list);
    auto cell = cellOf(*list, "");
    CGRect row = cell->frame();
    EXPECT_EQ(row.height(), 100);
    // Aspect-fitted: 200 x 100 in the middle of the row, the ground around it grouped grey.
    EXPECT_TRUE(pixels::red(pixels::at(image, 187, row.midY(), 2)));
    EXPECT_TRUE(pixels::near(pixels::at(image, 20, row.midY(), 2), 239, 239, 244, 255, 4));
    EXPECT_TRUE(pixels::red(pixels::at(image, 187, view->frame().midY(), 2)));
    // Nothing happens on a tap.
    tap(*list, "Picture");
    EXPECT_FALSE(navigation->presentedViewController());
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
}
