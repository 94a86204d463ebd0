// The progress HUD's layout as a caller meets it: a full constraint rebuild with a layout pass,
// a change of the label's text, which only moves padding constants and the label's size, and a
// change of the HUD's shape (another indicator), which the layout engine solves from scratch.
// Both run on a HUD with an indicator, a label, a details label and a button, in a 375 x 667
// parent, with the main run loop on a manual clock.

#include "hud/TQProgressHUD.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/layout/NSLayoutEngine.h"

#include "BenchAnchor.h"

#include <benchmark/benchmark.h>

namespace {

struct Fixture {
    std::shared_ptr<NSRunLoop> loop = NSRunLoop::installMain(ManualClock::create(0));
    bool engineInstalled = (NSLayoutEngine::install(), true);
    std::shared_ptr<UIView> parent = UIView::create(CGRectMake(0, 0, 375, 667));
    std::shared_ptr<TQProgressHUD> hud = TQProgressHUD::createWithView(parent);

    Fixture() {
        parent->addSubview(hud);
        hud->label()->setText("Loading");
        hud->detailsLabel()->setText("Fetching the list of extensions");
        hud->button()->setTitle("Cancel", UIControlStateNormal);
        hud->button()->addTarget(hud, "cancel:", UIControlEventTouchUpInside);
        parent->layoutIfNeeded();
    }
};

void BM_HudConstraintRebuild(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        f.hud->setNeedsUpdateConstraints();
        f.parent->layoutIfNeeded();
        benchmark::DoNotOptimize(f.hud->button()->frame());
    }
}
BENCHMARK(BM_HudConstraintRebuild)->Repetitions(5)->ReportAggregatesOnly(true);

// The label empties and fills again: its gap below the indicator and its size change; the
// constraint set stays.
void BM_HudLabelTextChange(benchmark::State& state) {
    Fixture f;
    bool empty = false;
    for (auto _ : state) {
        empty = !empty;
        f.hud->label()->setText(empty ? "" : "Loading");
        f.parent->layoutIfNeeded();
        benchmark::DoNotOptimize(f.hud->button()->frame());
    }
}
BENCHMARK(BM_HudLabelTextChange)->Repetitions(5)->ReportAggregatesOnly(true);

// The HUD changes shape: the indicator is replaced (spinner and bar in turn, a new view each
// time) and the label appears and empties with it, so the constraint set relates other views and
// the layout engine builds its system anew.
void BM_HudShapeChange(benchmark::State& state) {
    Fixture f;
    bool bar = false;
    for (auto _ : state) {
        bar = !bar;
        f.hud->setMode(bar ? TQModeBar : TQModeSpinner);
        f.hud->label()->setText(bar ? "" : "Loading");
        f.parent->layoutIfNeeded();
        benchmark::DoNotOptimize(f.hud->button()->frame());
    }
}
BENCHMARK(BM_HudShapeChange)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
