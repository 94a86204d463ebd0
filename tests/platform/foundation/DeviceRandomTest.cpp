#include "platform/foundation/DeviceRandom.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

std::vector<std::uint32_t> draws(int n) {
    std::vector<std::uint32_t> out;
    for (int i = 0; i < n; ++i)
        out.push_back(DeviceRandom::arc4random());
    return out;
}

TEST(DeviceRandomTest, ASeedRepeatsItsSequenceAndTheScopeRestores) {
    EXPECT_FALSE(DeviceRandom::currentSeed());
    std::vector<std::uint32_t> first, again, other;
    {
        DeviceRandom::ScopedSeed seed(7);
        first = draws(50);
        DeviceRandom::seed(7);
        again = draws(50);
        DeviceRandom::seed(8);
        other = draws(50);
    }
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    EXPECT_EQ(std::set<std::uint32_t>(first.begin(), first.end()).size(), 50u);
    EXPECT_FALSE(DeviceRandom::currentSeed()); // unseeded again: truly random
}

TEST(DeviceRandomTest, UniformStaysBelowItsBoundInBothModes) {
    for (bool seeded : {false, true}) {
        std::optional<DeviceRandom::ScopedSeed> seed;
        if (seeded)
            seed.emplace(3);
        int ones = 0;
        for (int i = 0; i < 4000; ++i) {
            auto coin = DeviceRandom::arc4random_uniform(2);
            ASSERT_LT(coin, 2u);
            ones += coin;
            ASSERT_LT(DeviceRandom::arc4random_uniform(7), 7u);
        }
        EXPECT_NEAR(ones, 2000, 200);
        EXPECT_EQ(DeviceRandom::arc4random_uniform(0), 0u);
        EXPECT_EQ(DeviceRandom::arc4random_uniform(1), 0u);
    }
}

TEST(DeviceRandomTest, ConcurrentDrawsOfASeededSourceShareOneSequence) {
    DeviceRandom::ScopedSeed seed(11);
    std::vector<std::uint32_t> expected = draws(4000);
    DeviceRandom::seed(11);
    std::vector<std::vector<std::uint32_t>> got(4);
    std::vector<std::thread> threads;
    for (auto& g : got)
        threads.emplace_back([&g] { g = draws(1000); });
    for (auto& t : threads)
        t.join();
    std::multiset<std::uint32_t> all;
    for (auto& g : got)
        all.insert(g.begin(), g.end());
    EXPECT_EQ(all, std::multiset<std::uint32_t>(expected.begin(), expected.end()));
}

} // namespace
