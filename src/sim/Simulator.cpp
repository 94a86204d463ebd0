#include "sim/Simulator.h"

#include "platform/applist/ALApplicationList.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/prefs/PSListController.h"
#include "platform/process/DeviceSpawn.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIScreen.h"

#include <algorithm>
#include <cctype>

namespace {

std::string lowercase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

} // namespace

std::string Simulator::sourceDirectory() {
#ifdef ORBITCHAT_SOURCE_DIR
    return ORBITCHAT_SOURCE_DIR;
#else
    return ".";
#endif
}

Simulator::Simulator(Options options)
    : options_(std::move(options)), alive_(std::make_shared<Simulator*>(this)) {
    logToken_ = NSLogAddSink([this](const std::string& line) {
        std::lock_guard lock(logMutex_);
        log_.push_back(line);
    });
    loop_ = NSRunLoop::installMain(ManualClock::create());

    NSFileManager::setDeviceRoot(options_.deviceRoot);
    ALApplicationList::sharedApplicationList()->reload();
    PSListController::setBundlePath(options_.bundlePath.empty() ? sourceDirectory() + "/resources"
                                                                : options_.bundlePath);
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, options_.screenWidth, options_.screenHeight));
    UIScreen::mainScreen()->setScale(options_.screenScale);

    // The device opens web pages in its browser and other URLs in the app that declares the scheme.
    auto app = UIApplication::sharedApplication();
    app->clearOpenedURLs();
    app->setURLHandler([](const NSURL& url) {
        std::string scheme = lowercase(url.scheme());
        if (scheme == "http" || scheme == "https")
            return true;
        return !scheme.empty() &&
               ALApplicationList::sharedApplicationList()->hasApplicationForURLScheme(scheme);
    });

    DeviceSpawn::clearRecords();
    std::weak_ptr<Simulator*> alive = alive_;
    DeviceSpawn::setRespringHandler([alive] {
        // The spawn returns first; the interface restarts a moment later, on the main run loop.
        if (auto loop = NSRunLoop::main()) {
            loop->enqueue([alive] {
                if (auto self = alive.lock())
                    (*self)->respring();
            });
        }
    });
    settings_ = std::make_unique<SettingsApp>();
}

Simulator::~Simulator() {
    settings_->close();
    settings_.reset();
    DeviceSpawn::setRespringHandler(nullptr);
    UIApplication::sharedApplication()->setURLHandler(nullptr);
    NSLogRemoveSink(logToken_);
    alive_.reset();
}

void Simulator::respring() {
    bool wasOpen = settings_->isOpen();
    settings_->close();
    // A respring restarts SpringBoard, which reads the installed apps afresh.
    ALApplicationList::sharedApplicationList()->reload();
    if (wasOpen)
        settings_->open();
}

void Simulator::runUntilIdle() {
    loop_->runUntilIdle();
}

void Simulator::advanceBy(double seconds) {
    loop_->advanceBy(seconds);
}

std::vector<std::string> Simulator::logLines() const {
    std::lock_guard lock(logMutex_);
    return log_;
}
