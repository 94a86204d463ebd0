#include "sim/settings/Simulator.h"

#include "loopback/LoopbackHTTPSServer.h"
#include "loopback/ThrowawayCertificateAuthority.h"
#include "platform/applist/ALApplicationList.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/DeviceRandom.h"
#include "platform/foundation/HostFileRead.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/layout/NSLayoutEngine.h"
#include "platform/net/URLLoadingSystem.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefs/PSListController.h"
#include "platform/process/DeviceSpawn.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIDevice.h"
#include "platform/ui/UIScreen.h"
#include "sim/settings/DataFolder.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <iostream>

namespace {

std::string lowercase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

constexpr const char* kCataloguePath = "/chatheadsextensions.json";
// A catalogue file larger than this is not served (the device would refuse it anyway).
constexpr std::size_t kLargestServedCatalogue = 64u << 20;

LoopbackHTTPSServer::Reply serveCatalogue(const std::string& file,
                                          const LoopbackHTTPSServer::Request& request) {
    if (request.path != kCataloguePath)
        return {404, "<html><body><h1>404 Not Found</h1></body></html>", "text/html"};
    std::string body, why;
    if (!readHostFile(file, kLargestServedCatalogue, body, why)) {
        std::cerr << "orbitchat-sim: cannot serve the catalogue " << file << ": " << why << "\n";
        return {500, "<html><body><h1>500 Internal Server Error</h1></body></html>", "text/html"};
    }
    return {200, std::move(body), "application/json"};
}

// `given`, or when it is empty the entry of the program's data folder; empty (with a message)
// when there is no data folder.
std::string orFromDataFolder(const std::string& given, std::string (DataFolder::*entry)() const) {
    if (!given.empty())
        return given;
    Result<DataFolder> data = DataFolder::find();
    if (!data) {
        std::cerr << "orbitchat-sim: " << data.failure().reason << "\n";
        return {};
    }
    return (data.value().*entry)();
}

} // namespace

std::optional<std::string> Simulator::catalogueHostFromURL(const std::string& url, std::string& why) {
    const std::string prefix = "https://";
    if (lowercase(url.substr(0, prefix.size())) != prefix) {
        why = "the catalogue URL must start with https:// (the device loads nothing else)";
        return std::nullopt;
    }
    std::string rest = url.substr(prefix.size());
    std::size_t slash = rest.find('/');
    std::string host = rest.substr(0, slash);
    std::string path = slash == std::string::npos ? "" : rest.substr(slash);
    if (host.empty() || host.find_first_of("@?# ") != std::string::npos) {
        why = "the catalogue URL has no usable host";
        return std::nullopt;
    }
    if (!path.empty() && path != "/" && path != kCataloguePath) {
        why = std::string("the pane asks its server for ") + kCataloguePath +
              ": give https://HOST[:PORT] or https://HOST[:PORT]" + kCataloguePath;
        return std::nullopt;
    }
    return host;
}

bool Simulator::readScreen(const std::string& text, Options& options) {
    double w = 0, h = 0;
    int scale = 0;
    char end = 0;
    constexpr double kLargest = 2048;
    if (std::sscanf(text.c_str(), "%lfx%lf@%d%c", &w, &h, &scale, &end) != 3 || !(w >= 100) || !(h >= 100) ||
        !(w <= kLargest) || !(h <= kLargest) || scale < 1 || scale > 3)
        return false;
    options.screenWidth = w;
    options.screenHeight = h;
    options.screenScale = scale;
    return true;
}

std::optional<UIUserInterfaceStyle> Simulator::appearanceNamed(const std::string& name) {
    if (name == "light")
        return UIUserInterfaceStyleLight;
    if (name == "dark")
        return UIUserInterfaceStyleDark;
    return std::nullopt;
}

Simulator::Simulator(Options options)
    : options_(std::move(options)), alive_(std::make_shared<Simulator*>(this)) {
    UITraitCollection::setCurrentUserInterfaceStyle(options_.appearance);
    if (options_.seed)
        DeviceRandom::seed(*options_.seed);
    logToken_ = NSLogAddSink([this](const std::string& line) {
        std::lock_guard lock(logMutex_);
        log_.push_back(line);
    });
    // The device's views lay out by constraints through its engine.
    NSLayoutEngine::install();
    loop_ = NSRunLoop::installMain(ManualClock::create());

    NSFileManager::setDeviceRoot(options_.deviceRoot);
    ALApplicationList::sharedApplicationList()->reload();
    PSListController::setBundlePath(orFromDataFolder(options_.bundlePath, &DataFolder::resources));
    UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, options_.screenWidth, options_.screenHeight));
    UIScreen::mainScreen()->setScale(options_.screenScale);

    // The device opens web pages in its browser, mail addresses in its mail app, and other URLs in
    // the app that declares the scheme.
    auto app = UIApplication::sharedApplication();
    app->clearOpenedURLs();
    app->setURLHandler([](const NSURL& url) {
        std::string scheme = lowercase(url.scheme());
        if (scheme == "http" || scheme == "https" || scheme == "mailto")
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
    startNetwork();
    // The classes of the panes this device has; other bundles' code is not here.
    PSControllerClasses::registerClass("OrbitchatPreferencesController",
                                       [] { return OrbitchatPreferencesController::create(); });
    NSBundle::setPreferredLanguages({options_.language.empty() ? std::string("en") : options_.language});
    DarwinNotifyCenter::clearRecords();
    UIDevice::setModel(UIDevice::modelFromName(options_.model).value_or(UIDeviceModel::iPhone));
    settings_ = std::make_unique<SettingsApp>();
    settings_->setPreferenceBundle(options_.preferenceBundle);
}

void Simulator::startNetwork() {
    URLLoadingSystem::DeviceNetwork network;
    network.offline = options_.offline;
    OrbitchatEndpoints endpoints;
    if (!options_.catalogueURL.empty()) {
        std::string why;
        if (auto host = catalogueHostFromURL(options_.catalogueURL, why))
            endpoints.catalogueHost = *host;
        else
            std::cerr << "orbitchat-sim: " << why << "\n";
    } else if (!options_.offline) {
        std::string file = orFromDataFolder(options_.catalogueFile, &DataFolder::catalogue);
        std::string why;
        authority_ = ThrowawayCertificateAuthority::create(why);
        if (authority_)
            catalogueServer_ = LoopbackHTTPSServer::start(
                *authority_, endpoints.catalogueHost,
                [file](const LoopbackHTTPSServer::Request& request) { return serveCatalogue(file, request); },
                why);
        if (catalogueServer_) {
            network.trustedCertificatesPEM = {authority_->certificatePEM()};
            network.connectTo = {catalogueServer_->connectToEntry(443)};
        } else {
            std::cerr << "orbitchat-sim: no catalogue server (" << why << ")\n";
        }
    }
    OrbitchatPreferencesController::setEndpoints(endpoints);
    URLLoadingSystem::shared().setHoldsResponses(false);
    URLLoadingSystem::shared().setDeviceNetwork(std::move(network));
}

std::optional<std::string> Simulator::settleNetwork(double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    auto& system = URLLoadingSystem::shared();
    for (;;) {
        double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (!system.waitUntilIdle(std::max(0.0, left))) {
            std::size_t n = system.loadsInFlight();
            return std::to_string(n) + " request(s) still in flight after " +
                   std::to_string(static_cast<int>(seconds)) + " s" +
                   (system.holdsResponses() ? " (responses are held: \"network release\" lets them through)"
                                            : "");
        }
        // The completions have posted their work to the main queue; it may start new requests.
        if (auto loop = NSRunLoop::main())
            loop->runUntilIdle();
        if (system.loadsInFlight() == 0)
            return std::nullopt;
    }
}

int Simulator::catalogueServerPort() const {
    return catalogueServer_ ? catalogueServer_->port() : 0;
}

std::size_t Simulator::catalogueServerRequests() const {
    return catalogueServer_ ? catalogueServer_->requestCount() : 0;
}

Simulator::~Simulator() {
    settings_->close();
    settings_.reset();
    // Requests still running finish now, so no completion of this device runs on the next one.
    URLLoadingSystem::shared().setHoldsResponses(false);
    if (!URLLoadingSystem::shared().waitUntilIdle(5))
        std::cerr << "orbitchat-sim: requests still in flight as the device shuts down\n";
    if (auto loop = NSRunLoop::main())
        loop->runUntilIdle();
    URLLoadingSystem::shared().setDeviceNetwork({});
    OrbitchatPreferencesController::setEndpoints({});
    catalogueServer_.reset();
    DeviceSpawn::setRespringHandler(nullptr);
    UIApplication::sharedApplication()->setURLHandler(nullptr);
    NSLogRemoveSink(logToken_);
    alive_.reset();
}

void Simulator::respring() {
    // A respring restarts SpringBoard, which reads the installed apps afresh.
    ALApplicationList::sharedApplicationList()->reload();
    try {
        settings_->reopen();
    } catch (const SettingsApp::Error& e) {
        settings_->close();
        NSLog("Settings did not come back after the respring: %@", {PlistValue(std::string(e.what()))});
    }
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
