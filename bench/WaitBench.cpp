// A long `wait` in a headless script: `hud show`, then a wait of ten simulated hours with the
// spinner turning, then `hud hide` and a second's wait for its fade. Nothing is recorded, so the
// wait should cost what happens in it, not its length.

#include "sim/script/ScriptRunner.h"
#include "sim/settings/Simulator.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>

namespace {

void BM_LongWaitWithHUDShown(benchmark::State& state) {
    auto root = std::filesystem::temp_directory_path() / "wait-bench-device";
    std::filesystem::remove_all(root);
    std::filesystem::copy(std::filesystem::path(ORBITCHAT_SOURCE_DIR) / "examples/device", root,
                          std::filesystem::copy_options::recursive);
    {
        Simulator::Options options;
        options.deviceRoot = root.string();
        options.offline = true;
        Simulator sim(options);
        sim.settings().open();
        sim.runUntilIdle();
        const std::string script =
            "hud show\nwait " + std::to_string(state.range(0)) + "\nhud hide\nwait 1\n";
        for (auto _ : state) {
            std::ostringstream out;
            auto error = ScriptRunner::runScript(sim, script, out);
            if (error)
                state.SkipWithError(error->text().c_str());
        }
    }
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_LongWaitWithHUDShown)
    ->Arg(36000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
