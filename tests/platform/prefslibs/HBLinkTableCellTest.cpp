// The HB framework's tinted, link and profile cells on a rendered page: tinted titles, the
// compass, icon boxes and heights, and what their taps open.

#include "HBListFixture.h"

#include "platform/prefslibs/HBCellViews.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"

namespace {

class HBLinkTableCellTest : public HBListFixture {};

// Pixels in a box of the table's points, in the 2x image.
int countIn(const CGImageRef& image, CGRect box, const std::function<bool(const CGImage::Pixel&)>& test) {
    return pixels::count(image, int(2 * box.minX()), int(2 * box.minY()), int(2 * box.maxX()),
                         int(2 * box.maxY()), test);
}

bool tintedRed(const CGImage::Pixel& p) {
    return p.a > 200 && p.r > 180 && p.g < 90 && p.b < 90;
}
bool systemBlue(const CGImage::Pixel& p) {
    return p.a > 200 && p.b > 200 && p.r < 90 && p.g > 80 && p.g < 160;
}
bool compassGrey(const CGImage::Pixel& p) {
    return p.a > 200 && std::abs(p.r - 199) < 24 && std::abs(p.b - 204) < 24 && p.r < 235;
}

const char* kLinks = R"({ items = (
    { cell = PSGroupCell; },
    { cell = PSButtonCell; cellClass = HBTintedTableCell; label = Red; tintColor = "#FF0000"; },
    { cell = PSButtonCell; cellClass = HBTintedTableCell; label = Plain; },
    { cell = PSButtonCell; cellClass = HBLinkTableCell; label = Site; subtitle = "Our page";
      url = "https://tweak.example/"; },
    { cell = PSButtonCell; cellClass = HBLinkTableCell; label = Big; big = 1; initials = JD;
      subtitle = "A long subtitle that takes more than one line to read in full on a phone";
      url = "https://big.example/"; },
    { cell = PSButtonCell; cellClass = HBLinkTableCell; label = Tall; big = 1; height = "80"; showIcon = 1;
      iconCircular = 1; url = "https://tall.example/"; },
    { cell = PSButtonCell; cellClass = HBTwitterCell; label = Jane; user = "@jane_doe"; },
    { cell = PSButtonCell; cellClass = HBTwitterCell; label = Max; user = max; big = 1; avatarURL = "https://a.example/m.png"; },
    { cell = PSButtonCell; cellClass = HBTwitterCell; label = Acted; user = acted; action = "hb_openURL:";
      url = "https://acted.example/"; },
); })";

} // namespace

TEST_F(HBLinkTableCellTest, TitlesTakeTheTintAndLinksShowASubtitleAndAGreyCompass) {
    writePage("Root", kLinks);
    auto list = open();
    CGImageRef image = render(*list);

    CGRect red = frameOf(*list, "Red"), plain = frameOf(*list, "Plain"), site = frameOf(*list, "Site");
    CGRect redTitle = CGRectMake(15, red.minY() + 8, 60, red.height() - 16);
    EXPECT_GT(countIn(image, redTitle, tintedRed), 20);
    EXPECT_EQ(countIn(image, redTitle, systemBlue), 0);
    EXPECT_GT(countIn(image, CGRectMake(15, plain.minY() + 8, 60, plain.height() - 16), systemBlue), 20);

    // The link: a blue title over a grey subtitle, and the compass at the right, in grey.
    auto cell = cellOf(*list, "Site");
    EXPECT_EQ(cell->detailText(), "Our page");
    EXPECT_EQ(site.height(), 58);
    EXPECT_GT(countIn(image, CGRectMake(15, site.minY() + 6, 60, 22), systemBlue), 20);
    EXPECT_EQ(countIn(image, CGRectMake(15, site.minY() + 32, 80, 20), systemBlue), 0);
    CGRect compass = CGRectMake(375 - 15 - 20, site.midY() - 10, 20, 20);
    EXPECT_GT(countIn(image, compass, compassGrey), 40);
    // A ring: its centre is the needle's, its corners are the row's white.
    EXPECT_TRUE(compassGrey(pixels::at(image, compass.midX(), compass.midY(), 2)));
    EXPECT_TRUE(
        pixels::near(pixels::at(image, compass.minX() + 1, compass.minY() + 1, 2), 255, 255, 255, 255));
}

TEST_F(HBLinkTableCellTest, IconBoxesAndBigRowsTakeTheirSizes) {
    writePage("Root", kLinks);
    auto list = open();
    CGImageRef image = render(*list);
    EXPECT_EQ(frameOf(*list, "Big").height(), 64);
    EXPECT_EQ(frameOf(*list, "Tall").height(), 80); // "height" wins, even as text
    EXPECT_EQ(frameOf(*list, "Max").height(), 56);
    EXPECT_EQ(frameOf(*list, "Jane").height(), 58);

    // The big row's icon is a 40-point box of 70% white holding the initials in white, and its
    // title starts past it.
    auto big = cellOf(*list, "Big");
    std::shared_ptr<UIImageView> icon;
    for (const auto& v : big->subviews())
        if (auto i = std::dynamic_pointer_cast<UIImageView>(v))
            icon = i;
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->frame().size, CGSizeMake(40, 40));
    CGRect box = CGRectMake(15, big->frame().minY() + 12, 40, 40);
    EXPECT_TRUE(pixels::near(pixels::at(image, box.minX() + 6, box.midY(), 2), 179, 179, 179, 255));
    EXPECT_GT(
        countIn(image, CGRectInset(box, 8, 10),
                [](const CGImage::Pixel& p) { return p.a > 200 && p.r > 240 && p.g > 240 && p.b > 240; }),
        10);
    // A big row's subtitle wraps, within the row.
    std::shared_ptr<UILabel> subtitle;
    for (const auto& v : big->subviews())
        if (auto l = std::dynamic_pointer_cast<UILabel>(v); l && l->text() == big->detailText())
            subtitle = l;
    ASSERT_TRUE(subtitle);
    EXPECT_GT(subtitle->frame().height(), 1.5 * std::ceil(subtitle->font().lineHeight()));
    EXPECT_LE(subtitle->frame().maxY(), 64);
    // Squircle: the corner itself is the row's white, not the box's grey.
    EXPECT_TRUE(pixels::near(pixels::at(image, box.minX() + 0.5, box.minY() + 0.5, 2), 255, 255, 255, 255));

    // A round 40-point box of 90% white; a profile without an avatar key has no icon at all.
    auto tall = cellOf(*list, "Tall");
    CGRect round = CGRectMake(15, tall->frame().midY() - 20, 40, 40);
    EXPECT_TRUE(pixels::near(pixels::at(image, round.midX(), round.midY(), 2), 230, 230, 230, 255));
    EXPECT_TRUE(pixels::near(pixels::at(image, round.minX() + 4, round.minY() + 4, 2), 255, 255, 255, 255));
    EXPECT_FALSE(cellOf(*list, "Jane")->image());
    EXPECT_TRUE(cellOf(*list, "Max")->image());
}

TEST_F(HBLinkTableCellTest, TapsOpenTheURLOrTheProfileUnlessTheRowHasAnAction) {
    writePage("Root", kLinks);
    auto list = open();
    EXPECT_EQ(cellOf(*list, "Jane")->detailText(), "@jane_doe");
    tap(*list, "Site");
    tap(*list, "Jane");
    tap(*list, "Acted");
    EXPECT_EQ(opened(), (std::vector<std::string>{"https://tweak.example/", "https://twitter.com/jane_doe",
                                                  "https://acted.example/"}));
    // A tinted row keeps the stock tap: a button without an action does nothing.
    tap(*list, "Red");
    EXPECT_EQ(opened().size(), 3u);
}
