#pragma once

// Fixed 32 KB blocks of memory for the solver's growing arrays, kept by each thread between
// solvers. A solver's arrays run to megabytes, and memory handed back to the system when one
// solver ends must be faulted in page by page by the next, which on a virtual machine costs more
// than the solving itself; a layout pass makes a solver after another on the same thread, so the
// blocks the last one used are the ones the next one takes. The cache keeps at most 32 MiB per
// thread and is freed when the thread ends.
//
//     void* block = SolverBlocks::take();  // kBytes bytes, aligned for any solver element
//     SolverBlocks::give(block);           // kept for the next take() on this thread

#include <cstddef>

namespace layout {

class SolverBlocks {
public:
    static constexpr std::size_t kBytes = 32768;
    static void* take();
    static void give(void* block);
};

} // namespace layout
