// Text that no line can hold: a 64k-character word as a wrapping footer label (measured to fit a
// 343-point column, then drawn on a 375 x 667 screen at 2x) and as the details text of a progress
// HUD (laid out by the HUD's constraints, then drawn). Each iteration uses a different text, so
// no laid-out string is reused from the text engine's cache.

#include "BenchAnchor.h"
#include "hud/TQProgressHUD.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/layout/NSLayoutEngine.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIRenderer.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr std::size_t kLength = 64 * 1024;

// One word of `kLength` letters, starting with a number that no earlier call used.
std::string unbrokenWord() {
    static std::size_t calls = 0;
    std::string text = std::to_string(++calls);
    while (text.size() < kLength)
        text += static_cast<char>('a' + text.size() % 26);
    return text;
}

void BM_UnbrokenFooterLabel(benchmark::State& state) {
    auto loop = NSRunLoop::installMain(ManualClock::create(0));
    NSLayoutEngine::install();
    auto screen = UIView::create(CGRectMake(0, 0, 375, 667));
    screen->setBackgroundColor(UIColor::whiteColor());
    auto footer = UILabel::create();
    footer->setFont(UIFont::systemFontOfSize(13));
    footer->setNumberOfLines(0);
    screen->addSubview(footer);
    UIRenderer renderer(2);
    for (auto _ : state) {
        footer->setText(unbrokenWord());
        CGSize size = footer->sizeThatFits(CGSizeMake(343, 0));
        footer->setFrame(CGRectMake(16, 100, 343, size.height));
        benchmark::DoNotOptimize(renderer.renderFrame(*screen).get());
    }
    NSRunLoop::installMain(nullptr);
}
BENCHMARK(BM_UnbrokenFooterLabel)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_UnbrokenHUDDetails(benchmark::State& state) {
    auto loop = NSRunLoop::installMain(ManualClock::create(0));
    NSLayoutEngine::install();
    auto screen = UIView::create(CGRectMake(0, 0, 375, 667));
    screen->setBackgroundColor(UIColor::whiteColor());
    auto hud = TQProgressHUD::createWithView(screen);
    screen->addSubview(hud);
    hud->label()->setText("Loading");
    hud->showAnimated(false);
    UIRenderer renderer(2);
    for (auto _ : state) {
        hud->detailsLabel()->setText(unbrokenWord());
        screen->layoutIfNeeded();
        benchmark::DoNotOptimize(renderer.renderFrame(*screen).get());
    }
    NSRunLoop::installMain(nullptr);
}
BENCHMARK(BM_UnbrokenHUDDetails)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
