#pragma once

// The device-wide notification centre (CFNotificationCenterGetDarwinNotifyCenter, notify_post):
// notifications that are only a name, delivered to every observer of that name on the device,
// whichever process posted it. Preference panes post one after writing a setting so that the
// tweak reads its file again.
//
// Here the device is the process: a post calls the observers of the name at once, on the posting
// thread, and is recorded so that the simulator can show what was posted and in which order.
//
//     auto token = DarwinNotifyCenter::addObserver("com.example.prefs/changed", [] { reload(); });
//     DarwinNotifyCenter::post("com.example.prefs/changed");
//     DarwinNotifyCenter::removeObserver(token);

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class DarwinNotifyCenter {
public:
    using Callback = std::function<void()>;

    // Posts `name`: records it and calls its observers. An empty name is not posted.
    static void post(const std::string& name);
    // Registers `callback` for `name`; answers a token for removeObserver.
    static std::uint64_t addObserver(std::string name, Callback callback);
    static void removeObserver(std::uint64_t token);

    // The names posted since the last clearRecords, in order.
    static std::vector<std::string> postedNames();
    static void clearRecords();
};
