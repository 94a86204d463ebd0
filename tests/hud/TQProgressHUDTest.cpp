#include "hud/TQProgressHUD.h"

#include "HudTestSupport.h"
#include "hud/TQBarProgressView.h"
#include "hud/TQRoundProgressView.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIAppearance.h"
#include "platform/ui/UIMotionEffect.h"
#include "platform/ui/UIViewCoder.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/layers/CALayer.h"
#include "support/TempDeviceRoot.h"

#include <thread>

namespace {

class RecordingDelegate : public TQProgressHUDDelegate {
public:
    int hidden = 0;
    void hudWasHidden(const std::shared_ptr<TQProgressHUD>&) override { ++hidden; }
    bool implementsHudWasHidden() const override { return true; }
};

class TQProgressHUDTest : public HudTest {
protected:
    void SetUp() override {
        HudTest::SetUp();
        parent = UIView::create(CGRectMake(0, 0, 320, 480));
        delegate = std::make_shared<RecordingDelegate>();
    }
    std::shared_ptr<TQProgressHUD> makeHUD() {
        auto hud = TQProgressHUD::createWithView(parent);
        parent->addSubview(hud);
        hud->setDelegate(delegate);
        hud->setCompletionBlock([this] { ++completions; });
        return hud;
    }
    std::shared_ptr<UIView> parent;
    std::shared_ptr<RecordingDelegate> delegate;
    int completions = 0;
};

TEST_F(TQProgressHUDTest, CreationDefaults) {
    auto hud = TQProgressHUD::createWithView(parent);
    EXPECT_EQ(hud->frame(), parent->bounds());
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(hud->mode(), TQModeSpinner);
    EXPECT_EQ(hud->margin(), 20);
    EXPECT_EQ(hud->opacity(), 1);
    EXPECT_EQ(hud->contentColor(), UIColor::colorWithWhite(0, static_cast<double>(0.7f)));
    EXPECT_FALSE(hud->layer()->allowsGroupOpacity());
    EXPECT_TRUE(std::dynamic_pointer_cast<UIActivityIndicatorView>(hud->indicator()));
    EXPECT_EQ(hud->bezelView()->layer()->cornerRadius(), 5);
    EXPECT_EQ(hud->backgroundView()->style(), TQBackgroundStyleFlat);
    EXPECT_EQ(hud->backgroundView()->backgroundColor(), UIColor::clearColor());
    EXPECT_EQ(hud->bezelView()->alpha(), 0);
    expectAssertion([] { TQProgressHUD::createWithView(nullptr); }, "View must not be nil.");
}

TEST_F(TQProgressHUDTest, MadeFromAnArchiveFileItTakesItsFrameAndTheHUDsDefaults) {
    TempDeviceRoot root;
    NSFileManager::setDeviceRoot(root.path());
    PlistValue archive = PlistValue::dictionary(), frame = PlistValue::array();
    for (double v : {0.0, 0.0, 320.0, 480.0})
        frame.append(PlistValue(v));
    archive.set("frame", frame);
    archive.set("alpha", PlistValue(1.0)); // the set-up makes the HUD invisible all the same
    archive.set("tag", PlistValue(std::int64_t{42}));
    root.writePlist("/Library/Orbitchat/HUD.plist", archive);
    auto coder = UIViewCoder::coderWithContentsOfFile("/Library/Orbitchat/HUD.plist");
    ASSERT_TRUE(coder) << coder.reason();
    auto hud = TQProgressHUD::createWithCoder(coder.value());
    EXPECT_EQ(hud->frame(), CGRectMake(0, 0, 320, 480));
    EXPECT_EQ(hud->tag(), 42);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(hud->backgroundColor(), UIColor::clearColor());
    EXPECT_EQ(hud->autoresizingMask(), 18u);
    EXPECT_EQ(hud->margin(), 20);
    EXPECT_EQ(hud->contentColor(), UIColor::colorWithWhite(0, static_cast<double>(0.7f)));
    EXPECT_TRUE(std::dynamic_pointer_cast<UIActivityIndicatorView>(hud->indicator()));
    hud->showAnimated(false);
    EXPECT_EQ(hud->alpha(), 1);
}

TEST_F(TQProgressHUDTest, CallsOffTheMainThreadAreCallerErrors) {
    auto hud = makeHUD();
    std::string message;
    std::thread worker([&] {
        try {
            hud->showAnimated(true);
        } catch (const AssertionFailure& e) {
            message = e.what();
        }
    });
    worker.join();
    EXPECT_EQ(message, "TQProgressHUD needs to be accessed on the main thread.");
    EXPECT_EQ(hud->alpha(), 0);
}

TEST_F(TQProgressHUDTest, HiddenWithinTheGraceTimeNeverShows) {
    auto hud = makeHUD();
    hud->setGraceTime(0.5);
    hud->showAnimated(true);
    loop->advanceBy(0.2);
    EXPECT_EQ(hud->alpha(), 0);
    hud->hideAnimated(true);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(delegate->hidden, 1);
    loop->advanceBy(1);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(hud->bezelView()->alpha(), 0);
}

TEST_F(TQProgressHUDTest, GraceTimeDelaysTheShow) {
    auto hud = makeHUD();
    hud->setGraceTime(0.5);
    hud->showAnimated(false);
    loop->advanceBy(0.499);
    EXPECT_EQ(hud->alpha(), 0);
    loop->advanceBy(0.001);
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_EQ(hud->bezelView()->alpha(), 1);
}

TEST_F(TQProgressHUDTest, MinimumShowTimeHoldsAnEarlyHide) {
    auto hud = makeHUD();
    hud->setMinShowTime(2);
    hud->showAnimated(false);
    loop->advanceBy(0.5);
    hud->hideAnimated(true);
    loop->advanceBy(1.499);
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_EQ(completions, 0);
    loop->advanceBy(0.001); // 2 s after the appear: the animated disappear starts
    EXPECT_EQ(completions, 0);
    loop->advanceBy(0.35);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(hud->bezelView()->alpha(), 0);
}

TEST_F(TQProgressHUDTest, ShowDuringTheMinimumShowTimeForgetsTheHide) {
    auto hud = makeHUD();
    hud->setMinShowTime(2);
    hud->showAnimated(false);
    loop->advanceBy(0.5);
    hud->hideAnimated(false);
    loop->advanceBy(0.5);
    hud->showAnimated(false);
    loop->advanceBy(5);
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_FALSE(hud->hasFinished());
    EXPECT_EQ(completions, 0);
}

TEST_F(TQProgressHUDTest, TheLastDelayedHideWinsAndAShowCancelsIt) {
    auto hud = makeHUD();
    hud->showAnimated(false);
    hud->hideAnimated(false, 5);
    hud->hideAnimated(false, 1);
    loop->advanceBy(0.999);
    EXPECT_EQ(hud->alpha(), 1);
    loop->advanceBy(0.001);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(completions, 1);

    hud->hideAnimated(false, 1);
    hud->showAnimated(false);
    loop->advanceBy(3);
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_EQ(completions, 1);
}

TEST_F(TQProgressHUDTest, GrowThenShrinkHideShrinksFadesAndRemoves) {
    auto hud = TQProgressHUD::showHUDAddedTo(parent, true);
    hud->setAnimationType(TQAnimationGrowThenShrink);
    int done = 0;
    hud->setCompletionBlock([&] { ++done; });
    loop->advanceBy(0.5);
    EXPECT_EQ(hud->bezelView()->transform(), CGAffineTransformIdentity);
    EXPECT_EQ(hud->bezelView()->alpha(), 1);
    EXPECT_TRUE(TQProgressHUD::hideHUDForView(parent, true));
    EXPECT_FALSE(TQProgressHUD::hideHUDForView(parent, true)); // the one being hidden is skipped
    EXPECT_EQ(TQProgressHUD::allHUDsForView(parent).size(), 1u);
    EXPECT_EQ(TQProgressHUD::HUDForView(parent), nullptr);
    EXPECT_EQ(hud->bezelView()->transform(), CGAffineTransformMakeScale(0.5, 0.5));
    loop->advanceBy(0.15);
    double midway = hud->bezelView()->presentationAlpha();
    EXPECT_GT(midway, 0);
    EXPECT_LT(midway, 1);
    EXPECT_EQ(hud->superview(), parent);
    loop->advanceBy(0.2);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_TRUE(parent->subviews().empty());
}

TEST_F(TQProgressHUDTest, ShrinkingShowOnAPartlyVisibleBezelStartsWhereItIs) {
    auto hud = makeHUD();
    hud->setAnimationType(TQAnimationShrinking);
    hud->showAnimated(true);
    EXPECT_EQ(hud->bezelView()->transform(), CGAffineTransformIdentity); // the target
    loop->advanceBy(0.5);
    hud->hideAnimated(true); // shrinks towards 0.5
    loop->advanceBy(0.1);
    hud->showAnimated(true); // interrupts the hide: its finish step runs, the HUD stays
    loop->runUntilIdle();    // interrupted animations report from the main queue
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(hud->alpha(), 1);
    CATransform3D shown = hud->bezelView()->presentationTransform();
    EXPECT_LT(shown.m11, 1.0); // not reset to 1.5
    EXPECT_GT(shown.m11, 0.5);
    loop->advanceBy(0.5);
    EXPECT_EQ(hud->bezelView()->alpha(), 1);
}

TEST_F(TQProgressHUDTest, AShowDuringAnAnimatedHideKeepsItsDisplayLinkAndDelayedHide) {
    auto hud = makeHUD();
    hud->setMode(TQModePie);
    auto progress = NSProgress::progressWithTotalUnitCount(4);
    hud->setProgressObject(progress);
    hud->showAnimated(false);
    hud->hideAnimated(true);
    loop->advanceBy(0.1);
    hud->showAnimated(true);     // interrupts the hide animation
    hud->hideAnimated(false, 2); // a delayed hide of the new showing
    loop->runUntilIdle();        // the interrupted hide's finish step reports from the main queue
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(delegate->hidden, 1);
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_TRUE(hud->progressObjectDisplayLink());
    progress->setCompletedUnitCount(3);
    loop->advanceBy(0.05);
    EXPECT_EQ(hud->progress(), 0.75f);
    loop->advanceBy(1.95);
    EXPECT_EQ(hud->alpha(), 0); // the delayed hide was not cancelled by the stale finish step
    EXPECT_EQ(completions, 2);
    EXPECT_FALSE(hud->progressObjectDisplayLink());
}

TEST_F(TQProgressHUDTest, AHideDuringTheNextHidesAnimationIsNotCutShortByTheOldFinishStep) {
    auto hud = TQProgressHUD::showHUDAddedTo(parent, false);
    hud->setCompletionBlock([this] { ++completions; });
    hud->hideAnimated(true);
    loop->advanceBy(0.1);
    hud->showAnimated(true);
    hud->hideAnimated(true); // its own fade, with its own finish step to come
    loop->runUntilIdle();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(hud->superview(), parent);
    EXPECT_EQ(hud->alpha(), 1);
    loop->advanceBy(0.35);
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(hud->superview(), nullptr);
}

TEST_F(TQProgressHUDTest, TwoHidesWhileHeldForTheMinimumShowTimeFinishOnce) {
    auto hud = makeHUD();
    hud->setMinShowTime(2);
    hud->showAnimated(false);
    loop->advanceBy(0.5);
    hud->hideAnimated(true);
    loop->advanceBy(0.5);
    hud->hideAnimated(true);
    loop->advanceBy(0.999);
    EXPECT_EQ(hud->alpha(), 1);
    loop->advanceBy(5);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(delegate->hidden, 1);
}

TEST_F(TQProgressHUDTest, AHideDuringAnAnimatedHideFinishesOnce) {
    auto hud = makeHUD();
    hud->showAnimated(false);
    hud->hideAnimated(true);
    loop->advanceBy(0.1);
    hud->hideAnimated(false); // ends it at once
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(delegate->hidden, 1);
    loop->advanceBy(5); // the first hide's animation ends
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(delegate->hidden, 1);

    // The next showing's hides are its own.
    hud->showAnimated(false);
    hud->hideAnimated(true);
    loop->advanceBy(5);
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(delegate->hidden, 2);
}

TEST_F(TQProgressHUDTest, NonAnimatedHideFinishesAtOnce) {
    auto hud = TQProgressHUD::showHUDAddedTo(parent, false);
    hud->setDelegate(delegate);
    hud->hideAnimated(false);
    EXPECT_EQ(hud->bezelView()->alpha(), 0);
    EXPECT_EQ(hud->backgroundView()->alpha(), 1);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_EQ(delegate->hidden, 1);
    EXPECT_EQ(TQProgressHUD::hideAllHUDsForView(parent, false), 0u);
}

TEST_F(TQProgressHUDTest, ProgressObjectIsSampledWhileShown) {
    auto hud = makeHUD();
    hud->setMode(TQModePie);
    auto progress = NSProgress::progressWithTotalUnitCount(4);
    hud->setProgressObject(progress);
    EXPECT_TRUE(hud->progressObjectDisplayLink()); // at once, also while hidden
    progress->setCompletedUnitCount(1);
    loop->advanceBy(0.05);
    auto pie = std::dynamic_pointer_cast<TQRoundProgressView>(hud->indicator());
    ASSERT_TRUE(pie);
    EXPECT_EQ(pie->progress(), 0.25f);
    hud->showAnimated(false);
    hud->hideAnimated(false);
    EXPECT_FALSE(hud->progressObjectDisplayLink());
    hud->showAnimated(false);
    EXPECT_TRUE(hud->progressObjectDisplayLink());
    progress->setCompletedUnitCount(6); // beyond 1 is passed on
    loop->advanceBy(0.05);
    EXPECT_EQ(hud->progress(), 1.5f);
}

TEST_F(TQProgressHUDTest, UnchangedProgressDoesNotTouchTheIndicator) {
    auto hud = makeHUD();
    hud->setMode(TQModeBar);
    hud->setProgress(0.5f);
    auto bar = std::dynamic_pointer_cast<TQBarProgressView>(hud->indicator());
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->progress(), 0.5f);
    bar->setProgress(0.1f);
    hud->setProgress(0.5f);
    EXPECT_EQ(bar->progress(), 0.1f);
    hud->setMode(TQModePie); // a new indicator takes the HUD's progress
    EXPECT_EQ(std::dynamic_pointer_cast<TQRoundProgressView>(hud->indicator())->progress(), 0.5f);
}

TEST_F(TQProgressHUDTest, ShowWhileExecutingHidesThroughTheMainQueue) {
    auto hud = makeHUD();
    hud->showAnimated(false, [] {}); // clears the completion block set earlier
    EXPECT_TRUE(hud->taskInProgress());
    EXPECT_EQ(hud->alpha(), 1);
    dispatch_global_queue_drain_for_testing();
    loop->runUntilIdle();
    EXPECT_FALSE(hud->taskInProgress());
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(delegate->hidden, 1);

    std::atomic<bool> ran{false};
    int finished = 0;
    hud->showAnimated(
        true, [&] { ran = true; }, [&] { ++finished; });
    dispatch_global_queue_drain_for_testing();
    loop->runUntilIdle();
    EXPECT_TRUE(ran);
    EXPECT_EQ(finished, 0); // hidden with the same animation: still fading
    loop->advanceBy(0.4);
    EXPECT_EQ(finished, 1);
}

TEST_F(TQProgressHUDTest, OlderPropertyInterface) {
    auto hud = makeHUD();
    hud->setLabelText("Loading");
    EXPECT_EQ(hud->label()->text(), "Loading");
    hud->setYOffset(30);
    EXPECT_EQ(hud->offset(), CGPointMake(0, 30));
    EXPECT_FALSE(hud->dimBackground());
    hud->setDimBackground(true);
    EXPECT_TRUE(hud->dimBackground());
    hud->setOpacity(0.5);
    hud->showAnimated(false);
    EXPECT_EQ(hud->bezelView()->alpha(), 0.5);
    hud->setCornerRadius(12);
    EXPECT_EQ(hud->cornerRadius(), 12);
}

TEST_F(TQProgressHUDTest, ModesReuseAndReplaceIndicators) {
    auto hud = makeHUD();
    hud->setMode(TQModeRing);
    auto ring = hud->indicator();
    hud->setMode(TQModePie);
    EXPECT_EQ(hud->indicator(), ring);
    EXPECT_TRUE(std::static_pointer_cast<TQRoundProgressView>(ring)->isAnnular());
    hud->setMode(TQModeBar);
    auto bar = hud->indicator();
    hud->setMode(TQModePie);
    hud->setMode(TQModeBar);
    EXPECT_NE(hud->indicator(), bar);
    EXPECT_EQ(bar->superview(), nullptr);
    hud->setMode(TQModeCustom); // no custom view: no indicator
    EXPECT_EQ(hud->indicator(), nullptr);
    hud->setMode(42);
    EXPECT_EQ(hud->indicator(), nullptr);
}

TEST_F(TQProgressHUDTest, ContentColourSpreadsWithTheIndicatorOverride) {
    auto hud = makeHUD();
    hud->setContentColor(UIColor::redColor());
    auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(hud->indicator());
    EXPECT_EQ(hud->label()->textColor(), UIColor::redColor());
    EXPECT_EQ(hud->detailsLabel()->textColor(), UIColor::redColor());
    EXPECT_EQ(hud->button()->titleColorForState(UIControlStateNormal), UIColor::redColor());
    EXPECT_EQ(hud->button()->layer()->borderColor(), UIColor::redColor());
    EXPECT_EQ(spinner->color(), UIColor::redColor());
    hud->setActivityIndicatorColor(UIColor::blueColor());
    EXPECT_EQ(spinner->color(), UIColor::blueColor());
    hud->setContentColor(UIColor::greenColor());
    EXPECT_EQ(spinner->color(), UIColor::blueColor());
    hud->setContentColor(std::nullopt);
    EXPECT_EQ(hud->label()->textColor(), UIColor::greenColor());
    hud->setContentColor(UIColor::greenColor());
    hud->setMode(TQModePie);
    auto pie = std::static_pointer_cast<TQRoundProgressView>(hud->indicator());
    EXPECT_EQ(pie->backgroundTintColor(), UIColor::blueColor().colorWithAlphaComponent(0.1));
}

TEST_F(TQProgressHUDTest, MotionEffectsFollowTheTiltAndCanBeTurnedOff) {
    auto hud = makeHUD();
    UIDeviceTilt::set(1, -1);
    EXPECT_EQ(UIMotionEffect::centerOffsetForView(*hud->bezelView()), CGPointMake(10, -10));
    hud->bezelView()->addMotionEffect(UIInterpolatingMotionEffect::create("center.x", 0));
    hud->setDefaultMotionEffectsEnabled(false);
    EXPECT_TRUE(hud->bezelView()->motionEffects().empty());
}

} // namespace

namespace {

// The proxies' values go with the test's device environment.
using TQProgressHUDAppearanceTest = HudTest;

TEST_F(TQProgressHUDAppearanceTest, ProxyColoursReachTheIndicatorsWhenTheHUDJoinsAWindow) {
    const UIColor red = UIColor::redColor(), green = UIColor::greenColor(), blue = UIColor::blueColor();
    UIAppearance::whenContainedIn("UIActivityIndicatorView", "TQProgressHUD").setColor("color", red);
    UIAppearance::whenContainedIn("TQBarProgressView", "TQProgressHUD").setColor("progressColor", green);
    UIAppearance::whenContainedIn("TQRoundProgressView", "TQProgressHUD").setColor("progressTintColor", blue);

    // Outside a window nothing is applied yet, and the HUD leaves the proxied colour alone.
    auto detached = UIView::create(CGRectMake(0, 0, 320, 480));
    auto early = TQProgressHUD::showHUDAddedTo(detached, false);
    auto earlySpinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(early->indicator());
    ASSERT_TRUE(earlySpinner);
    EXPECT_NE(earlySpinner->color(), std::optional<UIColor>(red));

    // In a window the caller's colour wins over the HUD's content colour.
    auto window = UIWindow::create(CGRectMake(0, 0, 320, 480));
    auto hud = TQProgressHUD::showHUDAddedTo(window, false);
    auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(hud->indicator());
    ASSERT_TRUE(spinner);
    EXPECT_EQ(spinner->color(), std::optional<UIColor>(red));
    hud->setContentColor(UIColor::whiteColor());
    EXPECT_EQ(spinner->color(), std::optional<UIColor>(red));
    // A HUD that was made outside and then moved into the window takes it too.
    window->addSubview(early);
    EXPECT_EQ(earlySpinner->color(), std::optional<UIColor>(red));

    // Indicators made later, while the HUD is in the window, take theirs when they are added.
    hud->setMode(TQModeBar);
    auto bar = std::dynamic_pointer_cast<TQBarProgressView>(hud->indicator());
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->progressColor(), green);
    EXPECT_EQ(bar->lineColor(), hud->contentColor()); // not proxied: the HUD's own
    hud->setMode(TQModePie);
    auto pie = std::dynamic_pointer_cast<TQRoundProgressView>(hud->indicator());
    ASSERT_TRUE(pie);
    EXPECT_EQ(pie->progressTintColor(), blue);

    // Elsewhere in the window the contained-in proxy does not apply.
    auto plain = UIActivityIndicatorView::create();
    window->addSubview(plain);
    EXPECT_EQ(plain->color(), std::nullopt);
}

} // namespace
