#include "platform/foundation/NSNotificationCenter.h"

#include "platform/foundation/DeviceEnvironment.h"

#include <algorithm>

namespace {

struct DefaultCenter : DeviceEnvironment::Part {
    std::shared_ptr<NSNotificationCenter> center = NSNotificationCenter::create();
};

} // namespace

std::shared_ptr<NSNotificationCenter> NSNotificationCenter::defaultCenter() {
    return DeviceEnvironment::current().part<DefaultCenter>().center;
}

void NSNotificationCenter::addObserver(const std::shared_ptr<NSObject>& observer, SEL selector,
                                       std::optional<NSNotificationName> name,
                                       const std::shared_ptr<NSObject>& object) {
    if (!observer)
        return;
    std::lock_guard lock(mutex_);
    registrations_.push_back(Registration{nextId_++, observer.get(), observer, std::move(selector),
                                          std::move(name), !object, object.get(), object, nullptr, nullptr});
}

std::shared_ptr<NSObject> NSNotificationCenter::addObserverForName(std::optional<NSNotificationName> name,
                                                                   const std::shared_ptr<NSObject>& object,
                                                                   Block block) {
    auto token = std::make_shared<ObserverToken>();
    std::lock_guard lock(mutex_);
    registrations_.push_back(Registration{nextId_++,
                                          token.get(),
                                          token,
                                          {},
                                          std::move(name),
                                          !object,
                                          object.get(),
                                          object,
                                          std::move(block),
                                          token});
    return token;
}

void NSNotificationCenter::removeObserver(const NSObject* observer) {
    std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [&](const Registration& r) { return r.observerKey == observer; });
}

void NSNotificationCenter::removeObserver(const NSObject* observer, std::optional<NSNotificationName> name,
                                          const NSObject* object) {
    std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [&](const Registration& r) {
        return r.observerKey == observer && (!name || r.name == name) && (!object || r.objectKey == object);
    });
}

bool NSNotificationCenter::isLive(std::uint64_t id) const {
    std::lock_guard lock(mutex_);
    return std::any_of(registrations_.begin(), registrations_.end(),
                       [&](const Registration& r) { return r.id == id; });
}

void NSNotificationCenter::postNotificationName(const NSNotificationName& name,
                                                const std::shared_ptr<NSObject>& object,
                                                PlistValue userInfo) {
    postNotification(NSNotification::notificationWithName(name, object, std::move(userInfo)));
}

void NSNotificationCenter::postNotification(const std::shared_ptr<NSNotification>& notification) {
    if (!notification)
        return;
    // Deliver from a snapshot taken under the lock, so observers may register and remove (also
    // themselves) while the post runs without the centre's lock being held across their code.
    struct Delivery {
        std::uint64_t id;
        std::shared_ptr<NSObject> observer;
        SEL selector;
        Block block;
    };
    std::vector<Delivery> deliveries;
    {
        std::lock_guard lock(mutex_);
        // Registrations whose observer or sender filter has gone can never match again.
        std::erase_if(registrations_, [](const Registration& r) {
            return r.observer.expired() || (!r.anyObject && r.object.expired());
        });
        for (const auto& r : registrations_) {
            if (r.name && *r.name != notification->name())
                continue;
            if (!r.anyObject && r.objectKey != notification->object().get())
                continue;
            deliveries.push_back(Delivery{r.id, r.observer.lock(), r.selector, r.block});
        }
    }
    for (auto& d : deliveries) {
        if (!d.observer || !isLive(d.id))
            continue;
        if (d.block) {
            d.block(notification);
        } else {
            d.observer->performSelector(d.selector,
                                        {PlistValue(std::static_pointer_cast<NSObject>(notification))});
        }
    }
}

std::size_t NSNotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(registrations_.begin(), registrations_.end(), [](const Registration& r) {
            return !r.observer.expired() && (r.anyObject || !r.object.expired());
        }));
}

Subscription NSNotificationCenter::observe(std::optional<NSNotificationName> name,
                                           const std::shared_ptr<NSObject>& object, Block block) {
    auto token = addObserverForName(std::move(name), object, std::move(block));
    return Subscription([center = weak_from_this(), token] {
        if (auto c = center.lock())
            c->removeObserver(token.get());
    });
}
