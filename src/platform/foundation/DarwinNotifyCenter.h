#pragma once

// The device-wide notification centre (CFNotificationCenterGetDarwinNotifyCenter, notify_post):
// notifications that are only a name, delivered to every observer of that name on the device,
// whichever process posted it. Preference panes post one after writing a setting so that the
// tweak reads its file again.
//
// Here the device is the current device environment: a post calls the observers of the name at
// once, on the posting thread, and is recorded so that the simulator can show what was posted and
// in which order. An observer stays registered until its handle goes.
//
//     Subscription reloads = DarwinNotifyCenter::addObserver("com.example.prefs/changed", [] { reload(); });
//     DarwinNotifyCenter::post("com.example.prefs/changed");

#include "platform/foundation/Subscription.h"

#include <functional>
#include <string>
#include <vector>

class DarwinNotifyCenter {
public:
    using Callback = std::function<void()>;

    // Posts `name`: records it and calls its observers. An empty name is not posted.
    static void post(const std::string& name);
    // Calls `callback` for every post of `name` until the handle goes.
    static Subscription addObserver(std::string name, Callback callback);

    // The names posted since the last clearRecords, in order.
    static std::vector<std::string> postedNames();
    static void clearRecords();
};
