#include "platform/foundation/DeviceRandom.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

// The seeded sequence: SplitMix64 over a counter, so a draw is one atomic increment and the n-th
// draw after seeding is the same value whichever thread makes it.
std::atomic<bool> gSeeded{false};
std::atomic<std::uint64_t> gSeed{0};
std::atomic<std::uint64_t> gCounter{0};
std::mutex gSeedMutex; // serialises seeding against itself; draws do not take it

std::uint64_t splitmix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

} // namespace

std::uint32_t DeviceRandom::arc4random() {
    if (!gSeeded.load(std::memory_order_acquire))
        return ::arc4random();
    std::uint64_t n = gCounter.fetch_add(1, std::memory_order_relaxed);
    return static_cast<std::uint32_t>(
        splitmix64(gSeed.load(std::memory_order_relaxed) + n * 0x632BE59BD9B4E019ull) >> 32);
}

std::uint32_t DeviceRandom::arc4random_uniform(std::uint32_t bound) {
    if (bound < 2)
        return 0;
    if (!gSeeded.load(std::memory_order_acquire))
        return ::arc4random_uniform(bound);
    // Values below 2^32 mod bound would be drawn once too often: redraw them.
    std::uint32_t min = static_cast<std::uint32_t>(-bound) % bound;
    for (;;) {
        std::uint32_t r = arc4random();
        if (r >= min)
            return r % bound;
    }
}

void DeviceRandom::seed(std::uint64_t seed) {
    std::lock_guard lock(gSeedMutex);
    gSeed.store(seed, std::memory_order_relaxed);
    gCounter.store(0, std::memory_order_relaxed);
    gSeeded.store(true, std::memory_order_release);
}

void DeviceRandom::unseed() {
    std::lock_guard lock(gSeedMutex);
    gSeeded.store(false, std::memory_order_release);
}

std::optional<std::uint64_t> DeviceRandom::currentSeed() {
    std::lock_guard lock(gSeedMutex);
    if (!gSeeded.load(std::memory_order_acquire))
        return std::nullopt;
    return gSeed.load(std::memory_order_relaxed);
}

DeviceRandom::ScopedSeed::ScopedSeed(std::uint64_t seed) : previous_(currentSeed()) {
    DeviceRandom::seed(seed);
}

DeviceRandom::ScopedSeed::~ScopedSeed() {
    if (previous_)
        DeviceRandom::seed(*previous_);
    else
        DeviceRandom::unseed();
}
