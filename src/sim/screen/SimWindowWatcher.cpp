#include "sim/screen/SimWindowWatcher.h"

#include "platform/foundation/DarwinNotifyCenter.h"
#include "sim/settings/SettingsApp.h"

SimWindowWatcher::SimWindowWatcher(const std::shared_ptr<NSRunLoop>& loop, SettingsApp& settings,
                                   std::function<void(const std::string&)> setTitle)
    : loop_(loop), settings_(settings), setTitle_(std::move(setTitle)) {
    // The first look starts watching the bundle on screen; changes count from then on.
    next_ = loop->enqueueAt(loop->now(), [this] { step(); });
}

void SimWindowWatcher::step() {
    if (liveReload_.poll(settings_))
        ++reloads_;
    auto posted = DarwinNotifyCenter::postedNames();
    if (posted.size() != notificationsShown_) {
        notificationsShown_ = posted.size();
        if (setTitle_ && !posted.empty())
            setTitle_(std::string(kTitle) + " - posted " + posted.back());
    }
    if (auto loop = loop_.lock())
        next_ = loop->enqueueAt(loop->now() + kInterval, [this] { step(); });
}
