#pragma once

// The storage of one solver's rows. A layout of ten thousand views keeps tens of thousands of
// short rows of two or three terms, and each row's terms used to be a heap allocation of its own
// (and another each time a row grew); here they are carved from 32 KB blocks (SolverBlocks.h) in
// power-of-two sizes and reused through a free list per size, so making, growing and dropping a
// row is a few instructions, and the solver hands every block back at once when it ends. Rows too
// long for a block (a sum over a whole stack of views) go to the heap.
//
//     SolverRowArena arena;
//     std::vector<Cell, SolverRowArena::Allocator<Cell>> cells{SolverRowArena::Allocator<Cell>(&arena)};
//
// The arena must outlive every vector that uses it. A default allocator (no arena) uses the heap,
// so a row made outside the solver's storage still works.

#include "platform/layout/SolverBlocks.h"

#include <bit>
#include <cstddef>
#include <new>
#include <type_traits>
#include <vector>

namespace layout {

class SolverRowArena {
public:
    SolverRowArena() = default;
    ~SolverRowArena() {
        for (void* block : blocks_)
            SolverBlocks::give(block);
    }
    SolverRowArena(const SolverRowArena&) = delete;
    SolverRowArena& operator=(const SolverRowArena&) = delete;

    void* allocate(std::size_t bytes) {
        int c = classOf(bytes);
        if (c >= kClasses)
            return ::operator new(bytes);
        if (FreeSlot* slot = free_[c]) {
            free_[c] = slot->next;
            return slot;
        }
        std::size_t size = sizeOf(c);
        if (left_ < size) {
            // The tail of the last block is too short for this size: keep it for smaller ones.
            for (int t = c - 1; t >= 0 && left_ > 0; --t) {
                while (left_ >= sizeOf(t)) {
                    push(t, next_);
                    next_ += sizeOf(t);
                    left_ -= sizeOf(t);
                }
            }
            next_ = static_cast<char*>(SolverBlocks::take());
            blocks_.push_back(next_);
            left_ = SolverBlocks::kBytes;
        }
        void* memory = next_;
        next_ += size;
        left_ -= size;
        return memory;
    }

    void deallocate(void* memory, std::size_t bytes) {
        int c = classOf(bytes);
        if (c >= kClasses) {
            ::operator delete(memory);
            return;
        }
        push(c, static_cast<char*>(memory));
    }

    template <typename T> struct Allocator {
        using value_type = T;
        using propagate_on_container_move_assignment = std::true_type;
        using propagate_on_container_swap = std::true_type;
        using is_always_equal = std::false_type;

        SolverRowArena* arena = nullptr;

        Allocator() = default;
        explicit Allocator(SolverRowArena* a) : arena(a) {}
        template <typename U> Allocator(const Allocator<U>& other) : arena(other.arena) {}
        T* allocate(std::size_t n) {
            return static_cast<T*>(arena ? arena->allocate(n * sizeof(T)) : ::operator new(n * sizeof(T)));
        }
        void deallocate(T* p, std::size_t n) {
            if (arena)
                arena->deallocate(p, n * sizeof(T));
            else
                ::operator delete(p);
        }
        template <typename U> bool operator==(const Allocator<U>& other) const {
            return arena == other.arena;
        }
    };

private:
    struct FreeSlot {
        FreeSlot* next;
    };
    static constexpr int kSmallest = 5; // 32 bytes: two terms
    static constexpr int kClasses = 10; // up to 16 KB, half a block

    static int classOf(std::size_t bytes) {
        if (bytes <= (std::size_t{1} << kSmallest))
            return 0;
        return static_cast<int>(std::bit_width(bytes - 1)) - kSmallest;
    }
    static std::size_t sizeOf(int c) { return std::size_t{1} << (kSmallest + c); }
    void push(int c, char* memory) {
        auto* slot = ::new (static_cast<void*>(memory)) FreeSlot{free_[c]};
        free_[c] = slot;
    }

    FreeSlot* free_[kClasses] = {};
    std::vector<void*> blocks_;
    char* next_ = nullptr;
    std::size_t left_ = 0;
};

} // namespace layout
