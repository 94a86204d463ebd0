#include "hud/TQProgressHUD.h"

#include "HudTestSupport.h"
#include "platform/foundation/NSLog.h"
#include "platform/ui/UIRenderer.h"
#include "platform/ui/UIStatusBarOrientation.h"
#include "support/PixelTesting.h"

#include <algorithm>

namespace {

class TQProgressHUDLayoutTest : public HudTest {
protected:
    std::shared_ptr<TQProgressHUD> hudIn(double w, double h) {
        parent = UIView::create(CGRectMake(0, 0, w, h));
        auto hud = TQProgressHUD::createWithView(parent);
        parent->addSubview(hud);
        return hud;
    }
    std::shared_ptr<UIView> parent;
};

TEST_F(TQProgressHUDLayoutTest, SpinnerAloneShrinkWrapsWithTheMargin) {
    auto hud = hudIn(320, 480);
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->paddingConstants(), (std::vector<double>{0, 0, 0, 0, 0}));
    EXPECT_EQ(hud->bezelView()->frame(), CGRectMake(160 - 38.5, 240 - 38.5, 77, 77));
    EXPECT_EQ(hud->indicator()->frame(), CGRectMake(20, 20, 37, 37));
}

TEST_F(TQProgressHUDLayoutTest, PaddingsFollowVisibleNeighboursWithoutARebuild) {
    auto hud = hudIn(320, 480);
    hud->layoutIfNeeded();
    hud->detailsLabel()->setText("details");
    hud->setNeedsLayout();
    hud->layoutIfNeeded();
    // The details label sits 4 points below the spinner: the flag carries over the empty label.
    EXPECT_EQ(hud->paddingConstants(), (std::vector<double>{0, 0, 4, 0, 0}));
    hud->label()->setText("Loading");
    hud->setNeedsLayout();
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->paddingConstants(), (std::vector<double>{0, 4, 4, 0, 0}));
    CGRect spinner = hud->indicator()->frame();
    CGRect label = hud->label()->frame();
    EXPECT_DOUBLE_EQ(label.minY(), spinner.maxY() + 4);
    EXPECT_DOUBLE_EQ(hud->detailsLabel()->frame().minY(), label.maxY() + 4);
}

TEST_F(TQProgressHUDLayoutTest, TextOnlyHasNoGaps) {
    auto hud = hudIn(320, 480);
    hud->setMode(TQModeTextOnly);
    hud->label()->setText("Done");
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->paddingConstants(), (std::vector<double>{0, 0, 0, 0}));
    CGSize text = hud->label()->intrinsicContentSize();
    EXPECT_EQ(hud->bezelView()->frame().size, CGSizeMake(text.width + 40, text.height + 40));
}

TEST_F(TQProgressHUDLayoutTest, EdgeMarginsWinOverCompressionAndOffset) {
    auto hud = hudIn(200, 480);
    hud->setMode(TQModeTextOnly);
    hud->label()->setText("A label far too long to fit inside a narrow parent view");
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->bezelView()->frame().origin.x, 20);
    EXPECT_EQ(hud->bezelView()->frame().size.width, 160);

    auto low = hudIn(320, 200);
    low->setOffset(CGPointMake(0, 100));
    low->layoutIfNeeded();
    EXPECT_EQ(low->bezelView()->frame().maxY(), 180); // not 100 below the centre
    low->setOffset(CGPointMake(0, 10));
    low->layoutIfNeeded();
    EXPECT_EQ(low->bezelView()->center().y, 110);
}

TEST_F(TQProgressHUDLayoutTest, MinimumSizeAndSquare) {
    auto hud = hudIn(320, 480);
    hud->setMinSize(CGSizeMake(150, 100));
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->bezelView()->frame().size, CGSizeMake(150, 100));
    // The content stays vertically centred: equal spacers.
    EXPECT_EQ(hud->indicator()->frame().origin.y, (100 - 37) / 2.0);
    hud->setSquare(true);
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->bezelView()->frame().size, CGSizeMake(150, 150));
}

TEST_F(TQProgressHUDLayoutTest, FollowsItsSuperviewOnRotation) {
    auto hud = hudIn(320, 480);
    parent->setBounds(CGRectMake(0, 0, 480, 320));
    UISetStatusBarOrientation(UIInterfaceOrientationLandscapeLeft);
    EXPECT_EQ(hud->frame(), CGRectMake(0, 0, 480, 320));
}

TEST_F(TQProgressHUDLayoutTest, ConstraintsAreInstalledOnTheViewsAndRebuiltOncePerPass) {
    auto hud = hudIn(320, 480);
    hud->layoutIfNeeded();
    // Centring (998) and the four edge margins (999) on the HUD; the spacers carry their minimum.
    auto own = hud->constraints();
    ASSERT_EQ(own.size(), 6u);
    EXPECT_EQ(std::count_if(own.begin(), own.end(), [](auto& c) { return c->priority() == 998; }), 2);
    EXPECT_EQ(std::count_if(own.begin(), own.end(), [](auto& c) { return c->priority() == 999; }), 4);
    // Per stacked view: centre x, two sides; five paddings, top, bottom and the equal spacers.
    ASSERT_EQ(hud->label()->superview()->constraints().size(), 6u * 3 + 5 + 2 + 1);

    // Several changes in a row cost one rebuild: the old constraint objects all leave at once.
    auto before = hud->bezelView()->constraints();
    hud->setMargin(10);
    hud->setOffset(CGPointMake(0, 5));
    hud->setMinSize(CGSizeMake(100, 100));
    EXPECT_TRUE(hud->needsUpdateConstraints());
    EXPECT_EQ(hud->bezelView()->constraints(), before); // nothing happens before the pass
    hud->layoutIfNeeded();
    EXPECT_FALSE(hud->needsUpdateConstraints());
    auto after = hud->bezelView()->constraints();
    EXPECT_EQ(after.size(), before.size() + 2); // the two minimum-size constraints
    for (auto& c : before)
        EXPECT_FALSE(c->isActive());
    EXPECT_EQ(hud->bezelView()->frame(), CGRectMake(110, 195, 100, 100));

    // A label change moves the padding constants of the same constraints, without a rebuild.
    hud->label()->setText("Loading");
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->bezelView()->constraints(), after);
    EXPECT_EQ(hud->paddingConstants(), (std::vector<double>{0, 4, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(hud->label()->frame().minY(), hud->indicator()->frame().maxY() + 4);
}

TEST_F(TQProgressHUDLayoutTest, ModeChangesRestackTheContent) {
    auto hud = hudIn(320, 480);
    hud->label()->setText("Loading");
    hud->layoutIfNeeded();
    hud->setMode(TQModeBar);
    hud->layoutIfNeeded();
    // The bar (120 x 10) is the widest view now; the label sits 4 below it.
    EXPECT_EQ(hud->bezelView()->frame().size.width, 160);
    EXPECT_EQ(hud->indicator()->frame().size, CGSizeMake(120, 10));
    EXPECT_DOUBLE_EQ(hud->label()->frame().minY(), hud->indicator()->frame().maxY() + 4);
    hud->setMode(TQModeTextOnly);
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->paddingConstants(), (std::vector<double>{0, 0, 0, 0}));
    CGSize text = hud->label()->intrinsicContentSize();
    EXPECT_EQ(hud->bezelView()->frame().size, CGSizeMake(text.width + 40, text.height + 40));
    EXPECT_EQ(hud->label()->frame().origin, CGPointMake(20, 20));
}

TEST_F(TQProgressHUDLayoutTest, ContradictingCallerConstraintLogsOnceAndKeepsTheLastLayout) {
    std::vector<std::string> lines;
    Subscription sink = NSLogAddSink([&](const std::string& line) { lines.push_back(line); });
    NSLogSetEchoToStderr(false);
    auto hud = hudIn(320, 480);
    hud->layoutIfNeeded();
    CGRect good = hud->bezelView()->frame();

    // A required 10-point-wide bezel cannot hold the spinner 20 points inside each side.
    auto narrow = NSLayoutConstraint::constraintWithItem(hud->bezelView(), NSLayoutAttributeWidth,
                                                         NSLayoutRelationEqual, nullptr,
                                                         NSLayoutAttributeNotAnAttribute, 1, 10);
    hud->bezelView()->addConstraint(narrow);
    hud->layoutIfNeeded();
    hud->setNeedsUpdateConstraints(); // a rebuild keeps the caller's constraint and the failure
    hud->layoutIfNeeded();
    sink.reset();
    NSLogSetEchoToStderr(true);

    EXPECT_EQ(hud->bezelView()->frame(), good);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Unable to simultaneously satisfy constraints"), std::string::npos);
    EXPECT_NE(lines[0].find(narrow->description()), std::string::npos);

    // Taking it away brings the constraint layout back.
    hud->bezelView()->removeConstraint(narrow);
    hud->label()->setText("Back");
    hud->layoutIfNeeded();
    EXPECT_GT(hud->bezelView()->frame().size.width, 77);
}

} // namespace

namespace {

TEST_F(TQProgressHUDLayoutTest, LongDetailsWrapInsideTheBezelInsteadOfBeingCut) {
    auto hud = hudIn(320, 480);
    hud->label()->setText("Installing");
    hud->detailsLabel()->setText(
        "Two of four extensions are downloaded, and the other two follow as soon as the "
        "package manager has room for them");
    hud->layoutIfNeeded();
    CGRect bezel = hud->bezelView()->frame();
    CGRect details = hud->detailsLabel()->frame();
    // The bezel keeps its 20-point margins in the parent, and the details fit inside it.
    EXPECT_GE(bezel.minX(), 20);
    EXPECT_LE(bezel.maxX(), 300);
    EXPECT_LE(details.maxX(), bezel.width());
    // The text was given several lines and all of it fits in the height it got.
    double oneLine = hud->detailsLabel()->sizeThatFits(CGSizeMake(0, 0)).height;
    EXPECT_GT(details.height(), 2.5 * oneLine);
    CGSize needed = hud->detailsLabel()->sizeThatFits(CGSizeMake(details.width(), 0));
    EXPECT_LE(needed.height, details.height() + 0.5);
    // A later short text shrinks the bezel back to its own width.
    hud->detailsLabel()->setText("Done");
    hud->setNeedsLayout();
    hud->layoutIfNeeded();
    EXPECT_NEAR(hud->detailsLabel()->frame().height(), oneLine, 0.5);
    EXPECT_LT(hud->bezelView()->frame().width(), bezel.width());
}

TEST_F(TQProgressHUDLayoutTest, AWordOf64kCharactersInTheDetailsStaysInsideTheParentAndDraws) {
    auto hud = hudIn(320, 480);
    hud->label()->setText("Loading");
    std::string word;
    while (word.size() < 64 * 1024)
        word += static_cast<char>('a' + word.size() % 26);
    hud->detailsLabel()->setText(word);
    hud->showAnimated(false);
    hud->layoutIfNeeded();
    CGRect bezel = hud->bezelView()->frame();
    CGRect details = hud->detailsLabel()->frame();
    EXPECT_GE(bezel.minX(), 20);
    EXPECT_LE(bezel.maxX(), 300);
    EXPECT_GE(bezel.minY(), 0);
    EXPECT_LE(bezel.maxY(), 480);
    EXPECT_LE(details.maxX(), bezel.width());
    EXPECT_LE(details.maxY(), bezel.height());
    EXPECT_GT(details.height(), 10 * hud->detailsLabel()->font().lineHeight());

    // The details are drawn: dark text over most of the bezel's height.
    auto image = UIRenderer::imageOfView(*parent, 1)->CGImage();
    auto ink = [](const CGImage::Pixel& p) { return p.a > 200 && p.r < 120 && p.g < 120 && p.b < 120; };
    auto band = [&](double top) {
        int y = static_cast<int>(bezel.minY() + details.minY() + top);
        return pixels::count(image, static_cast<int>(bezel.minX()), y, static_cast<int>(bezel.maxX()), y + 20,
                             ink);
    };
    EXPECT_GT(band(0), 50);
    EXPECT_GT(band(details.height() / 2), 50);
    EXPECT_GT(band(details.height() - 20), 50);
}

} // namespace

namespace {

// The content frames of a laid-out HUD, to compare one HUD's layout with another's.
struct ContentLayout {
    CGRect bezel, label, details;
    bool operator==(const ContentLayout&) const = default;
};
ContentLayout contentLayout(const TQProgressHUD& hud) {
    return {hud.bezelView()->frame(), hud.label()->frame(), hud.detailsLabel()->frame()};
}

} // namespace

TEST_F(TQProgressHUDLayoutTest, FollowsItsParentsSizeWithoutARotation) {
    auto hud = hudIn(320, 480);
    hud->layoutIfNeeded();
    parent->setFrame(CGRectMake(0, 0, 600, 400));
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->frame(), CGRectMake(0, 0, 600, 400));
    EXPECT_EQ(hud->backgroundView()->frame(), CGRectMake(0, 0, 600, 400));
    EXPECT_EQ(hud->bezelView()->center(), CGPointMake(300, 200));
    // Shrinking by bounds works the same way.
    parent->setBounds(CGRectMake(0, 0, 200, 300));
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->frame(), CGRectMake(0, 0, 200, 300));
    EXPECT_EQ(hud->bezelView()->center(), CGPointMake(100, 150));
}

TEST_F(TQProgressHUDLayoutTest, LayoutDependsOnlyOnTheCurrentTextsAndSizes) {
    const std::string longer = "Two of four extensions";
    auto fresh = [&](double w, double h) {
        auto keep = parent;
        auto hud = hudIn(w, h);
        hud->detailsLabel()->setText(longer);
        hud->layoutIfNeeded();
        auto layout = contentLayout(*hud);
        parent = keep;
        return layout;
    };
    const ContentLayout wide = fresh(320, 480);

    // A shown HUD whose details change from a short text to a longer one.
    auto hud = hudIn(320, 480);
    hud->detailsLabel()->setText("Cancel");
    hud->layoutIfNeeded();
    const CGRect cancel = hud->detailsLabel()->frame();
    // The longer text fits on one line in this parent, wider than "Cancel".
    EXPECT_NEAR(wide.details.height(), cancel.height(), 0.5);
    EXPECT_GT(wide.details.width(), 2 * cancel.width());
    hud->detailsLabel()->setText(longer);
    hud->layoutIfNeeded();
    EXPECT_EQ(contentLayout(*hud), wide);

    // A HUD that wrapped the text in a narrow parent lays it out as a fresh one after the parent
    // widens, by rotation or by any other resize.
    const ContentLayout narrow = fresh(120, 480);
    auto rotated = hudIn(120, 480);
    rotated->detailsLabel()->setText(longer);
    rotated->layoutIfNeeded();
    EXPECT_EQ(contentLayout(*rotated), narrow);
    EXPECT_GT(narrow.details.height(), wide.details.height());
    parent->setBounds(CGRectMake(0, 0, 480, 320));
    UISetStatusBarOrientation(UIInterfaceOrientationLandscapeLeft);
    rotated->layoutIfNeeded();
    UISetStatusBarOrientation(UIInterfaceOrientationPortrait);
    EXPECT_EQ(contentLayout(*rotated), fresh(480, 320));
}
