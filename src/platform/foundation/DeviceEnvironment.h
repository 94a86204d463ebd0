#pragma once

// The simulated device and its host, as one object: everything the platform layer would otherwise
// keep in process-wide variables (the device root and file manager, the screen, model,
// orientation and tilt, the languages, the interface style, random numbers, the network, the
// notification centres, the log's sinks, the URL and respring handlers, the classes of panes the
// device has, the focused field, the layout engine, the data folder) lives in the environment
// that is current.
//
// Each library keeps its share in a part of its own, a class derived from
// DeviceEnvironment::Part, made on first use in the current environment:
//
//     struct ScreenState : DeviceEnvironment::Part { double scale = 2; };
//     double scale() { return DeviceEnvironment::current().part<ScreenState>().scale; }
//
// so foundation knows nothing of the libraries above it, and a part's state is whatever that
// library needs.
//
// A Scope installs a fresh environment and, when it ends, ends it and puts the previous one back:
// whatever a test or a simulator set (a device root, a language, a handler) is gone, also when a
// test fails half-way. Outside every scope the process's own environment is current; it is never
// destroyed, so nothing of it runs during static teardown.
//
//     {
//         DeviceEnvironment::Scope device;
//         NSFileManager::setDeviceRoot(root);   // this environment's root
//         ...
//     }                                          // the root before the scope is back
//
// Ending an environment goes in a defined order. First every part's shutDown() runs, newest part
// first, while every part is still alive: the network stops its transfers and joins its threads,
// and completions it still holds are dropped then, when whatever they reach (views, notification
// centres) still exists. Then the parts are destroyed, newest first. A part made while another
// shuts down or is destroyed is ended the same way.
//
// Scopes nest and must end in the reverse order of their start, on the thread that started them
// (the main thread). Parts are made under a lock and read without one, so any thread may reach
// the current environment's parts; work on other threads that reaches them must have ended
// before its environment ends (the network's does, in its shutDown).

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

class DeviceEnvironment {
public:
    class Part {
    public:
        virtual ~Part() = default;
        // Stops work on other threads and lets go of callbacks, while the other parts still exist.
        virtual void shutDown() {}
    };

    // The environment in force: the innermost scope's, or the process's own.
    static DeviceEnvironment& current();

    // This environment's part of type T, made (default-constructed) on first use.
    template <class T> T& part() {
        const std::size_t slot = slotOf<T>();
        if (Part* p = slots_[slot].load(std::memory_order_acquire))
            return static_cast<T&>(*p);
        return static_cast<T&>(make(slot, [] { return std::unique_ptr<Part>(new T()); }));
    }
    // The part of type T when it has been made, else null (a reader that must not make one).
    template <class T> T* existingPart() {
        return static_cast<T*>(slots_[slotOf<T>()].load(std::memory_order_acquire));
    }

    // Installs a fresh environment for its lifetime.
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        DeviceEnvironment& environment() { return *environment_; }

    private:
        std::unique_ptr<DeviceEnvironment> environment_;
        DeviceEnvironment* previous_;
    };

    DeviceEnvironment(const DeviceEnvironment&) = delete;
    DeviceEnvironment& operator=(const DeviceEnvironment&) = delete;
    ~DeviceEnvironment();

    // How many part types the process has: a fixed bound, checked when a type first asks.
    static constexpr std::size_t kMaxParts = 64;

private:
    DeviceEnvironment() = default;
    static std::size_t allocateSlot();
    // The one slot of part type T, whichever accessor asks first.
    template <class T> static std::size_t slotOf() {
        static const std::size_t slot = allocateSlot();
        return slot;
    }
    Part& make(std::size_t slot, std::unique_ptr<Part> (*factory)());
    void end();

    std::array<std::atomic<Part*>, kMaxParts> slots_{};
    std::recursive_mutex mutex_;
    struct Made {
        std::size_t slot;
        std::unique_ptr<Part> part;
        bool shut;
    };
    // Parts in the order they were made; owned here, pointed to by slots_.
    std::vector<Made> parts_;
    bool ended_ = false;
};
