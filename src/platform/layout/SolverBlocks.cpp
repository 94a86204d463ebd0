#include "platform/layout/SolverBlocks.h"

#include <new>
#include <vector>

namespace layout {

namespace {

// A layout of ten thousand views keeps more than 16 MiB of rows, symbols and columns; with less,
// the blocks past the limit go back to the system and are faulted in again by the next solver.
constexpr std::size_t kKeptBlocks = 1024; // 32 MiB

struct BlockCache {
    std::vector<void*> blocks;
    BlockCache() { blocks.reserve(kKeptBlocks); }
    ~BlockCache();
};

// Set once this thread's cache is destroyed: a solver that outlives it (a thread-local or static
// solver destroyed later at exit) then frees its blocks directly instead of reaching a dead cache.
thread_local bool tBlockCacheGone = false;
// The blocks of solvers that ended on this thread, for the next solver on it.
thread_local BlockCache tBlockCache;

BlockCache::~BlockCache() {
    for (void* block : blocks)
        ::operator delete(block);
    blocks.clear();
    tBlockCacheGone = true;
}

} // namespace

void* SolverBlocks::take() {
    if (!tBlockCacheGone && !tBlockCache.blocks.empty()) {
        void* block = tBlockCache.blocks.back();
        tBlockCache.blocks.pop_back();
        return block;
    }
    return ::operator new(kBytes);
}

void SolverBlocks::give(void* block) {
    if (tBlockCacheGone || tBlockCache.blocks.size() >= kKeptBlocks) {
        ::operator delete(block);
        return;
    }
    tBlockCache.blocks.push_back(block);
}

} // namespace layout
