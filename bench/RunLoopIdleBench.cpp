// How much processor time the real-clock main run loop uses while it has nothing to do. An idle
// loop should sleep on its condition variable for the whole run, so its CPU time stays near
// zero; for comparison, the same run with a frame observer wakes 60 times a second.
//
// Each case runs the loop for 2 s of wall time once. The CPU column is the main thread's own
// processor time; the counters repeat it from getrusage with the number of voluntary context
// switches (one per wake-up).

#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSTimer.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

constexpr double kRunSeconds = 2.0;

struct Usage {
    double cpuSeconds;
    long voluntarySwitches;
};

Usage threadUsage() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {seconds(u.ru_utime) + seconds(u.ru_stime), u.ru_nvcsw};
}

void runAndReport(benchmark::State& state, const std::shared_ptr<NSRunLoop>& loop) {
    for (auto _ : state) {
        Usage before = threadUsage();
        loop->runUntil(loop->now() + kRunSeconds);
        Usage after = threadUsage();
        state.counters["cpu_ms"] = (after.cpuSeconds - before.cpuSeconds) * 1e3;
        state.counters["wakeups"] = static_cast<double>(after.voluntarySwitches - before.voluntarySwitches);
    }
}

void BM_IdleRunLoop(benchmark::State& state) {
    auto loop = NSRunLoop::installMain(RealClock::create());
    runAndReport(state, loop);
    NSRunLoop::installMain(nullptr);
}

void BM_RunLoopWithDistantTimer(benchmark::State& state) {
    auto loop = NSRunLoop::installMain(RealClock::create());
    auto timer = NSTimer::scheduledTimerWithTimeInterval(60, false, [](const auto&) {});
    runAndReport(state, loop);
    timer->invalidate();
    NSRunLoop::installMain(nullptr);
}

void BM_RunLoopWithFrameObserver(benchmark::State& state) {
    auto loop = NSRunLoop::installMain(RealClock::create());
    long frames = 0;
    FrameSubscription sub = loop->addFrameObserver([&](double) { ++frames; });
    runAndReport(state, loop);
    state.counters["frames"] = static_cast<double>(frames);
    sub.reset();
    NSRunLoop::installMain(nullptr);
}

} // namespace

BENCHMARK(BM_IdleRunLoop)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunLoopWithDistantTimer)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunLoopWithFrameObserver)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
