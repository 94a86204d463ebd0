#include "confetti/OCConfettiArea.h"

#include "confetti/OCConfettiPieceTypes.h"
#include "confetti/OCConfettiView.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/DeviceRandom.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/ui/UIViewCoder.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>

namespace {

struct Colours : OCConfettiAreaDelegate {
    bool implementsColorsForConfettiArea() const override { return implements; }
    std::optional<std::vector<UIColor>>
    colorsForConfettiArea(const std::shared_ptr<OCConfettiArea>&) override {
        return answer;
    }
    bool implements = true;
    std::optional<std::vector<UIColor>> answer;
};

class OCConfettiAreaTest : public testing::Test {
protected:
    void SetUp() override {
        loop = NSRunLoop::installMain(ManualClock::create());
        area = OCConfettiArea::create(CGRectMake(0, 0, 375, 667));
    }
    void TearDown() override { dispatch_global_queue_drain_for_testing(); }
    // Lets every generation job finish and every attach step run.
    void settle() {
        dispatch_global_queue_drain_for_testing();
        loop->runUntilIdle();
    }
    CGPoint velocityOf(OCConfettiObject& piece) {
        return piece.fallingBehavior()->linearVelocityForItem(*piece.confettiView());
    }

    std::shared_ptr<NSRunLoop> loop;
    std::shared_ptr<OCConfettiArea> area;
};

TEST_F(OCConfettiAreaTest, CommonInitDefaults) {
    EXPECT_EQ(area->swayLength(), 50.0);
    EXPECT_EQ(area->blastSpread(), 0.1);
    EXPECT_FALSE(area->colors());
    EXPECT_EQ(area->confettiObjectsCacheCount(), 0u);
    ASSERT_TRUE(area->animator());
    EXPECT_EQ(area->animator()->referenceView(), area);
    ASSERT_TRUE(area->gravityBehavior());
    EXPECT_EQ(area->gravityBehavior()->magnitude(), 0.5);
    EXPECT_EQ(area->gravityBehavior()->gravityDirection(), CGVectorMake(0, 0.5)); // straight down
    EXPECT_EQ(area->animator()->behaviors(),
              std::vector<std::shared_ptr<UIDynamicBehavior>>{area->gravityBehavior()});
    EXPECT_FALSE(loop->hasFrameObservers()); // an idle area costs nothing
    EXPECT_EQ(OCConfettiArea::defaultColors().size(), 7u);
    EXPECT_EQ(OCConfettiArea::defaultColors()[3], UIColor::colorWithRed(1, 0.5, 0, 1));
}

TEST_F(OCConfettiAreaTest, ABurstOfSixtyFromTheCentre) {
    CGPoint centre = area->center();
    area->burstAt(centre, 10, 60);
    EXPECT_EQ(area->colors(), OCConfettiArea::defaultColors());
    dispatch_global_queue_drain_for_testing();
    EXPECT_EQ(area->confettiObjectsCacheCount(),
              60u); // made, but nothing on screen before the main queue runs
    EXPECT_TRUE(area->subviews().empty());
    loop->runUntilIdle();

    auto pieces = area->confettiObjects();
    ASSERT_EQ(pieces.size(), 60u);
    EXPECT_EQ(area->subviews().size(), 60u);
    EXPECT_EQ(area->animator()->itemCount(), 60u);
    EXPECT_EQ(area->gravityBehavior()->items().size(), 60u);
    auto defaults = OCConfettiArea::defaultColors();
    for (const auto& piece : pieces) {
        auto view = std::dynamic_pointer_cast<OCConfettiView>(piece->confettiView());
        ASSERT_TRUE(view);
        EXPECT_EQ(view->superview(), area);
        CGRect f = view->frame();
        EXPECT_NEAR(f.origin.x, centre.x, 1e-9);
        EXPECT_NEAR(f.origin.y, centre.y, 1e-9);
        EXPECT_EQ(f.size.width, f.size.height);
        EXPECT_GE(f.size.width, 5.0);
        EXPECT_LE(f.size.width, 12.0);
        CGPoint v = velocityOf(*piece);
        EXPECT_EQ(v, piece->linearVelocity()); // as attached: no step yet
        EXPECT_GE(v.y, -400.0);
        EXPECT_LE(v.y, -100.0);
        EXPECT_GE(v.x, -200.0);
        EXPECT_LE(v.x, 200.0);
        ASSERT_TRUE(view->backgroundColor());
        EXPECT_NE(std::find(defaults.begin(), defaults.end(), *view->backgroundColor()), defaults.end());
        EXPECT_GE(view->flutterSpeed(), 1.0);
        EXPECT_LE(view->flutterSpeed(), 5.0);
        EXPECT_GE(view->flutterType(), 0);
        EXPECT_LE(view->flutterType(), 3);
        EXPECT_TRUE(view->animationAdded());
        EXPECT_GE(piece->density(), 0.2);
        EXPECT_LE(piece->density(), 1.0);
        EXPECT_GE(piece->swayLength(), 0.0);
        EXPECT_LE(piece->swayLength(), 50.0);
        EXPECT_EQ(piece->delegate().get(), static_cast<OCConfettiObjectDelegate*>(area.get()));
        EXPECT_EQ(piece->confettiAreaBounds(), area->bounds());
    }
}

TEST_F(OCConfettiAreaTest, DrawsEachPieceInItsOrder) {
    DeviceRandom::ScopedSeed seed(99);
    area->setSwayLength(30);
    area->burstAt({20, 30}, 10, 1);
    settle();
    ASSERT_EQ(area->confettiObjectsCacheCount(), 1u);
    auto piece = area->confettiObjects()[0];
    auto view = std::static_pointer_cast<OCConfettiView>(piece->confettiView());

    DeviceRandom::seed(99);
    double side = 10 + OCConfettiArea::randomFloatBetween(-5, 2);
    double speed = OCConfettiArea::randomFloatBetween(1, 5);
    auto type = OCConfettiArea::randomIntegerFrom(0, 4);
    auto colour = OCConfettiArea::randomIntegerFrom(0, 7);
    double vx = OCConfettiArea::randomFloatBetween(-200, 200);
    double vy = OCConfettiArea::randomFloatBetween(-100, -400);
    double density = OCConfettiArea::randomFloatBetween(0.2, 1);
    double sway = OCConfettiArea::randomFloatBetween(0, 30);
    // The frame comes back through the view's centre: equal up to rounding.
    EXPECT_NEAR(view->frame().origin.x, 20, 1e-9);
    EXPECT_NEAR(view->frame().origin.y, 30, 1e-9);
    EXPECT_EQ(view->frame().size, CGSizeMake(side, side));
    EXPECT_EQ(view->flutterSpeed(), speed);
    EXPECT_EQ(view->flutterType(), type);
    EXPECT_EQ(view->backgroundColor(), OCConfettiArea::defaultColors()[static_cast<std::size_t>(colour)]);
    EXPECT_EQ(piece->linearVelocity(), CGPointMake(vx, vy));
    EXPECT_EQ(piece->density(), density);
    EXPECT_EQ(piece->swayLength(), sway);
}

TEST_F(OCConfettiAreaTest, BlastsThrowWithinTheirConeBox) {
    const double pi = std::acos(-1.0);
    area->blastFrom({100, 100}, pi / 2, 1000, 10, 40);
    settle();
    ASSERT_EQ(area->confettiObjectsCacheCount(), 40u);
    for (const auto& piece : area->confettiObjects()) {
        CGPoint v = piece->linearVelocity();
        // Straight up: y is exactly −speed·cos(0.1), and the speed lies in [700, 1000].
        double speed = -v.y / std::cos(0.1);
        EXPECT_GE(speed, 700 - 1e-9);
        EXPECT_LE(speed, 1000 + 1e-9);
        EXPECT_LE(std::abs(v.x), speed * std::sin(0.1) + 1e-9);
    }
    area->setBlastSpread(0);
    auto before = area->confettiObjects();
    area->blastFrom({100, 100}, pi / 6, 500, 10, 20);
    settle();
    for (const auto& piece : area->confettiObjects()) {
        if (std::find(before.begin(), before.end(), piece) != before.end())
            continue;
        CGPoint v = piece->linearVelocity();
        double speed = v.x / std::cos(pi / 6);
        EXPECT_DOUBLE_EQ(v.y, -speed * std::sin(pi / 6));
        EXPECT_GE(speed, 350 - 1e-9);
        EXPECT_LE(speed, 500 + 1e-9);
    }
}

TEST_F(OCConfettiAreaTest, ColoursComeFromTheDelegateAsItAnsweredAtEachEmit) {
    auto delegate = std::make_shared<Colours>();
    area->setDelegate(delegate);
    delegate->answer = std::vector<UIColor>{UIColor::blackColor()};
    area->burstAt({10, 10}, 10, 20);
    // Changed at once, while the first job may still be drawing: it keeps its own list.
    delegate->answer = std::vector<UIColor>{UIColor::whiteColor()};
    area->burstAt({50, 50}, 10, 20);
    delegate->answer = std::nullopt; // no list at all
    area->burstAt({90, 90}, 10, 5);
    delegate->answer = std::vector<UIColor>{}; // a present but empty list
    area->burstAt({130, 130}, 10, 5);
    settle();
    ASSERT_EQ(area->confettiObjectsCacheCount(), 50u);
    for (const auto& piece : area->confettiObjects()) {
        auto origin = piece->confettiView()->frame().origin;
        auto colour = piece->confettiView()->backgroundColor();
        if (std::abs(origin.x - 10) < 1e-6)
            EXPECT_EQ(colour, UIColor::blackColor());
        else if (std::abs(origin.x - 50) < 1e-6)
            EXPECT_EQ(colour, UIColor::whiteColor());
        else
            EXPECT_FALSE(colour) << "no list or an empty one: no fill";
    }
    delegate->implements = false;
    area->burstAt({10, 10}, 10, 0);
    EXPECT_EQ(area->colors(), OCConfettiArea::defaultColors());
    delegate.reset(); // weak: the area does not keep it
    EXPECT_FALSE(area->delegate());
}

TEST_F(OCConfettiAreaTest, CountsOfZeroOrLessMakeNothing) {
    area->burstAt({10, 10}, 10, 0);
    area->blastFrom({10, 10}, 0, 100, 10, -5);
    area->blastConfettiType("OCConfettiAreaTestUnknown", {10, 10}, 0, 100, 3);
    settle();
    EXPECT_EQ(area->confettiObjectsCacheCount(), 0u);
    EXPECT_TRUE(area->subviews().empty());
    EXPECT_FALSE(loop->hasFrameObservers());
}

TEST_F(OCConfettiAreaTest, TypedBlastsUseTheirTypeAndEndAtTheFirstNonView) {
    int made = 0;
    OCConfettiPieceTypes::registerType(
        "AreaTestStar", [&](CGPoint at, std::optional<UIColor> colour, double speed, std::int64_t type) {
            EXPECT_FALSE(colour);
            EXPECT_GE(speed, 1.0);
            EXPECT_LT(type, 4);
            // Two views, then something that is not a view.
            if (++made > 2)
                return std::make_shared<NSObject>();
            auto v = UIView::create(CGRectMake(at.x, at.y, 3, 3));
            return std::static_pointer_cast<NSObject>(v);
        });
    area->blastConfettiType("AreaTestStar", {40, 40}, 0, 300, 10);
    settle();
    EXPECT_EQ(made, 3);
    ASSERT_EQ(area->confettiObjectsCacheCount(), 2u);
    for (const auto& piece : area->confettiObjects()) {
        EXPECT_EQ(piece->confettiView()->frame(), CGRectMake(40, 40, 3, 3));
        EXPECT_FALSE(piece->confettiView()->backgroundColor()); // its type decides its colour
        EXPECT_GE(piece->linearVelocity().x, 210 * std::cos(0.1) - 1e-9);
    }
    made = 10; // the first instance is not a view: nothing at all
    area->blastConfettiType("AreaTestStar", {40, 40}, 0, 300, 10);
    settle();
    EXPECT_EQ(area->confettiObjectsCacheCount(), 2u);
}

TEST_F(OCConfettiAreaTest, DestroyingTheAreaWhileAJobRunsAttachesNothingMore) {
    // The type holds the job inside its third piece until the area has gone.
    std::mutex m;
    std::condition_variable cv;
    bool gone = false;
    int made = 0;
    std::vector<std::weak_ptr<UIView>> views;
    OCConfettiPieceTypes::registerType(
        "AreaTestSlow",
        [&](CGPoint at, std::optional<UIColor>, double, std::int64_t) -> std::shared_ptr<NSObject> {
            std::unique_lock lock(m);
            if (++made == 3) {
                cv.notify_all();
                cv.wait(lock, [&] { return gone; });
            }
            auto v = UIView::create(CGRectMake(at.x, at.y, 4, 4));
            views.push_back(v);
            return v;
        });
    area->blastConfettiType("AreaTestSlow", {10, 10}, 0, 100, 100);
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return made == 3; });
    }
    loop->runUntilIdle(); // the first two attach
    EXPECT_EQ(area->subviews().size(), 2u);
    std::weak_ptr<OCConfettiArea> weakArea = area;
    area.reset();
    EXPECT_TRUE(weakArea.expired());
    {
        std::lock_guard lock(m);
        gone = true;
    }
    cv.notify_all();
    settle();
    EXPECT_EQ(made, 3); // the job stopped at its next piece
    for (const auto& v : views)
        EXPECT_TRUE(v.expired()); // attached or not, every piece went with the area
    EXPECT_FALSE(loop->hasFrameObservers());
}

TEST_F(OCConfettiAreaTest, EveryPieceFallsOutAndTheAreaFallsIdle) {
    area->burstAt(area->center(), 10, 60);
    area->blastFrom({0, 600}, 1.0, 800, 6, 30);
    settle();
    EXPECT_EQ(area->confettiObjectsCacheCount(), 90u);
    EXPECT_TRUE(area->animator()->isRunning());
    for (int i = 0; i < 120 && area->confettiObjectsCacheCount() > 0; ++i)
        loop->advanceBy(0.5);
    EXPECT_EQ(area->confettiObjectsCacheCount(), 0u);
    EXPECT_TRUE(area->subviews().empty());
    EXPECT_EQ(area->animator()->itemCount(), 0u);
    EXPECT_TRUE(area->gravityBehavior()->items().empty());
    EXPECT_FALSE(area->animator()->isRunning());
    EXPECT_FALSE(loop->hasFrameObservers()); // no animator frames, no flutter frames: asleep
}

TEST_F(OCConfettiAreaTest, PiecesThatCanNeverComeBackEndAtTheirFirstStep) {
    area->burstAt({1e308, -1e308}, 1e308, 20); // placed at no finite point
    area->burstAt({100, -1e6}, 10, 20);        // far above every screen
    area->burstAt({100, -3000}, 10, 5);        // a few screens up: it falls back into view
    settle();
    EXPECT_EQ(area->confettiObjectsCacheCount(), 45u);
    loop->advanceBy(0.05);
    ASSERT_EQ(area->confettiObjectsCacheCount(), 5u);
    for (const auto& piece : area->confettiObjects())
        EXPECT_LT(piece->confettiView()->center().y, -2000);
    for (int i = 0; i < 400 && area->confettiObjectsCacheCount() > 0; ++i)
        loop->advanceBy(0.5);
    EXPECT_EQ(area->confettiObjectsCacheCount(), 0u);
    EXPECT_FALSE(loop->hasFrameObservers());
}

TEST_F(OCConfettiAreaTest, MadeFromAnArchiveFileItRunsTheSameCommonInit) {
    TempDeviceRoot root;
    NSFileManager::setDeviceRoot(root.path());
    PlistValue archive = PlistValue::dictionary(), frame = PlistValue::array(), colour = PlistValue::array();
    for (double v : {0.0, 0.0, 320.0, 480.0})
        frame.append(PlistValue(v));
    for (double v : {0.0, 0.0, 1.0, 0.5})
        colour.append(PlistValue(v));
    archive.set("frame", frame);
    archive.set("backgroundColor", colour);
    root.writePlist("/Library/Orbitchat/ConfettiArea.plist", archive);
    auto coder = UIViewCoder::coderWithContentsOfFile("/Library/Orbitchat/ConfettiArea.plist");
    ASSERT_TRUE(coder) << coder.reason();
    auto archived = OCConfettiArea::createWithCoder(coder.value());
    EXPECT_EQ(archived->frame(), CGRectMake(0, 0, 320, 480));
    EXPECT_EQ(archived->backgroundColor(), UIColor::colorWithRed(0, 0, 1, 0.5));
    EXPECT_EQ(archived->swayLength(), 50.0);
    EXPECT_EQ(archived->blastSpread(), 0.1);
    EXPECT_EQ(archived->animator()->referenceView(), archived);
    EXPECT_EQ(archived->gravityBehavior()->magnitude(), 0.5);
    EXPECT_EQ(archived->animator()->behaviors(),
              std::vector<std::shared_ptr<UIDynamicBehavior>>{archived->gravityBehavior()});
    archived->burstAt({160, 240}, 10, 3); // its pieces fall within the archived bounds
    settle();
    ASSERT_EQ(archived->confettiObjectsCacheCount(), 3u);
    EXPECT_EQ(archived->confettiObjects()[0]->confettiAreaBounds(), CGRectMake(0, 0, 320, 480));
}

} // namespace
