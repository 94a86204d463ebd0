#pragma once

// Grand Central Dispatch, the part the system uses: the main queue (the main run loop's queue),
// the global concurrent queue (a real pool of worker threads), dispatch_async and dispatch_after.

#include <cstdint>
#include <functional>
#include <memory>

class DispatchQueue {
public:
    virtual ~DispatchQueue() = default;
    virtual void async(std::function<void()> task) = 0;
    virtual bool isMain() const = 0;
};
using dispatch_queue_t = std::shared_ptr<DispatchQueue>;
using dispatch_time_t = std::uint64_t;
using dispatch_block_t = std::function<void()>;

inline constexpr std::uint64_t NSEC_PER_SEC = 1000000000ull;
inline constexpr dispatch_time_t DISPATCH_TIME_NOW = 0;
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER = ~0ull;
inline constexpr long DISPATCH_QUEUE_PRIORITY_DEFAULT = 0;

dispatch_queue_t dispatch_get_main_queue();
dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long flags);
// A time `delta` nanoseconds after `when` (DISPATCH_TIME_NOW: the main run loop's clock now).
dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta);
void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block);

// Waits until every task handed to the global queue so far has finished: tests, and a device
// environment as it ends, so that no worker reaches one of its parts afterwards.
void dispatch_global_queue_drain_for_testing();
