#include "platform/ui/UIView.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/ui/UITouchResponder.h"
#include "platform/ui/UIWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class UIViewTest : public testing::Test {
protected:
    void SetUp() override { loop = NSRunLoop::installMain(ManualClock::create()); }
    std::shared_ptr<NSRunLoop> loop;
};

// A view that records the order of the passes it takes part in.
class PassRecorder : public UIView {
public:
    static std::shared_ptr<PassRecorder> create(std::string name, std::vector<std::string>& log,
                                                CGRect frame = CGRectMake(0, 0, 100, 100)) {
        auto v = std::shared_ptr<PassRecorder>(new PassRecorder(frame, std::move(name), log));
        v->commonInit();
        return v;
    }
    void updateConstraints() override {
        log_.push_back("constraints " + name_);
        UIView::updateConstraints();
    }
    void layoutSubviews() override {
        log_.push_back("layout " + name_);
        UIView::layoutSubviews();
    }
    void didMoveToWindow() override { log_.push_back((window() ? "joined " : "left ") + name_); }

private:
    PassRecorder(CGRect frame, std::string name, std::vector<std::string>& log)
        : UIView(frame), name_(std::move(name)), log_(log) {}
    std::string name_;
    std::vector<std::string>& log_;
};

// A view that takes touches and records them in its own coordinates.
class TouchRecorder : public UIView, public UITouchResponder {
public:
    static std::shared_ptr<TouchRecorder> create(CGRect frame, bool takes = true) {
        auto v = std::shared_ptr<TouchRecorder>(new TouchRecorder(frame, takes));
        v->commonInit();
        return v;
    }
    bool touchBegan(CGPoint p) override {
        points.push_back(p);
        return takes_;
    }
    void touchMoved(CGPoint p) override { points.push_back(p); }
    void touchEnded(CGPoint p) override {
        points.push_back(p);
        ++ended;
    }
    std::vector<CGPoint> points;
    int ended = 0;

private:
    TouchRecorder(CGRect frame, bool takes) : UIView(frame), takes_(takes) {}
    bool takes_;
};

TEST_F(UIViewTest, AutoresizingSharesTheChangeAmongTheFlexibleParts) {
    auto parent = UIView::create(CGRectMake(0, 0, 200, 100));
    auto fill = UIView::create(CGRectMake(0, 0, 200, 100));
    fill->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto centred = UIView::create(CGRectMake(50, 25, 100, 50));
    centred->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                 UIViewAutoresizingFlexibleRightMargin | UIViewAutoresizingFlexibleTopMargin |
                                 UIViewAutoresizingFlexibleBottomMargin);
    auto proportional = UIView::create(CGRectMake(20, 0, 60, 10));
    proportional->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleWidth);
    auto fixed = UIView::create(CGRectMake(10, 10, 30, 30));
    auto constrained = UIView::create(CGRectMake(0, 0, 200, 100));
    constrained->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    constrained->setTranslatesAutoresizingMaskIntoConstraints(false);
    for (const auto& v : {fill, centred, proportional, fixed, constrained})
        parent->addSubview(v);

    parent->setFrame(CGRectMake(0, 0, 400, 300));
    EXPECT_EQ(fill->frame(), CGRectMake(0, 0, 400, 300));
    EXPECT_EQ(centred->frame(), CGRectMake(150, 125, 100, 50));
    // 200 more points, shared 20 : 60 between the left margin and the width.
    EXPECT_EQ(proportional->frame(), CGRectMake(70, 0, 210, 10));
    EXPECT_EQ(fixed->frame(), CGRectMake(10, 10, 30, 30));
    EXPECT_EQ(constrained->frame(), CGRectMake(0, 0, 200, 100)); // placed by constraints instead

    // A resize by bounds does the same; a parent that does not resize its subviews leaves them.
    parent->setBounds(CGRectMake(0, 0, 200, 100));
    EXPECT_EQ(fill->frame(), CGRectMake(0, 0, 200, 100));
    EXPECT_EQ(centred->frame(), CGRectMake(50, 25, 100, 50));
    parent->setAutoresizesSubviews(false);
    parent->setBounds(CGRectMake(0, 0, 50, 50));
    EXPECT_EQ(fill->frame(), CGRectMake(0, 0, 200, 100));

    // Flexible parts that are all zero share the change equally; a size never goes below zero.
    auto outer = UIView::create(CGRectMake(0, 0, 100, 0));
    auto zero = UIView::create(CGRectMake(0, 0, 100, 0));
    zero->setAutoresizingMask(UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleHeight |
                              UIViewAutoresizingFlexibleBottomMargin | UIViewAutoresizingFlexibleWidth);
    outer->addSubview(zero);
    outer->setBounds(CGRectMake(0, 0, 100, 30));
    EXPECT_EQ(zero->frame(), CGRectMake(0, 10, 100, 10));
    outer->setBounds(CGRectMake(0, 0, -500, 30));
    EXPECT_EQ(zero->frame().size.width, 0);
}

TEST_F(UIViewTest, LayoutPassRunsConstraintsChildrenFirstThenLayoutParentsFirst) {
    std::vector<std::string> log;
    auto root = PassRecorder::create("root", log);
    auto child = PassRecorder::create("child", log);
    auto grandchild = PassRecorder::create("grandchild", log);
    root->addSubview(child);
    child->addSubview(grandchild);
    root->setNeedsUpdateConstraints();
    grandchild->setNeedsUpdateConstraints();
    root->layoutIfNeeded();
    EXPECT_EQ(log, (std::vector<std::string>{"constraints grandchild", "constraints root", "layout root",
                                             "layout child", "layout grandchild"}));
    // Nothing asked for again: nothing runs.
    log.clear();
    root->layoutIfNeeded();
    EXPECT_TRUE(log.empty());
    // Only the view that asked is laid out again.
    child->setNeedsLayout();
    root->layoutIfNeeded();
    EXPECT_EQ(log, (std::vector<std::string>{"layout child"}));
}

// An engine that counts the passes it is asked to start.
struct CountingEngine : UILayoutEngine {
    int passes = 0;
    void didAddConstraint(UIView&, const std::shared_ptr<NSLayoutConstraint>&) override {}
    void didRemoveConstraint(UIView&, const std::shared_ptr<NSLayoutConstraint>&) override {}
    void viewInputsChanged(UIView&) override {}
    void willLayout(UIView&) override { ++passes; }
    void layoutSubviews(UIView&) override {}
};

TEST_F(UIViewTest, TheLayoutEngineIsTheDevicesAndLivesAsLongAsIt) {
    auto engine = std::make_shared<CountingEngine>();
    UIView::setLayoutEngine(engine);
    auto view = UIView::create(CGRectMake(0, 0, 10, 10));
    view->layoutIfNeeded();
    EXPECT_EQ(engine->passes, 1);
    std::weak_ptr<UILayoutEngine> theirs;
    {
        DeviceEnvironment::Scope next;
        EXPECT_EQ(UIView::layoutEngine(), nullptr);
        view->setNeedsLayout();
        view->layoutIfNeeded(); // plain frames: no engine on this device
        auto own = std::make_shared<CountingEngine>();
        theirs = own;
        UIView::setLayoutEngine(std::move(own));
        EXPECT_FALSE(theirs.expired()) << "the device holds its engine";
    }
    EXPECT_TRUE(theirs.expired()) << "and lets go of it when it ends";
    EXPECT_EQ(engine->passes, 1);
    EXPECT_EQ(UIView::layoutEngine(), engine);
}

TEST_F(UIViewTest, ViewsLearnWhenTheirSubtreeJoinsOrLeavesAWindow) {
    std::vector<std::string> log;
    auto window = UIWindow::create(CGRectMake(0, 0, 320, 480));
    auto a = PassRecorder::create("a", log);
    auto b = PassRecorder::create("b", log);
    a->addSubview(b);
    EXPECT_TRUE(log.empty()); // neither is in a window
    EXPECT_EQ(a->window(), nullptr);
    window->addSubview(a);
    EXPECT_EQ(log, (std::vector<std::string>{"joined a", "joined b"}));
    EXPECT_EQ(b->window(), window);
    // Moving inside the same window is not joining it again.
    log.clear();
    auto other = UIView::create();
    window->addSubview(other);
    other->addSubview(b);
    EXPECT_TRUE(log.empty());
    a->removeFromSuperview();
    EXPECT_EQ(log, (std::vector<std::string>{"left a"}));
}

// The walks up the tree hold no reference to the views they pass: a view removed from its
// superview, or one whose superview has gone, has none, and nothing above it is reached.
TEST_F(UIViewTest, WalksUpTheTreeStopAtARemovedOrReleasedSuperview) {
    auto top = UIView::create();
    auto middle = UIView::create();
    auto leaf = UIView::create();
    top->addSubview(middle);
    middle->addSubview(leaf);
    EXPECT_EQ(leaf->superviewPointer(), middle.get());
    EXPECT_TRUE(leaf->isDescendantOfView(top.get()));
    middle->removeFromSuperview();
    EXPECT_EQ(middle->superviewPointer(), nullptr);
    EXPECT_FALSE(leaf->isDescendantOfView(top.get()));
    // Moved under another view, the pointer follows the move.
    top->addSubview(leaf);
    EXPECT_EQ(leaf->superviewPointer(), top.get());
    EXPECT_FALSE(leaf->isDescendantOfView(middle.get()));
    middle->addSubview(leaf);
    top.reset();
    middle.reset(); // the superview goes; the leaf lives on its own
    EXPECT_EQ(leaf->superviewPointer(), nullptr);
    EXPECT_EQ(leaf->superview(), nullptr);
    EXPECT_TRUE(leaf->tintColor().has_value()) << "the tint walk stops at the leaf";
}

TEST_F(UIViewTest, HitTestingFindsTheDeepestVisibleInteractiveView) {
    auto root = UIView::create(CGRectMake(0, 0, 300, 300));
    auto panel = UIView::create(CGRectMake(100, 100, 100, 100));
    auto button = UIView::create(CGRectMake(10, 10, 20, 20));
    auto cover = UIView::create(CGRectMake(0, 0, 50, 50));
    root->addSubview(panel);
    panel->addSubview(button);
    EXPECT_EQ(root->hitTest(CGPointMake(115, 115)), button);
    EXPECT_EQ(root->hitTest(CGPointMake(150, 150)), panel);
    EXPECT_EQ(root->hitTest(CGPointMake(5, 5)), root);
    EXPECT_EQ(root->hitTest(CGPointMake(-1, 5)), nullptr);
    // The later sibling is on top.
    panel->addSubview(cover);
    EXPECT_EQ(root->hitTest(CGPointMake(115, 115)), cover);
    // Hidden, transparent or non-interactive views are passed through, with their subtrees.
    cover->setHidden(true);
    EXPECT_EQ(root->hitTest(CGPointMake(115, 115)), button);
    button->setAlpha(0);
    EXPECT_EQ(root->hitTest(CGPointMake(115, 115)), panel);
    panel->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest(CGPointMake(115, 115)), root);
    // A subview outside its parent's bounds is not hit there (bounds are checked first).
    panel->setUserInteractionEnabled(true);
    auto outside = UIView::create(CGRectMake(150, 0, 20, 20));
    panel->addSubview(outside);
    EXPECT_EQ(root->hitTest(CGPointMake(255, 105)), root);
    // Transforms and scrolled bounds are followed.
    panel->setBounds(CGRectMake(0, 10, 100, 100));
    button->setAlpha(1);
    EXPECT_EQ(root->hitTest(CGPointMake(115, 105)), button);
}

TEST_F(UIViewTest, TouchesGoToTheNearestResponderThatTakesThem) {
    auto window = UIWindow::create(CGRectMake(0, 0, 320, 480));
    auto taker = TouchRecorder::create(CGRectMake(100, 100, 100, 100));
    auto decliner = TouchRecorder::create(CGRectMake(10, 10, 50, 50), false);
    auto plain = UIView::create(CGRectMake(0, 0, 20, 20));
    window->addSubview(taker);
    taker->addSubview(decliner);
    decliner->addSubview(plain);
    window->touchBegan(CGPointMake(115, 115)); // on the plain view inside the decliner
    window->touchMoved(CGPointMake(120, 116));
    window->touchEnded(CGPointMake(121, 117));
    // The decliner was asked first, in its own coordinates, then the taker got the whole touch.
    EXPECT_EQ(decliner->points, (std::vector<CGPoint>{CGPointMake(5, 5)}));
    EXPECT_EQ(taker->points,
              (std::vector<CGPoint>{CGPointMake(15, 15), CGPointMake(20, 16), CGPointMake(21, 17)}));
    EXPECT_EQ(taker->ended, 1);
    EXPECT_EQ(decliner->ended, 0);
    EXPECT_FALSE(window->isTracking());
    // A touch on nothing that takes it goes nowhere.
    window->touchBegan(CGPointMake(5, 5));
    EXPECT_FALSE(window->isTracking());
}

} // namespace
