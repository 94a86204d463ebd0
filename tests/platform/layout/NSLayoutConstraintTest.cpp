#include "platform/layout/NSLayoutConstraint.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSAssertionHandler.h"
#include "platform/foundation/NSLog.h"
#include "platform/layout/LayoutConflictReport.h"
#include "platform/layout/NSLayoutEngine.h"
#include "platform/layout/VisualFormatParser.h"

#include <gtest/gtest.h>

namespace {

// A view with a settable intrinsic size that counts its layout passes.
class SizedView : public UIView {
public:
    static std::shared_ptr<SizedView> make(CGSize intrinsic) {
        auto v = std::shared_ptr<SizedView>(new SizedView());
        v->intrinsic_ = intrinsic;
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        return v;
    }
    CGSize intrinsicContentSize() const override { return intrinsic_; }
    void setIntrinsic(CGSize s) {
        intrinsic_ = s;
        invalidateIntrinsicContentSize();
    }
    void updateConstraints() override {
        ++updates;
        UIView::updateConstraints();
    }
    void layoutSubviews() override {
        ++layouts;
        UIView::layoutSubviews();
    }
    int updates = 0, layouts = 0;

private:
    SizedView() : UIView(CGRectZero) {}
    CGSize intrinsic_{};
};

using Constraints = std::vector<std::shared_ptr<NSLayoutConstraint>>;

std::shared_ptr<NSLayoutConstraint> make(const std::shared_ptr<UIView>& a, NSLayoutAttribute aa,
                                         NSLayoutRelation r, const std::shared_ptr<UIView>& b,
                                         NSLayoutAttribute ba, double constant = 0,
                                         UILayoutPriority p = 1000) {
    auto c = NSLayoutConstraint::constraintWithItem(a, aa, r, b, ba, 1, constant);
    c->setPriority(p);
    return c;
}

// The HUD's constraint set, built the way the HUD builds it: a bezel centred at 998, kept
// `margin` inside the edges at 999, stacking spacer, indicator, label, details, button, spacer.
struct Hud {
    std::shared_ptr<UIView> hud = UIView::create(CGRectMake(0, 0, 320, 480));
    std::shared_ptr<UIView> bezel = SizedView::make({0, 0});
    std::shared_ptr<UIView> topSpacer = UIView::create(), bottomSpacer = UIView::create();
    std::shared_ptr<SizedView> indicator = SizedView::make({37, 37});
    std::shared_ptr<SizedView> label = SizedView::make({0, 0});
    std::shared_ptr<SizedView> details = SizedView::make({0, 0});
    std::shared_ptr<SizedView> button = SizedView::make({0, 0});
    Constraints padding;
    double margin = 20;

    explicit Hud(CGSize size = {320, 480}) {
        hud->setFrame(CGRectMake(0, 0, size.width, size.height));
        hud->addSubview(bezel);
        for (auto& v : std::vector<std::shared_ptr<UIView>>{topSpacer, indicator, label, details, button,
                                                            bottomSpacer}) {
            v->setTranslatesAutoresizingMaskIntoConstraints(false);
            v->setContentCompressionResistancePriority(998, UILayoutConstraintAxisHorizontal);
            v->setContentCompressionResistancePriority(998, UILayoutConstraintAxisVertical);
            bezel->addSubview(v);
        }
        rebuild();
    }

    void rebuild() {
        hud->removeConstraints(hud->constraints());
        bezel->removeConstraints(bezel->constraints());
        topSpacer->removeConstraints(topSpacer->constraints());
        bottomSpacer->removeConstraints(bottomSpacer->constraints());
        NSLayoutMetrics metrics{{"margin", margin}};
        Constraints centre{
            make(bezel, NSLayoutAttributeCenterX, NSLayoutRelationEqual, hud, NSLayoutAttributeCenterX),
            make(bezel, NSLayoutAttributeCenterY, NSLayoutRelationEqual, hud, NSLayoutAttributeCenterY)};
        for (auto& c : centre)
            c->setPriority(998);
        hud->addConstraints(centre);
        for (const char* f : {"|-(>=margin)-[bezel]-(>=margin)-|", "V:|-(>=margin)-[bezel]-(>=margin)-|"}) {
            auto edges = NSLayoutConstraint::constraintsWithVisualFormat(f, 0, metrics, {{"bezel", bezel}});
            for (auto& c : edges)
                c->setPriority(999);
            hud->addConstraints(edges);
        }
        topSpacer->addConstraint(make(topSpacer, NSLayoutAttributeHeight, NSLayoutRelationGreaterThanOrEqual,
                                      nullptr, NSLayoutAttributeNotAnAttribute, margin));
        bottomSpacer->addConstraint(make(bottomSpacer, NSLayoutAttributeHeight,
                                         NSLayoutRelationGreaterThanOrEqual, nullptr,
                                         NSLayoutAttributeNotAnAttribute, margin));
        Constraints b{make(topSpacer, NSLayoutAttributeHeight, NSLayoutRelationEqual, bottomSpacer,
                           NSLayoutAttributeHeight)};
        std::vector<std::shared_ptr<UIView>> stack{topSpacer, indicator, label,
                                                   details,   button,    bottomSpacer};
        padding.clear();
        for (std::size_t i = 0; i < stack.size(); ++i) {
            auto& v = stack[i];
            b.push_back(
                make(v, NSLayoutAttributeCenterX, NSLayoutRelationEqual, bezel, NSLayoutAttributeCenterX));
            auto sides = NSLayoutConstraint::constraintsWithVisualFormat("|-(>=margin)-[view]-(>=margin)-|",
                                                                         0, metrics, {{"view", v}});
            b.insert(b.end(), sides.begin(), sides.end());
            if (i == 0)
                b.push_back(
                    make(v, NSLayoutAttributeTop, NSLayoutRelationEqual, bezel, NSLayoutAttributeTop));
            else if (i == stack.size() - 1)
                b.push_back(
                    make(v, NSLayoutAttributeBottom, NSLayoutRelationEqual, bezel, NSLayoutAttributeBottom));
            if (i > 0) {
                auto p = make(v, NSLayoutAttributeTop, NSLayoutRelationEqual, stack[i - 1],
                              NSLayoutAttributeBottom);
                b.push_back(p);
                padding.push_back(p);
            }
        }
        bezel->addConstraints(b);
    }
};

struct LogCapture {
    std::vector<std::string> lines;
    Subscription sink = NSLogAddSink([this](const std::string& line) { lines.push_back(line); });
    LogCapture() { NSLogSetEchoToStderr(false); }
    ~LogCapture() {
        sink.reset();
        NSLogSetEchoToStderr(true);
    }
};

} // namespace

// Every test here runs with the engine installed, as a host installs it.
class NSLayoutConstraintTest : public testing::Test {
protected:
    void SetUp() override { NSLayoutEngine::install(); }
};

TEST_F(NSLayoutConstraintTest, AConstraintWithoutAnInstalledEngineIsACallerError) {
    UIView::setLayoutEngine(nullptr);
    auto previous =
        NSAssertionHandler::setHook([](const std::string& message) { throw AssertionFailure(message); });
    auto parent = UIView::create(CGRectMake(0, 0, 100, 100));
    auto child = SizedView::make(CGSizeMake(10, 10));
    parent->addSubview(child);
    auto width = NSLayoutConstraint::constraintWithItem(child, NSLayoutAttributeWidth, NSLayoutRelationEqual,
                                                        nullptr, NSLayoutAttributeNotAnAttribute, 1, 40);
    try {
        parent->addConstraint(width);
        ADD_FAILURE() << "no assertion";
    } catch (const AssertionFailure& failure) {
        EXPECT_EQ(std::string(failure.what()),
                  "No layout engine is installed: the host installs one before views get constraints.");
    }
    NSAssertionHandler::setHook(previous);
    EXPECT_TRUE(parent->constraints().empty());
    // Installed, the same constraint is taken and solved.
    NSLayoutEngine::install();
    parent->addConstraint(width);
    parent->layoutIfNeeded();
    EXPECT_EQ(child->frame().size.width, 40);
}

TEST_F(NSLayoutConstraintTest, EachDeviceSolvesWithAnEngineOfItsOwn) {
    NSLayoutEngine* installed = &NSLayoutEngine::shared();
    auto parent = UIView::create(CGRectMake(0, 0, 100, 100));
    auto child = SizedView::make(CGSizeMake(10, 10));
    parent->addSubview(child);
    auto width = [&] {
        return NSLayoutConstraint::constraintWithItem(child, NSLayoutAttributeWidth, NSLayoutRelationEqual,
                                                      nullptr, NSLayoutAttributeNotAnAttribute, 1, 40);
    };
    {
        DeviceEnvironment::Scope next;
        EXPECT_NE(&NSLayoutEngine::shared(), installed);
        EXPECT_EQ(UIView::layoutEngine(), nullptr) << "installed on the other device only";
        EXPECT_THROW(parent->addConstraint(width()), AssertionFailure);
        NSLayoutEngine::install();
        EXPECT_EQ(UIView::layoutEngine().get(), &NSLayoutEngine::shared());
        auto other = UIView::create(CGRectMake(0, 0, 100, 100));
        auto sized = SizedView::make(CGSizeMake(10, 10));
        other->addSubview(sized);
        other->addConstraint(NSLayoutConstraint::constraintWithItem(sized, NSLayoutAttributeWidth,
                                                                    NSLayoutRelationEqual, nullptr,
                                                                    NSLayoutAttributeNotAnAttribute, 1, 30));
        other->layoutIfNeeded();
        EXPECT_EQ(sized->frame().size.width, 30);
    }
    EXPECT_EQ(UIView::layoutEngine().get(), installed);
    parent->addConstraint(width());
    parent->layoutIfNeeded();
    EXPECT_EQ(child->frame().size.width, 40);
}

TEST_F(NSLayoutConstraintTest, HudShrinkWrapsItsContentAndCentres) {
    Hud h;
    h.hud->layoutIfNeeded();
    // Spinner plus 20 on each side, centred in 320 x 480.
    EXPECT_EQ(h.bezel->frame(), CGRectMake(121.5, 201.5, 77, 77));
    EXPECT_EQ(h.indicator->frame(), CGRectMake(20, 20, 37, 37));
    EXPECT_EQ(h.topSpacer->frame().size.height, 20);
    EXPECT_EQ(h.bottomSpacer->frame().origin.y, 57);

    // A label appears: the padding moves without a rebuild (a constant change in place).
    h.label->setIntrinsic({100, 20});
    h.padding[1]->setConstant(4);
    h.hud->layoutIfNeeded();
    EXPECT_EQ(h.label->frame(), CGRectMake(20, 61, 100, 20));
    EXPECT_EQ(h.bezel->frame().size, CGSizeMake(140, 101));
    EXPECT_EQ(h.indicator->frame().origin.x, 51.5);
}

TEST_F(NSLayoutConstraintTest, NarrowParentKeepsTheMarginsAndSqueezesTheLabel) {
    Hud h({200, 480});
    h.label->setIntrinsic({300, 20});
    h.hud->layoutIfNeeded();
    EXPECT_EQ(h.bezel->frame().origin.x, 20);
    EXPECT_EQ(h.bezel->frame().size.width, 160);
    EXPECT_EQ(h.label->frame().size.width, 120);

    // A short parent: the vertical margins hold, the indicator gives way (the spacers are required).
    Hud s({320, 100});
    s.hud->layoutIfNeeded();
    EXPECT_EQ(s.bezel->frame().origin.y, 20);
    EXPECT_EQ(s.bezel->frame().size.height, 60);
    EXPECT_EQ(s.indicator->frame().size.height, 20);
    // Shorter still, the required spacers leave no choice: the margins break evenly.
    Hud t({320, 60});
    t.hud->layoutIfNeeded();
    EXPECT_EQ(t.bezel->frame(), CGRectMake(121.5, 10, 77, 40));
}

TEST_F(NSLayoutConstraintTest, UpdateAndLayoutOverridesRunInOnePass) {
    auto root = UIView::create(CGRectMake(0, 0, 100, 100));
    auto a = SizedView::make({10, 10});
    root->addSubview(a);
    root->addConstraint(
        make(a, NSLayoutAttributeLeft, NSLayoutRelationEqual, root, NSLayoutAttributeLeft, 5));
    root->addConstraint(make(a, NSLayoutAttributeTop, NSLayoutRelationEqual, root, NSLayoutAttributeTop, 6));
    a->setNeedsUpdateConstraints();
    a->setNeedsUpdateConstraints();
    root->layoutIfNeeded();
    EXPECT_EQ(a->updates, 1);
    EXPECT_FALSE(a->needsUpdateConstraints());
    EXPECT_EQ(a->frame(), CGRectMake(5, 6, 10, 10));
    root->layoutIfNeeded();
    EXPECT_EQ(a->updates, 1);

    // The parent's own frame is the given: resizing it re-solves in place.
    root->addConstraint(
        make(a, NSLayoutAttributeRight, NSLayoutRelationEqual, root, NSLayoutAttributeRight, -5));
    root->setFrame(CGRectMake(0, 0, 50, 100));
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame(), CGRectMake(5, 6, 40, 10));

    // Deactivating through the constraint removes it from its view.
    auto c = root->constraints().back();
    EXPECT_TRUE(c->isActive());
    c->setActive(false);
    EXPECT_FALSE(c->isActive());
    EXPECT_EQ(root->constraints().size(), 2u);
    c->setActive(true);
    EXPECT_EQ(c->installedOn(), root);
}

TEST_F(NSLayoutConstraintTest, HuggingAndCompressionDecideWhoGivesWay) {
    auto root = UIView::create(CGRectMake(0, 0, 200, 50));
    auto a = SizedView::make({50, 20}), b = SizedView::make({50, 20});
    root->addSubview(a);
    root->addSubview(b);
    root->addConstraints(
        NSLayoutConstraint::constraintsWithVisualFormat("|[a][b]|", 0, {}, {{"a", a}, {"b", b}}));
    b->setContentHuggingPriority(249, UILayoutConstraintAxisHorizontal);
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, 50); // hugs harder
    EXPECT_EQ(b->frame().size.width, 150);

    root->setFrame(CGRectMake(0, 0, 60, 50));
    a->setContentCompressionResistancePriority(751, UILayoutConstraintAxisHorizontal);
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, 50); // resists harder
    EXPECT_EQ(b->frame().size.width, 10);
}

TEST_F(NSLayoutConstraintTest, ContradictingRequiredConstraintsLogOnceAndKeepTheLastLayout) {
    LogCapture log;
    auto root = UIView::create(CGRectMake(0, 0, 300, 300));
    auto a = SizedView::make({10, 10});
    root->addSubview(a);
    auto wide =
        make(a, NSLayoutAttributeWidth, NSLayoutRelationEqual, nullptr, NSLayoutAttributeNotAnAttribute, 100);
    root->addConstraint(wide);
    root->layoutIfNeeded();
    ASSERT_EQ(a->frame().size.width, 100);

    auto narrow = make(a, NSLayoutAttributeWidth, NSLayoutRelationLessThanOrEqual, nullptr,
                       NSLayoutAttributeNotAnAttribute, 50);
    root->addConstraint(narrow);
    root->layoutIfNeeded();
    root->setNeedsLayout();
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, 100);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("Unable to simultaneously satisfy constraints"), std::string::npos);
    EXPECT_NE(log.lines[0].find(narrow->description()), std::string::npos);
    EXPECT_NE(log.lines[0].find(wide->description()), std::string::npos);

    // Relaxing the offender brings the layout back.
    narrow->setConstant(150);
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, 100);
    wide->setConstant(120);
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, 120);

    // A constant change into contradiction is refused the same way.
    wide->setConstant(200);
    root->layoutIfNeeded();
    EXPECT_EQ(a->frame().size.width, 120);
    EXPECT_EQ(log.lines.size(), 2u);
}

TEST_F(NSLayoutConstraintTest, VisualFormatGrammar) {
    std::set<std::string> views{"a", "b", "c"};
    NSLayoutMetrics metrics{{"m", 12}, {"p", 300}};
    auto ok = parseVisualFormat("V:|-[a]-m-[b(>=44@p,<=b)]-(>=10@999,==30@250)-[c][a]-|", 0, metrics, views);
    ASSERT_EQ(ok.error, "");
    ASSERT_EQ(ok.constraints.size(), 8u);
    auto& top = ok.constraints[0]; // a.top == |.top + 20
    EXPECT_EQ(top.firstView, "a");
    EXPECT_EQ(top.firstAttribute, NSLayoutAttributeTop);
    EXPECT_EQ(top.secondView, "|");
    EXPECT_EQ(top.constant, 20);
    EXPECT_EQ(ok.constraints[1].constant, 12); // b.top == a.bottom + m
    EXPECT_EQ(ok.constraints[1].secondAttribute, NSLayoutAttributeBottom);
    EXPECT_EQ(ok.constraints[2].relation, NSLayoutRelationGreaterThanOrEqual); // b.height >= 44 @300
    EXPECT_EQ(ok.constraints[2].priority, 300);
    EXPECT_EQ(ok.constraints[3].secondView, "b"); // b.height <= b.height
    EXPECT_EQ(ok.constraints[4].priority, 999);
    EXPECT_EQ(ok.constraints[5].constant, 30);
    EXPECT_EQ(ok.constraints[6].constant, 0); // flush
    auto& bottom = ok.constraints[7];         // |.bottom == a.bottom + 20
    EXPECT_EQ(bottom.firstView, "|");
    EXPECT_EQ(bottom.firstAttribute, NSLayoutAttributeBottom);
    EXPECT_EQ(bottom.constant, 20);

    auto aligned = parseVisualFormat("[a]-[b]", NSLayoutFormatAlignAllCenterY, {}, views);
    ASSERT_EQ(aligned.constraints.size(), 2u);
    EXPECT_EQ(aligned.constraints[1].firstAttribute, NSLayoutAttributeCenterY);
    EXPECT_EQ(aligned.constraints[0].constant, 8);

    for (const char* bad : {"", "H:", "[a", "[zz]", "|-(>=x)-[a]", "[a]-", "|-(>=10-[a]", "[a]|[b]",
                            "[a]-10[b]", "[a(>=)]", "[a]-(>=10@2000)-[b]", "[a]-|-[b]"}) {
        auto r = parseVisualFormat(bad, 0, metrics, views);
        EXPECT_NE(r.error, "") << bad;
        EXPECT_TRUE(r.constraints.empty()) << bad;
    }
    EXPECT_NE(parseVisualFormat("[a]-[b]", NSLayoutFormatAlignAllLeft, {}, views).error, "");

    // Through the constraint factory: a bad format logs one line and makes nothing.
    LogCapture log;
    auto lone = UIView::create();
    std::string error;
    EXPECT_TRUE(
        NSLayoutConstraint::constraintsWithVisualFormat("|[a]", 0, {}, {{"a", lone}}, &error).empty());
    EXPECT_NE(error.find("superview"), std::string::npos);
    EXPECT_TRUE(NSLayoutConstraint::constraintsWithVisualFormat("[a]-(", 0, {}, {{"a", lone}}).empty());
    EXPECT_EQ(log.lines.size(), 2u);
}

TEST_F(NSLayoutConstraintTest, RebuiltConstraintsOfTheSameShapeTakeOverInPlace) {
    // The same formats with other metrics must not share a parse, and a rebuild that only changes
    // constants must lay out exactly as a fresh system would.
    Hud h;
    h.hud->layoutIfNeeded();
    h.margin = 30;
    h.rebuild();
    h.padding[0]->setConstant(4);
    h.hud->layoutIfNeeded();
    Hud fresh;
    fresh.margin = 30;
    fresh.rebuild();
    fresh.padding[0]->setConstant(4);
    fresh.hud->layoutIfNeeded();
    EXPECT_EQ(h.bezel->frame(), CGRectMake(111.5, 189.5, 97, 101));
    EXPECT_EQ(h.bezel->frame(), fresh.bezel->frame());
    EXPECT_EQ(h.indicator->frame(), fresh.indicator->frame());

    // A rebuild of another shape (one constraint fewer, one of another relation) still lays out.
    h.rebuild();
    h.bezel->removeConstraint(h.padding[0]);
    h.bezel->addConstraint(make(h.indicator, NSLayoutAttributeTop, NSLayoutRelationGreaterThanOrEqual,
                                h.topSpacer, NSLayoutAttributeBottom, 10));
    h.hud->layoutIfNeeded();
    EXPECT_EQ(h.indicator->frame().origin.y, 40);
}

namespace {

TEST(LayoutConflictReportTest, TheSameRelationsAreToldOnceWhateverTheirOrderOrNames) {
    LogCapture log;
    LayoutConflictReport report;
    int viewA = 0, viewB = 0; // stand-ins for two views' identities
    LayoutConflictMember wide{
        "wide", {&viewA, NSLayoutAttributeWidth, NSLayoutRelationEqual, nullptr, 0, 1, 100, 1000}};
    LayoutConflictMember narrow{
        "narrow", {&viewA, NSLayoutAttributeWidth, NSLayoutRelationLessThanOrEqual, nullptr, 0, 1, 50, 1000}};
    EXPECT_TRUE(report.tell({wide, narrow}));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0],
              "Unable to simultaneously satisfy constraints: wide, narrow; keeping the last layout");
    // Rebuilt objects describe themselves differently (their addresses) and may come in another
    // order: the same conflict.
    wide.name = "wide, rebuilt";
    EXPECT_FALSE(report.tell({narrow, wide}));
    // Another constant, another view or a cleared report: told again.
    std::get<6>(narrow.relation) = 60;
    EXPECT_TRUE(report.tell({wide, narrow}));
    std::get<0>(narrow.relation) = &viewB;
    EXPECT_TRUE(report.tell({wide, narrow}));
    report.clear();
    EXPECT_TRUE(report.tell({wide, narrow}));
    EXPECT_EQ(log.lines.size(), 4u);
}

} // namespace
