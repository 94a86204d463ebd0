#include "platform/foundation/DeviceRandom.h"

#include "platform/foundation/DeviceEnvironment.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

// The seeded sequence of the current device environment: SplitMix64 over a counter, so a draw is
// one atomic increment and the n-th draw after seeding is the same value whichever thread makes
// it.
struct RandomSource : DeviceEnvironment::Part {
    std::atomic<bool> seeded{false};
    std::atomic<std::uint64_t> seed{0};
    std::atomic<std::uint64_t> counter{0};
    std::mutex seedMutex; // serialises seeding against itself; draws do not take it
};

RandomSource& source() {
    return DeviceEnvironment::current().part<RandomSource>();
}

std::uint64_t splitmix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

} // namespace

std::uint32_t DeviceRandom::arc4random() {
    RandomSource& device = source();
    if (!device.seeded.load(std::memory_order_acquire))
        return ::arc4random();
    std::uint64_t n = device.counter.fetch_add(1, std::memory_order_relaxed);
    return static_cast<std::uint32_t>(
        splitmix64(device.seed.load(std::memory_order_relaxed) + n * 0x632BE59BD9B4E019ull) >> 32);
}

std::uint32_t DeviceRandom::arc4random_uniform(std::uint32_t bound) {
    if (bound < 2)
        return 0;
    if (!source().seeded.load(std::memory_order_acquire))
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
    RandomSource& device = source();
    std::lock_guard lock(device.seedMutex);
    device.seed.store(seed, std::memory_order_relaxed);
    device.counter.store(0, std::memory_order_relaxed);
    device.seeded.store(true, std::memory_order_release);
}

void DeviceRandom::unseed() {
    RandomSource& device = source();
    std::lock_guard lock(device.seedMutex);
    device.seeded.store(false, std::memory_order_release);
}

std::optional<std::uint64_t> DeviceRandom::currentSeed() {
    RandomSource& device = source();
    std::lock_guard lock(device.seedMutex);
    if (!device.seeded.load(std::memory_order_acquire))
        return std::nullopt;
    return device.seed.load(std::memory_order_relaxed);
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
