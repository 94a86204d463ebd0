#include "platform/foundation/DeviceEnvironment.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The process's own environment, made on first use and never destroyed: parts that static
// teardown would otherwise reach after what they use has gone stay alive to the end.
DeviceEnvironment* processEnvironment(DeviceEnvironment* (*make)()) {
    static DeviceEnvironment* const environment = make();
    return environment;
}

// The innermost scope's environment; null while none is installed.
std::atomic<DeviceEnvironment*> gCurrent{nullptr};
std::atomic<std::size_t> gNextSlot{0};

} // namespace

DeviceEnvironment& DeviceEnvironment::current() {
    if (DeviceEnvironment* e = gCurrent.load(std::memory_order_acquire))
        return *e;
    return *processEnvironment([] { return new DeviceEnvironment(); });
}

std::size_t DeviceEnvironment::allocateSlot() {
    std::size_t slot = gNextSlot.fetch_add(1);
    if (slot >= kMaxParts) {
        std::fputs("DeviceEnvironment: more part types than kMaxParts\n", stderr);
        std::abort();
    }
    return slot;
}

DeviceEnvironment::Part& DeviceEnvironment::make(std::size_t slot, std::unique_ptr<Part> (*factory)()) {
    std::lock_guard lock(mutex_);
    if (Part* p = slots_[slot].load(std::memory_order_acquire))
        return *p;
    // A part's constructor may ask for other parts: those are made first and so end after it.
    std::unique_ptr<Part> part = factory();
    if (Part* p = slots_[slot].load(std::memory_order_acquire))
        return *p;
    Part& made = *part;
    parts_.push_back(Made{slot, std::move(part), false});
    slots_[slot].store(&made, std::memory_order_release);
    return made;
}

void DeviceEnvironment::end() {
    std::unique_lock lock(mutex_);
    if (ended_)
        return;
    ended_ = true;
    // Every part shuts down while all still exist, newest first; parts made meanwhile shut down too.
    for (std::size_t i = parts_.size(); i-- > 0;) {
        if (parts_[i].shut)
            continue;
        parts_[i].shut = true;
        Part* p = parts_[i].part.get();
        lock.unlock();
        p->shutDown();
        lock.lock();
        i = parts_.size(); // a part made by that shutDown is found on the next pass
    }
    // Then they go, newest first. A destructor may still reach an older part, which is alive; a
    // part made by a destructor is shut down and destroyed in turn.
    while (!parts_.empty()) {
        Made last = std::move(parts_.back());
        parts_.pop_back();
        slots_[last.slot].store(nullptr, std::memory_order_release);
        lock.unlock();
        if (!last.shut)
            last.part->shutDown();
        last.part.reset();
        lock.lock();
    }
}

DeviceEnvironment::~DeviceEnvironment() {
    end();
}

DeviceEnvironment::Scope::Scope()
    : environment_(new DeviceEnvironment()), previous_(gCurrent.load(std::memory_order_acquire)) {
    gCurrent.store(environment_.get(), std::memory_order_release);
}

DeviceEnvironment::Scope::~Scope() {
    // The environment ends while it is still current, so its parts' last work reaches them.
    environment_->end();
    gCurrent.store(previous_, std::memory_order_release);
}
