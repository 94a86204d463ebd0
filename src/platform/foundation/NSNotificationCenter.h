#pragma once

// A notification centre: observers register for a name (or every name) and a sender (or any
// sender), and each post delivers the notification synchronously, on the posting thread, to every
// matching observer in registration order.
//
// Observers are held weakly: an observer that goes away is never called again and its
// registrations are dropped on the next post, so a forgotten `removeObserver` cannot call into a
// destroyed object. The sender filter is weak too. A block registration lives until its token is
// passed to `removeObserver`.
//
//     center->addObserver(hud, "statusBarOrientationDidChange:",
//                         UIApplicationDidChangeStatusBarOrientationNotification, nullptr);
//     center->postNotificationName(UIApplicationDidChangeStatusBarOrientationNotification, app);
//     center->removeObserver(hud.get());
//
// Registering, removing and posting are safe from any thread, also from inside an observer's
// callback (an observer removed during a post is not called afterwards in that post).

#include "platform/foundation/NSNotification.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Subscription.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class NSNotificationCenter : public std::enable_shared_from_this<NSNotificationCenter> {
    struct Private {};

public:
    using Block = std::function<void(const std::shared_ptr<NSNotification>& notification)>;

    // The token of a block registration: an object whose identity names the registration.
    class ObserverToken : public NSObject {
    public:
        std::string className() const override { return "__NSObserver"; }
    };

    explicit NSNotificationCenter(Private) {}
    NSNotificationCenter(const NSNotificationCenter&) = delete;
    NSNotificationCenter& operator=(const NSNotificationCenter&) = delete;

    // The current device environment's centre.
    static std::shared_ptr<NSNotificationCenter> defaultCenter();
    // A separate centre (tests).
    static std::shared_ptr<NSNotificationCenter> create() {
        return std::make_shared<NSNotificationCenter>(Private{});
    }

    // Calls `selector` on `observer` with the notification (an Object value) for every post of
    // `name` (none: any name) by `object` (null: any sender).
    void addObserver(const std::shared_ptr<NSObject>& observer, SEL selector,
                     std::optional<NSNotificationName> name, const std::shared_ptr<NSObject>& object);
    // Calls `block` synchronously for matching posts. Returns the token to remove the registration
    // with. (A block that must run elsewhere hands itself to a queue: this layer sits below dispatch.)
    std::shared_ptr<NSObject> addObserverForName(std::optional<NSNotificationName> name,
                                                 const std::shared_ptr<NSObject>& object, Block block);
    // The same registration, held by its handle: it ends when the handle goes (or the centre does).
    Subscription observe(std::optional<NSNotificationName> name, const std::shared_ptr<NSObject>& object,
                         Block block);

    // Removes every registration of `observer` (an observer or a token).
    void removeObserver(const NSObject* observer);
    // Removes the registrations of `observer` for `name` (none: all names) and `object` (null: all).
    void removeObserver(const NSObject* observer, std::optional<NSNotificationName> name,
                        const NSObject* object);

    void postNotification(const std::shared_ptr<NSNotification>& notification);
    void postNotificationName(const NSNotificationName& name,
                              const std::shared_ptr<NSObject>& object = nullptr, PlistValue userInfo = {});

    // How many registrations are live (tests).
    std::size_t observerCount() const;

private:
    struct Registration {
        std::uint64_t id;
        const NSObject* observerKey;
        std::weak_ptr<NSObject> observer;
        SEL selector;
        std::optional<NSNotificationName> name;
        bool anyObject;
        const NSObject* objectKey;
        std::weak_ptr<NSObject> object;
        Block block;
        std::shared_ptr<NSObject> token; // block registrations hold their own token
    };

    bool isLive(std::uint64_t id) const;

    mutable std::mutex mutex_;
    std::vector<Registration> registrations_;
    std::uint64_t nextId_ = 1;
};
