#pragma once

// What a window does besides drawing, on the main run loop every quarter second: a bundle saved
// on disk is re-read in place, or a project's bundle installed again (BundleLiveReload), and the title shows the latest Darwin
// notification that the device posted ("orbitchat-sim - posted NAME": plain ASCII, which X11 shows
// whatever the locale). It runs as delayed tasks on the loop, so it keeps time with
// the loop's clock: a real one in the window, a manual one in tests.
//
//     SimWindowWatcher watcher(*loop, simulator.settings(),
//                              [&](const std::string& title) { window->setTitle(title); });

#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/Subscription.h"
#include "sim/settings/BundleLiveReload.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class SettingsApp;

class SimWindowWatcher {
public:
    static constexpr double kInterval = 0.25;
    static constexpr const char* kTitle = "orbitchat-sim";

    SimWindowWatcher(const std::shared_ptr<NSRunLoop>& loop, SettingsApp& settings,
                     std::function<void(const std::string&)> setTitle);
    SimWindowWatcher(const SimWindowWatcher&) = delete;
    SimWindowWatcher& operator=(const SimWindowWatcher&) = delete;

    // Watches a project's folders instead of the bundle on screen (BundleLiveReload::followProject).
    void followProject(const BundleSource::Bundle& bundle, const std::string& deviceRoot) {
        liveReload_.followProject(bundle, deviceRoot);
    }

    // How many times a page was re-read (or a project's bundle installed again) after a change on disk.
    std::size_t reloads() const { return reloads_; }

private:
    void step();

    std::weak_ptr<NSRunLoop> loop_;
    SettingsApp& settings_;
    std::function<void(const std::string&)> setTitle_;
    BundleLiveReload liveReload_;
    std::size_t notificationsShown_ = 0;
    std::size_t reloads_ = 0;
    Subscription next_;
};
