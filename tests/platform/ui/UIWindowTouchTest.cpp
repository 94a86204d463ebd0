// How the window routes one finger: hit testing through the tree (what is hidden, transparent or
// not interactive lets touches through), who keeps a touch that wanders off, what happens when
// the view under the finger goes away, and when a scroll view takes a drag over from what the
// finger came down on.

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/UIControl.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UITouchResponder.h"
#include "platform/ui/UIWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A view that takes touches (unless told not to) and writes down what it is given, with points
// in its own coordinates.
class Pad : public UIView, public UITouchResponder {
public:
    static std::shared_ptr<Pad> create(CGRect frame, bool keepsDrags = false) {
        auto pad = std::shared_ptr<Pad>(new Pad(frame));
        pad->commonInit();
        pad->keepsDrags_ = keepsDrags;
        return pad;
    }
    bool touchBegan(CGPoint p) override {
        events.push_back("began " + text(p));
        return takes;
    }
    void touchMoved(CGPoint p) override { events.push_back("moved " + text(p)); }
    void touchEnded(CGPoint p) override { events.push_back("ended " + text(p)); }
    void touchCancelled() override { events.push_back("cancelled"); }
    bool keepsDrags() const override { return keepsDrags_; }

    bool takes = true;
    std::vector<std::string> events;

private:
    explicit Pad(CGRect frame) : UIView(frame) {}
    static std::string text(CGPoint p) {
        return std::to_string(static_cast<int>(p.x)) + "," + std::to_string(static_cast<int>(p.y));
    }
    bool keepsDrags_ = false;
};

using Events = std::vector<std::string>;

class UIWindowTouchTest : public ::testing::Test {
protected:
    std::shared_ptr<NSRunLoop> loop = NSRunLoop::installMain(ManualClock::create());
    std::shared_ptr<UIWindow> window = UIWindow::create(CGRectMake(0, 0, 320, 480));
    void TearDown() override { NSRunLoop::installMain(nullptr); }

    // A control that counts its touch-up-inside actions.
    std::shared_ptr<UIControl> button(CGRect frame, int& taps) {
        auto control = UIControl::create(frame);
        control->addAction([&taps](UIControl&) { ++taps; }, UIControlEventTouchUpInside);
        return control;
    }
    // A scroll view over the whole window with content five screens tall.
    std::shared_ptr<UIScrollView> list() {
        auto scroller = UIScrollView::create(window->bounds());
        scroller->setContentSize(CGSizeMake(320, 2400));
        window->addSubview(scroller);
        return scroller;
    }
};

TEST_F(UIWindowTouchTest, TheFrontmostDeepestViewGetsTheTouchInItsOwnCoordinates) {
    auto back = Pad::create(CGRectMake(0, 0, 320, 480));
    auto card = UIView::create(CGRectMake(20, 100, 200, 200));
    auto inner = Pad::create(CGRectMake(10, 10, 50, 50));
    auto overlapping = Pad::create(CGRectMake(150, 100, 100, 100));
    window->addSubview(back);
    window->addSubview(card);
    card->addSubview(inner);
    window->addSubview(overlapping);

    window->tapAt(CGPointMake(40, 125));
    EXPECT_EQ(inner->events, (Events{"began 10,15", "ended 10,15"}));
    // The later sibling lies over the card where they overlap.
    window->tapAt(CGPointMake(180, 150));
    EXPECT_EQ(overlapping->events, (Events{"began 30,50", "ended 30,50"}));
    // The card takes no touches itself, yet it is what the finger is on: the view behind it is
    // not its ancestor, so the touch is nobody's, as on the platform.
    window->tapAt(CGPointMake(200, 280));
    EXPECT_TRUE(back->events.empty());
    EXPECT_FALSE(window->isTracking());
    EXPECT_EQ(inner->events.size(), 2u);
}

TEST_F(UIWindowTouchTest, HiddenTransparentAndNonInteractiveViewsLetTouchesThroughWithTheirSubviews) {
    auto below = Pad::create(CGRectMake(0, 0, 320, 480));
    window->addSubview(below);
    // An overlay with a piece of its own over the point, as a confetti area over a list.
    auto overlay = UIView::create(window->bounds());
    auto piece = Pad::create(CGRectMake(90, 90, 20, 20));
    overlay->addSubview(piece);
    window->addSubview(overlay);

    window->tapAt(CGPointMake(100, 100));
    EXPECT_EQ(piece->events.size(), 2u);

    auto tapReachesBelow = [&] {
        below->events.clear();
        piece->events.clear();
        window->tapAt(CGPointMake(100, 100));
        return below->events == Events{"began 100,100", "ended 100,100"} && piece->events.empty();
    };
    overlay->setUserInteractionEnabled(false);
    EXPECT_TRUE(tapReachesBelow());
    overlay->setUserInteractionEnabled(true);
    overlay->setHidden(true);
    EXPECT_TRUE(tapReachesBelow());
    overlay->setHidden(false);
    overlay->setAlpha(0);
    EXPECT_TRUE(tapReachesBelow());
}

TEST_F(UIWindowTouchTest, ATouchOutsideEveryViewGoesNowhere) {
    auto pad = Pad::create(CGRectMake(0, 0, 100, 100));
    window->addSubview(pad);
    window->touchBegan(CGPointMake(500, 50));
    EXPECT_FALSE(window->isTracking());
    window->touchMoved(CGPointMake(50, 50));
    window->touchEnded(CGPointMake(50, 50));
    EXPECT_TRUE(pad->events.empty());
}

TEST_F(UIWindowTouchTest, AResponderKeepsATouchThatLeavesItAndATouchItRefusesGoesToItsAncestor) {
    auto outer = Pad::create(CGRectMake(0, 0, 320, 480));
    auto pad = Pad::create(CGRectMake(100, 100, 50, 50));
    outer->addSubview(pad);
    window->addSubview(outer);

    window->touchBegan(CGPointMake(110, 110));
    window->touchMoved(CGPointMake(300, 110));
    window->touchEnded(CGPointMake(300, 400));
    EXPECT_EQ(pad->events, (Events{"began 10,10", "moved 200,10", "ended 200,300"}));
    EXPECT_TRUE(outer->events.empty());

    pad->events.clear();
    pad->takes = false;
    window->tapAt(CGPointMake(120, 120));
    EXPECT_EQ(pad->events, (Events{"began 20,20"}));
    EXPECT_EQ(outer->events, (Events{"began 120,120", "ended 120,120"}));
}

TEST_F(UIWindowTouchTest, AControlFiresOnlyWhenTheTouchEndsInsideAndADisabledOnePassesItOn) {
    int taps = 0;
    auto outer = Pad::create(CGRectMake(0, 0, 320, 480));
    auto control = button(CGRectMake(100, 100, 80, 40), taps);
    outer->addSubview(control);
    window->addSubview(outer);

    window->touchBegan(CGPointMake(120, 110));
    EXPECT_TRUE(control->isHighlighted());
    window->touchMoved(CGPointMake(250, 110));
    EXPECT_FALSE(control->isHighlighted());
    window->touchMoved(CGPointMake(130, 120));
    EXPECT_TRUE(control->isHighlighted());
    window->touchEnded(CGPointMake(130, 120));
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_EQ(taps, 1);

    window->touchBegan(CGPointMake(120, 110));
    window->touchEnded(CGPointMake(250, 110));
    EXPECT_EQ(taps, 1);
    EXPECT_FALSE(control->isHighlighted());

    control->setEnabled(false);
    window->tapAt(CGPointMake(120, 110));
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(outer->events, (Events{"began 120,110", "ended 120,110"}));
}

TEST_F(UIWindowTouchTest, AViewTakenOffTheWindowDuringATouchIsCancelledAndFiresNothing) {
    int taps = 0;
    // At the window's origin, so that the finger is inside it in its own terms also once it is
    // off the window.
    auto control = button(CGRectMake(0, 0, 80, 40), taps);
    window->addSubview(control);
    window->touchBegan(CGPointMake(20, 10));
    control->removeFromSuperview();
    window->touchMoved(CGPointMake(21, 11));
    window->touchEnded(CGPointMake(21, 11));
    EXPECT_EQ(taps, 0);
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_FALSE(window->isTracking());

    // Its container goes, and the responder with it: it hears of it as a cancelled touch.
    auto container = UIView::create(CGRectMake(0, 200, 320, 100));
    auto pad = Pad::create(CGRectMake(0, 0, 320, 100));
    container->addSubview(pad);
    window->addSubview(container);
    window->touchBegan(CGPointMake(10, 210));
    container->removeFromSuperview();
    window->touchMoved(CGPointMake(10, 220));
    window->touchEnded(CGPointMake(10, 220));
    EXPECT_EQ(pad->events, (Events{"began 10,10", "cancelled"}));
}

TEST_F(UIWindowTouchTest, ANewTouchWhileOneIsTrackedCancelsTheFirst) {
    int taps = 0;
    auto control = button(CGRectMake(100, 100, 80, 40), taps);
    auto pad = Pad::create(CGRectMake(0, 300, 320, 100));
    window->addSubview(control);
    window->addSubview(pad);

    // The button's finger-up never came (the pointer was released outside the window).
    window->touchBegan(CGPointMake(120, 110));
    window->tapAt(CGPointMake(10, 310));
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_EQ(taps, 0);

    window->touchBegan(CGPointMake(10, 310));
    window->tapAt(CGPointMake(120, 110));
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(pad->events.back(), "cancelled");
}

TEST_F(UIWindowTouchTest, AVerticalDragPastTheSlopGoesToTheListAndATapStaysWithTheRow) {
    auto scroller = list();
    auto row = Pad::create(CGRectMake(0, 200, 320, 44));
    scroller->addSubview(row);

    window->tapAt(CGPointMake(50, 220));
    EXPECT_EQ(row->events, (Events{"began 50,20", "ended 50,20"}));
    EXPECT_EQ(scroller->contentOffset().y, 0);

    // Small and sideways moves stay with the row.
    row->events.clear();
    window->touchBegan(CGPointMake(50, 220));
    window->touchMoved(CGPointMake(50, 215));
    window->touchMoved(CGPointMake(150, 220));
    window->touchEnded(CGPointMake(150, 220));
    EXPECT_EQ(row->events.back(), "ended 150,20");
    EXPECT_EQ(scroller->contentOffset().y, 0);

    // A drag up: the row lets go, and the list follows the finger from where it came down.
    row->events.clear();
    window->touchBegan(CGPointMake(50, 220));
    window->touchMoved(CGPointMake(50, 150));
    EXPECT_EQ(row->events, (Events{"began 50,20", "cancelled"}));
    EXPECT_EQ(scroller->contentOffset().y, 70);
    window->touchEnded(CGPointMake(50, 100));
    EXPECT_EQ(scroller->contentOffset().y, 120);
    EXPECT_FALSE(scroller->isDragging());
    EXPECT_EQ(row->events.size(), 2u);
}

TEST_F(UIWindowTouchTest, ADragOnAControlInAListScrollsAndAViewThatKeepsDragsIsNotScrolled) {
    auto scroller = list();
    int taps = 0;
    auto control = button(CGRectMake(100, 100, 80, 40), taps);
    auto slider = Pad::create(CGRectMake(0, 300, 320, 44), true);
    scroller->addSubview(control);
    scroller->addSubview(slider);

    window->touchBegan(CGPointMake(120, 110));
    window->touchMoved(CGPointMake(120, 60));
    EXPECT_FALSE(control->isHighlighted());
    window->touchEnded(CGPointMake(120, 60));
    EXPECT_EQ(taps, 0);
    EXPECT_EQ(scroller->contentOffset().y, 50);

    window->touchBegan(CGPointMake(10, 260));
    window->touchMoved(CGPointMake(10, 160));
    window->touchEnded(CGPointMake(10, 160));
    EXPECT_EQ(slider->events, (Events{"began 10,10", "moved 10,-90", "ended 10,-90"}));
    EXPECT_EQ(scroller->contentOffset().y, 50);
}

TEST_F(UIWindowTouchTest, ADragOnAnInnerListScrollsItAndNotTheListAroundIt) {
    auto outer = list();
    auto inner = UIScrollView::create(CGRectMake(0, 100, 320, 200));
    inner->setContentSize(CGSizeMake(320, 1000));
    outer->addSubview(inner);

    window->touchBegan(CGPointMake(50, 250));
    window->touchMoved(CGPointMake(50, 200));
    window->touchEnded(CGPointMake(50, 180));
    EXPECT_EQ(inner->contentOffset().y, 70);
    EXPECT_EQ(outer->contentOffset().y, 0);

    // An inner list that does not scroll leaves the drag to the one around it.
    inner->setScrollEnabled(false);
    window->touchBegan(CGPointMake(50, 250));
    window->touchMoved(CGPointMake(50, 200));
    window->touchEnded(CGPointMake(50, 180));
    EXPECT_EQ(inner->contentOffset().y, 70);
    EXPECT_EQ(outer->contentOffset().y, 70);
}

TEST_F(UIWindowTouchTest, TheWheelScrollsTheListUnderThePointer) {
    auto outer = list();
    auto inner = UIScrollView::create(CGRectMake(0, 100, 320, 200));
    inner->setContentSize(CGSizeMake(320, 1000));
    outer->addSubview(inner);
    window->scrollWheel(CGPointMake(50, 150), 40);
    window->scrollWheel(CGPointMake(50, 400), 25);
    EXPECT_EQ(inner->contentOffset().y, 40);
    EXPECT_EQ(outer->contentOffset().y, 25);
}

} // namespace
