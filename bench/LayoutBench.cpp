// Auto Layout speed: a HUD's full constraint rebuild and solve, the label-text change that only
// moves the padding, and the solver alone on a vertical stack of N views.

#include "platform/layout/NSLayoutConstraint.h"
#include "platform/layout/Solver.h"

#include <benchmark/benchmark.h>

namespace {

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

  private:
    SizedView() : UIView(CGRectZero) {}
    CGSize intrinsic_{};
};

using Constraints = std::vector<std::shared_ptr<NSLayoutConstraint>>;

std::shared_ptr<NSLayoutConstraint> make(const std::shared_ptr<UIView>& a, NSLayoutAttribute aa,
                                         NSLayoutRelation r, const std::shared_ptr<UIView>& b,
                                         NSLayoutAttribute ba, double constant = 0) {
    return NSLayoutConstraint::constraintWithItem(a, aa, r, b, ba, 1, constant);
}

// The HUD's view tree and constraint set: label, details and button all showing.
struct Hud {
    std::shared_ptr<UIView> hud = UIView::create(CGRectMake(0, 0, 375, 667));
    std::shared_ptr<UIView> bezel = SizedView::make({0, 0});
    std::shared_ptr<UIView> topSpacer = UIView::create(), bottomSpacer = UIView::create();
    std::shared_ptr<SizedView> indicator = SizedView::make({37, 37});
    std::shared_ptr<SizedView> label = SizedView::make({120, 19});
    std::shared_ptr<SizedView> details = SizedView::make({160, 29});
    std::shared_ptr<SizedView> button = SizedView::make({70, 25});
    std::vector<std::shared_ptr<UIView>> stack{topSpacer, indicator, label, details, button, bottomSpacer};
    Constraints padding;

    Hud() {
        hud->addSubview(bezel);
        for (auto& v : stack) {
            v->setTranslatesAutoresizingMaskIntoConstraints(false);
            v->setContentCompressionResistancePriority(998, UILayoutConstraintAxisHorizontal);
            v->setContentCompressionResistancePriority(998, UILayoutConstraintAxisVertical);
            bezel->addSubview(v);
        }
        rebuild();
        hud->layoutIfNeeded();
    }

    void rebuild() {
        hud->removeConstraints(hud->constraints());
        bezel->removeConstraints(bezel->constraints());
        topSpacer->removeConstraints(topSpacer->constraints());
        bottomSpacer->removeConstraints(bottomSpacer->constraints());
        NSLayoutMetrics metrics{{"margin", 20}};
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
                                      nullptr, NSLayoutAttributeNotAnAttribute, 20));
        bottomSpacer->addConstraint(make(bottomSpacer, NSLayoutAttributeHeight,
                                         NSLayoutRelationGreaterThanOrEqual, nullptr,
                                         NSLayoutAttributeNotAnAttribute, 20));
        Constraints b{make(topSpacer, NSLayoutAttributeHeight, NSLayoutRelationEqual, bottomSpacer,
                           NSLayoutAttributeHeight)};
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
                              NSLayoutAttributeBottom, i >= 2 && i <= 4 ? 4 : 0);
                b.push_back(p);
                padding.push_back(p);
            }
        }
        bezel->addConstraints(b);
    }
};

void BM_HudRebuildAndSolve(benchmark::State& state) {
    Hud h;
    for (auto _ : state) {
        h.rebuild();
        h.hud->layoutIfNeeded();
        benchmark::DoNotOptimize(h.button->frame());
    }
}
BENCHMARK(BM_HudRebuildAndSolve)->Repetitions(5)->ReportAggregatesOnly(true);

// The label empties and fills again: its intrinsic size and its padding constant change, and
// the layout pass updates the solution in place.
void BM_HudLabelTextChange(benchmark::State& state) {
    Hud h;
    bool empty = false;
    for (auto _ : state) {
        empty = !empty;
        h.label->setIntrinsic(empty ? CGSizeMake(0, 0) : CGSizeMake(120, 19));
        h.padding[1]->setConstant(empty ? 0 : 4);
        h.hud->layoutIfNeeded();
        benchmark::DoNotOptimize(h.button->frame());
    }
}
BENCHMARK(BM_HudLabelTextChange)->Repetitions(5)->ReportAggregatesOnly(true);

// N views stacked top to bottom with 8-point gaps, each hugging (250) and resisting (750) a
// height of 44, the last one 8 points above the bottom of a parent 100 points taller than needed.
void BM_SolverStack(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    using layout::Relation;
    for (auto _ : state) {
        layout::Solver s;
        layout::Variable top, height;
        for (int i = 0; i < n; ++i) {
            layout::Variable t = s.addVariable(), h = s.addVariable();
            (void)s.addConstraint({{{h, 1}}, 0}, Relation::GreaterThanOrEqual, layout::kRequiredPriority);
            (void)s.addConstraint({{{h, 1}}, -44}, Relation::LessThanOrEqual, 250);
            (void)s.addConstraint({{{h, 1}}, -44}, Relation::GreaterThanOrEqual, 750);
            if (i == 0)
                (void)s.addConstraint({{{t, 1}}, -8}, Relation::Equal, layout::kRequiredPriority);
            else
                (void)s.addConstraint({{{t, 1}, {top, -1}, {height, -1}}, -8}, Relation::Equal,
                                      layout::kRequiredPriority);
            top = t;
            height = h;
        }
        double parent = 8 + n * 52.0 + 100;
        (void)s.addConstraint({{{top, 1}, {height, 1}}, 8 - parent}, Relation::Equal,
                              layout::kRequiredPriority);
        s.solve();
        benchmark::DoNotOptimize(s.value(top));
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_SolverStack)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
