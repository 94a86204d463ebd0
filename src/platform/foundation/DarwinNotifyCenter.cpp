#include "platform/foundation/DarwinNotifyCenter.h"

#include "platform/foundation/DeviceEnvironment.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

namespace {

struct Observer {
    std::uint64_t id;
    std::string name;
    DarwinNotifyCenter::Callback callback;
};

struct Registry {
    std::mutex mutex;
    std::vector<Observer> observers;
    std::vector<std::string> posted;
    std::uint64_t next = 1;
};

// The centre of one device environment; an observer's handle reaches its registry weakly, so a
// handle that outlives the environment cancels nothing.
struct CenterState : DeviceEnvironment::Part {
    std::shared_ptr<Registry> registry = std::make_shared<Registry>();
};

const std::shared_ptr<Registry>& registry() {
    return DeviceEnvironment::current().part<CenterState>().registry;
}

} // namespace

void DarwinNotifyCenter::post(const std::string& name) {
    if (name.empty())
        return;
    Registry& r = *registry();
    std::vector<Callback> callbacks;
    {
        std::lock_guard lock(r.mutex);
        r.posted.push_back(name);
        for (const auto& o : r.observers)
            if (o.name == name)
                callbacks.push_back(o.callback);
    }
    // Called outside the lock: an observer may post or register in turn.
    for (const auto& callback : callbacks)
        callback();
}

Subscription DarwinNotifyCenter::addObserver(std::string name, Callback callback) {
    std::shared_ptr<Registry> r = registry();
    std::uint64_t id = 0;
    {
        std::lock_guard lock(r->mutex);
        id = r->next++;
        r->observers.push_back({id, std::move(name), std::move(callback)});
    }
    return Subscription([weak = std::weak_ptr<Registry>(r), id] {
        auto r = weak.lock();
        if (!r)
            return;
        std::lock_guard lock(r->mutex);
        std::erase_if(r->observers, [id](const Observer& o) { return o.id == id; });
    });
}

std::vector<std::string> DarwinNotifyCenter::postedNames() {
    Registry& r = *registry();
    std::lock_guard lock(r.mutex);
    return r.posted;
}

void DarwinNotifyCenter::clearRecords() {
    Registry& r = *registry();
    std::lock_guard lock(r.mutex);
    r.posted.clear();
}
