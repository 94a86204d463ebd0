// The progress HUD's layout as a caller meets it: a full constraint rebuild with a layout pass,
// a change of the label's text, which only moves padding constants and the label's size, and a
// change of the HUD's shape (another indicator), which the layout engine solves from scratch.
// Both run on a HUD with an indicator, a label, a details label and a button, in a 375 x 667
// parent, with the main run loop on a manual clock.

#include "hud/TQProgressHUD.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/layout/NSLayoutEngine.h"
#include "platform/ui/UIVisualEffectView.h"

#include "BenchAnchor.h"

#include <benchmark/benchmark.h>

#include <cairo.h>

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

// The backdrop blur alone, at the size of a wide HUD bezel (a details label that fills the width,
// 335 x 200 points) over a striped screen at 2x, without the cache a visual effect view keeps:
// the cost of a frame whose backdrop changed.
void BM_BackdropBlur(benchmark::State& state) {
    cairo_surface_t* screen = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 750, 1334);
    cairo_t* cr = cairo_create(screen);
    cairo_scale(cr, 2, 2);
    auto ctx = CGContext::create(cr);
    const CGRect bezel = CGRectMake(20, 233, 335, 200);
    for (auto _ : state) {
        // Stripes under the bezel and the margin the blur reads, repainted each time so every
        // blur reads a fresh backdrop.
        cairo_save(cr);
        cairo_rectangle(cr, 0, 213, 375, 240);
        cairo_clip(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0.1, 0.3, 0.8);
        for (int y = 213; y < 453; y += 24)
            cairo_rectangle(cr, 0, y, 375, 12);
        cairo_fill(cr);
        cairo_restore(cr);
        UIDrawBackdropBlur(ctx, bezel, 20);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(screen));
    }
    cairo_destroy(cr);
    cairo_surface_destroy(screen);
}
BENCHMARK(BM_BackdropBlur)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
