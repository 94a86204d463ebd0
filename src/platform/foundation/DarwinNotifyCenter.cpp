#include "platform/foundation/DarwinNotifyCenter.h"

#include <mutex>
#include <utility>

namespace {

struct Observer {
    std::uint64_t token;
    std::string name;
    DarwinNotifyCenter::Callback callback;
};

struct Center {
    std::mutex mutex;
    std::vector<Observer> observers;
    std::vector<std::string> posted;
    std::uint64_t next = 1;
};

Center& center() {
    static Center c;
    return c;
}

} // namespace

void DarwinNotifyCenter::post(const std::string& name) {
    if (name.empty())
        return;
    std::vector<Callback> callbacks;
    {
        std::lock_guard lock(center().mutex);
        center().posted.push_back(name);
        for (const auto& o : center().observers)
            if (o.name == name)
                callbacks.push_back(o.callback);
    }
    // Called outside the lock: an observer may post or register in turn.
    for (const auto& callback : callbacks)
        callback();
}

std::uint64_t DarwinNotifyCenter::addObserver(std::string name, Callback callback) {
    std::lock_guard lock(center().mutex);
    std::uint64_t token = center().next++;
    center().observers.push_back({token, std::move(name), std::move(callback)});
    return token;
}

void DarwinNotifyCenter::removeObserver(std::uint64_t token) {
    std::lock_guard lock(center().mutex);
    std::erase_if(center().observers, [token](const Observer& o) { return o.token == token; });
}

std::vector<std::string> DarwinNotifyCenter::postedNames() {
    std::lock_guard lock(center().mutex);
    return center().posted;
}

void DarwinNotifyCenter::clearRecords() {
    std::lock_guard lock(center().mutex);
    center().posted.clear();
}
