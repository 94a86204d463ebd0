// How long the renderer takes for a settings-like screen: a full 375 × 667 frame at 2x with
// about sixty views (rows with icons, titles and values, separators, a navigation bar), one
// frame where a single small view moves (repainted through its dirty rectangle, and in full
// for comparison), and a full frame under a burst of sixty flipping confetti squares.

#include "platform/ui/UIGraphics.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIRenderer.h"
#include "platform/ui/layers/CALayer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

namespace {
constexpr CGFloat kWidth = 375, kHeight = 667;

std::shared_ptr<UIImage> iconImage() {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(29, 29), false, 2);
    UIColorSetFill(UIColor::colorWithRed(0.2, 0.6, 1, 1));
    UIRectFill(CGRectMake(0, 0, 29, 29));
    UIColorSetFill(UIColor::whiteColor());
    CGContextFillEllipseInRect(UIGraphicsGetCurrentContext(), CGRectMake(7, 7, 15, 15));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

// The screen: a grouped list of eleven rows under a navigation bar, 60 views in all.
std::shared_ptr<UIView> settingsScreen() {
    auto root = UIView::create(CGRectMake(0, 0, kWidth, kHeight));
    root->setBackgroundColor(UIColor::colorWithRed(0.94, 0.94, 0.96, 1));
    auto bar = UIView::create(CGRectMake(0, 0, kWidth, 64));
    bar->setBackgroundColor(UIColor::colorWithWhite(0.97, 0.95));
    auto title = UILabel::create(CGRectMake(0, 20, kWidth, 44));
    title->setText("Orbitchat");
    title->setFont(UIFont::boldSystemFontOfSize(17));
    title->setTextAlignment(NSTextAlignmentCenter);
    bar->addSubview(title);
    auto icon = iconImage();
    CGFloat y = 100;
    for (int i = 0; i < 11; ++i) {
        auto row = UIView::create(CGRectMake(0, y, kWidth, 44));
        row->setBackgroundColor(UIColor::whiteColor());
        auto image = UIImageView::create(CGRectMake(15, 7.5, 29, 29));
        image->setImage(icon);
        image->layer()->setCornerRadius(6);
        image->setClipsToBounds(true);
        auto text = UILabel::create(CGRectMake(59, 0, 200, 44));
        text->setText("Extension " + std::to_string(i + 1));
        auto value = UILabel::create(CGRectMake(kWidth - 115, 0, 100, 44));
        value->setText(i % 2 ? "Enabled" : "Off");
        value->setTextColor(UIColor::grayColor());
        value->setTextAlignment(NSTextAlignmentRight);
        auto separator = UIView::create(CGRectMake(59, 43.5, kWidth - 59, 0.5));
        separator->setBackgroundColor(UIColor::colorWithWhite(0.8, 1));
        row->addSubview(image);
        row->addSubview(text);
        row->addSubview(value);
        row->addSubview(separator);
        root->addSubview(row);
        y += i == 4 ? 80 : 44;
    }
    root->addSubview(bar);
    return root;
}

void BM_FullFrame(benchmark::State& state) {
    auto root = settingsScreen();
    UIRenderer renderer(2);
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.renderFrame(*root).get());
}
BENCHMARK(BM_FullFrame)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

// One 20-point square slides across the list; `dirty` repaints only where it was and is.
void smallViewAnimates(benchmark::State& state, bool dirty) {
    auto root = settingsScreen();
    auto mover = UIView::create(CGRectMake(0, 300, 20, 20));
    mover->setBackgroundColor(UIColor::redColor());
    mover->layer()->setCornerRadius(4);
    root->addSubview(mover);
    UIRenderer renderer(2);
    renderer.renderFrame(*root);
    CGFloat x = 0;
    for (auto _ : state) {
        CGRect before = mover->frame();
        x = std::fmod(x + 3, kWidth - 20);
        mover->setCenter({x + 10, 310});
        if (dirty)
            benchmark::DoNotOptimize(renderer.renderFrame(*root, CGRectUnion(before, mover->frame())).get());
        else
            benchmark::DoNotOptimize(renderer.renderFrame(*root).get());
    }
}
void BM_SmallViewAnimatesDirtyRegion(benchmark::State& state) {
    smallViewAnimates(state, true);
}
void BM_SmallViewAnimatesFullFrame(benchmark::State& state) {
    smallViewAnimates(state, false);
}
BENCHMARK(BM_SmallViewAnimatesDirtyRegion)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SmallViewAnimatesFullFrame)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

// Sixty confetti squares, each flipping about its own axis, over the screen.
void BM_FullFrameWithConfetti(benchmark::State& state) {
    auto root = settingsScreen();
    auto area = UIView::create(root->bounds());
    root->addSubview(area);
    std::vector<std::shared_ptr<UIView>> pieces;
    const UIColor colours[] = {UIColor::redColor(), UIColor::greenColor(), UIColor::blueColor(),
                               UIColor::yellowColor(), UIColor::purpleColor()};
    for (int i = 0; i < 60; ++i) {
        auto piece = UIView::create(CGRectMake(20 + (i * 37) % 330, 40 + (i * 53) % 600, 8, 8));
        piece->setBackgroundColor(colours[i % 5]);
        area->addSubview(piece);
        pieces.push_back(piece);
    }
    UIRenderer renderer(2);
    double t = 0;
    for (auto _ : state) {
        t += 1.0 / 60;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            double angle = std::numbers::pi * std::fmod(t * (1 + i % 5), 1.0);
            pieces[i]->layer()->setTransform(CATransform3DMakeRotation(angle, i % 2 ? 1 : -1, 1, 0));
        }
        benchmark::DoNotOptimize(renderer.renderFrame(*root).get());
    }
}
BENCHMARK(BM_FullFrameWithConfetti)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
} // namespace

BENCHMARK_MAIN();
