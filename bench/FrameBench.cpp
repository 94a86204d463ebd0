// Time to render frames of the simulated screen at 2x: the whole pane, a frame of an alert fading
// in (the rest of the screen unchanged underneath), and the whole pane under the shown alert,
// whose panel blurs what lies behind it.

#include "platform/dispatch/NSRunLoop.h"
#include "sim/screen/SimScreen.h"
#include "sim/settings/Simulator.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

struct Fixture {
    std::filesystem::path root;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<SimScreen> screen;
    Fixture() {
        root = std::filesystem::temp_directory_path() / "frame-bench-device";
        std::filesystem::remove_all(root);
        std::filesystem::copy(std::filesystem::path(ORBITCHAT_SOURCE_DIR) / "examples/device", root,
                              std::filesystem::copy_options::recursive);
        Simulator::Options options;
        options.deviceRoot = root.string();
        sim = std::make_unique<Simulator>(options);
        screen = std::make_unique<SimScreen>(*sim);
        sim->settings().open();
        sim->runUntilIdle();
        screen->update();
    }
    ~Fixture() {
        screen.reset();
        sim.reset();
        std::filesystem::remove_all(root);
    }
};

void BM_FullFrameOfThePane(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        UIView::markDisplayChanged();
        benchmark::DoNotOptimize(f.screen->render());
    }
}
BENCHMARK(BM_FullFrameOfThePane)->Unit(benchmark::kMillisecond);

void BM_FrameWithAnAlertFadingIn(benchmark::State& state) {
    Fixture f;
    f.sim->settings().tap("Respring");
    f.screen->update();
    f.sim->advanceBy(0.1); // mid-fade: the alert and the dimming are partly transparent
    for (auto _ : state)
        benchmark::DoNotOptimize(f.screen->render());
}
BENCHMARK(BM_FrameWithAnAlertFadingIn)->Unit(benchmark::kMillisecond);

void BM_FullFrameWithTheAlertAtRest(benchmark::State& state) {
    Fixture f;
    f.sim->settings().tap("Respring");
    f.screen->update();
    f.sim->advanceBy(1); // shown: the panel blurs the pane behind it
    for (auto _ : state) {
        UIView::markDisplayChanged();
        benchmark::DoNotOptimize(f.screen->render());
    }
}
BENCHMARK(BM_FullFrameWithTheAlertAtRest)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
