#pragma once

// The device's random numbers: `arc4random` and `arc4random_uniform` as the platform has them.
// Unseeded (the default) they come from the C library's arc4random, truly random. The simulator
// may seed the source (`--seed N`) so that what a script throws comes out the same on every run;
// a seeded source answers a fixed sequence, drawn in order by whichever thread asks next.
// Both modes are safe from any thread: generation workers of the global queue draw at once. The
// source is the current device environment's, so a seed set for one simulated device is gone with
// it.
//
//     std::uint32_t u = DeviceRandom::arc4random();
//     std::uint32_t coin = DeviceRandom::arc4random_uniform(2);   // 0 or 1
//
//     DeviceRandom::ScopedSeed seed(42);   // tests: seeded until the end of the scope

#include <cstdint>
#include <optional>

class DeviceRandom {
public:
    // A uniformly distributed 32-bit value.
    static std::uint32_t arc4random();
    // A uniformly distributed value below `bound`, without modulo bias; 0 for a bound below 2.
    static std::uint32_t arc4random_uniform(std::uint32_t bound);

    // Makes the source answer the sequence of `seed`, from its start.
    static void seed(std::uint64_t seed);
    // Back to true randomness.
    static void unseed();
    static std::optional<std::uint64_t> currentSeed();

    // Seeds for its lifetime and puts the earlier state back afterwards.
    class ScopedSeed {
    public:
        explicit ScopedSeed(std::uint64_t seed);
        ~ScopedSeed();
        ScopedSeed(const ScopedSeed&) = delete;
        ScopedSeed& operator=(const ScopedSeed&) = delete;

    private:
        std::optional<std::uint64_t> previous_;
    };
};
