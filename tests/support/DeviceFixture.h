#pragma once

// A throw-away simulated device for pane-level tests: a temporary device root installed as the
// file manager's root (and so the application list's), a main run loop on a manual clock, the log
// captured instead of echoed, an offline network (a test that wants one serves it, see
// HTTPSFixture), and helpers that lay out apps, extensions and preference files by device path.
// What it sets lives in the test's device environment (see TestMain.cpp) and goes with it; the
// fixture itself lets the test's fetches finish and takes the main run loop, with the work left
// on it, away when it goes.
//
//     DeviceFixture device;
//     device.addApp("com.apple.MobileSMS", {{"CFBundleDisplayName", "Messages"}});
//     device.addExtension("OCSupportMessages.dylib", {"com.apple.MobileSMS"});

#include "platform/applist/ALApplicationList.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/plist/PropertyList.h"
#include "platform/net/URLLoadingSystem.h"
#include "platform/ui/UIGraphics.h"
#include "platform/ui/UIImage.h"
#include "support/TempDeviceRoot.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

class DeviceFixture : public TempDeviceRoot {
public:
    DeviceFixture() {
        NSFileManager::setDeviceRoot(root_);
        ALApplicationList::sharedApplicationList()->reload();
        loop_ = NSRunLoop::installMain(ManualClock::create());
        NSLogSetEchoToStderr(false);
        logSink_ = NSLogAddSink([this](const std::string& line) {
            std::lock_guard lock(logMutex_);
            log_.push_back(line);
        });
        URLLoadingSystem::DeviceNetwork offline;
        offline.offline = true;
        URLLoadingSystem::shared().setDeviceNetwork(offline);
    }
    ~DeviceFixture() {
        // A fetch the test started completes here, not in the next test's device.
        URLLoadingSystem::shared().setHoldsResponses(false);
        URLLoadingSystem::shared().waitUntilIdle(20);
        loop_->runUntilIdle();
        // Work still waiting on the loop (a delayed alert, a HUD's timer) goes now, in this device.
        if (NSRunLoop::main() == loop_)
            NSRunLoop::installMain(nullptr);
    }
    DeviceFixture(const DeviceFixture&) = delete;
    DeviceFixture& operator=(const DeviceFixture&) = delete;

    const std::shared_ptr<NSRunLoop>& loop() const { return loop_; }

    // An app bundle in /Applications with the given Info.plist entries (plus its identifier).
    std::string addApp(const std::string& bundleId,
                       std::initializer_list<std::pair<std::string, PlistValue>> info,
                       std::string folder = {}) const {
        PlistValue plist = PlistValue::dictionary();
        plist.set("CFBundleIdentifier", PlistValue(bundleId));
        for (const auto& [k, v] : info)
            plist.set(k, v);
        std::string path = "/Applications/" + (folder.empty() ? bundleId : folder) + ".app";
        writePlist(path + "/Info.plist", plist);
        ALApplicationList::sharedApplicationList()->reload();
        return path;
    }

    // An extension library and, unless `bundles` is empty, its filter plist naming the apps.
    void addExtension(const std::string& fileName, std::vector<std::string> bundles) const {
        std::string dir = "/Library/MobileSubstrate/DynamicLibraries/";
        write(dir + fileName, "\x7f"
                              "ELF");
        if (bundles.empty())
            return;
        PlistArray ids;
        for (auto& b : bundles)
            ids.emplace_back(b);
        PlistValue filter = PlistValue::dictionary();
        filter.set("Bundles", PlistValue::array(std::move(ids)));
        PlistValue plist = PlistValue::dictionary();
        plist.set("Filter", filter);
        writePlist(dir + fileName.substr(0, fileName.find('.')) + ".plist", plist);
    }

    // A square PNG of `pixels` pixels a side, for icon files.
    static std::string png(int pixels) {
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(pixels, pixels), false, 1);
        UIRectFill(CGRectMake(0, 0, pixels, pixels));
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        PlistData bytes = UIImagePNGRepresentation(image);
        return std::string(bytes.begin(), bytes.end());
    }

    // For permission tests in a child process (a gtest death test): root ignores mode bits, so the
    // child becomes "nobody", for whom the device's root-owned folders are read-only and a folder
    // with mode 0 is unreadable. Answers false when the privileges could not be dropped.
    bool becomeNobody() const {
        if (geteuid() != 0)
            return true;
        chmod(root_.c_str(), 0755);
        return setgid(65534) == 0 && setuid(65534) == 0;
    }

    std::vector<std::string> log() const {
        std::lock_guard lock(logMutex_);
        return log_;
    }
    void clearLog() {
        std::lock_guard lock(logMutex_);
        log_.clear();
    }
    std::size_t countLog(std::string_view prefix) const {
        auto lines = log();
        return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.compare(0, prefix.size(), prefix) == 0;
        }));
    }

private:
    std::shared_ptr<NSRunLoop> loop_;
    mutable std::mutex logMutex_;
    std::vector<std::string> log_;
    Subscription logSink_;
};
