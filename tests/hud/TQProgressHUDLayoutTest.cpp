#include "hud/TQProgressHUD.h"

#include "HudTestSupport.h"
#include "platform/ui/UIStatusBarOrientation.h"

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
    UISetStatusBarOrientation(UIInterfaceOrientationPortrait);
}

} // namespace
