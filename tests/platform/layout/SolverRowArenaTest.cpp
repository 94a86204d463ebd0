#include "platform/layout/SolverRowArena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

using layout::SolverRowArena;

namespace {

using Cells = std::vector<std::pair<int, double>, SolverRowArena::Allocator<std::pair<int, double>>>;

} // namespace

TEST(SolverRowArenaTest, RowsOfEverySizeKeepTheirOwnTermsWhileOthersGrowAndGo) {
    // Rows grow one term at a time through every size, some far past a block, while others are
    // dropped and their slots handed out again: a slot given to two rows at once, or a block's
    // tail cut wrongly, shows up as a term that another row wrote.
    SolverRowArena arena;
    std::mt19937 rng(7);
    std::vector<Cells> rows;
    for (int i = 0; i < 300; ++i)
        rows.emplace_back(Cells::allocator_type(&arena));
    auto expectIntact = [&] {
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t t = 0; t < rows[r].size(); ++t) {
                ASSERT_EQ(rows[r][t].first, static_cast<int>(r)) << r << " " << t;
                ASSERT_EQ(rows[r][t].second, static_cast<double>(t)) << r << " " << t;
            }
        }
    };
    for (int step = 0; step < 40000; ++step) {
        auto r = rng() % rows.size();
        if (rng() % 50 == 0) {
            rows[r] = Cells(Cells::allocator_type(&arena)); // dropped: its slot goes back
            continue;
        }
        int grow = r % 37 == 0 ? 200 : 1; // a few rows run far past half a block
        for (int g = 0; g < grow; ++g)
            rows[r].push_back({static_cast<int>(r), static_cast<double>(rows[r].size())});
    }
    expectIntact();
    // Moving and swapping rows carries the arena along, so each is freed where it was made.
    std::swap(rows[0], rows[1]);
    std::swap(rows[0], rows[1]);
    Cells heap; // no arena: the heap
    heap.push_back({1, 0});
    heap.swap(rows[2]);
    heap.swap(rows[2]);
    expectIntact();
}

TEST(SolverRowArenaTest, AFreedSlotIsTheNextOfItsSize) {
    SolverRowArena arena;
    void* a = arena.allocate(48);
    void* b = arena.allocate(64);
    EXPECT_NE(a, b);
    arena.deallocate(a, 48);
    EXPECT_EQ(arena.allocate(40), a); // 40 and 48 bytes share the 64-byte size
    void* big = arena.allocate(1 << 20);
    arena.deallocate(big, 1 << 20);
    arena.deallocate(b, 64);
}
