#include "sim/settings/Simulator.h"

#include "platform/prefslibs/PrefsLibraries.h"

#include "platform/applist/ALApplicationList.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/foundation/DarwinNotifyCenter.h"
#include "platform/foundation/DeviceRandom.h"
#include "platform/foundation/HostFileRead.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/layout/NSLayoutEngine.h"
#include "platform/net/HTTPSURLCheck.h"
#include "platform/net/URLLoadingSystem.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefs/PSListController.h"
#include "platform/process/DeviceSpawn.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIDevice.h"
#include "platform/ui/UIScreen.h"
#include "sim/settings/CatalogueServerModule.h"
#include "sim/settings/DataFolder.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <iostream>

namespace {

constexpr const char* kCataloguePath = "/chatheadsextensions.json";
// A catalogue file larger than this is not served (the device would refuse it anyway).
constexpr std::size_t kLargestServedCatalogue = 64u << 20;

CatalogueServer::Reply serveCatalogue(const std::string& file, const std::string& path) {
    if (path != kCataloguePath)
        return {404, "<html><body><h1>404 Not Found</h1></body></html>", "text/html"};
    Result<std::string> body = readHostFile(file, kLargestServedCatalogue);
    if (!body) {
        std::cerr << "orbitchat-sim: cannot serve the catalogue " << file << ": " << body.failure().reason
                  << "\n";
        return {500, "<html><body><h1>500 Internal Server Error</h1></body></html>", "text/html"};
    }
    return {200, std::move(body).value(), "application/json"};
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

Result<std::string> Simulator::catalogueHostFromURL(const std::string& url) {
    const std::string prefix = "https://";
    if (lowercased(url.substr(0, prefix.size())) != prefix)
        return Failure{"the catalogue URL must start with https:// (the device loads nothing else)"};
    if (auto valid = checkHTTPSURL(url); !valid)
        return Failure{"the catalogue URL is not one the device can load: " + valid.reason()};
    std::string rest = url.substr(prefix.size());
    std::size_t slash = rest.find('/');
    std::string host = rest.substr(0, slash);
    std::string path = slash == std::string::npos ? "" : rest.substr(slash);
    if (host.empty() || host.find_first_of("@?# ") != std::string::npos)
        return Failure{"the catalogue URL has no usable host"};
    if (!path.empty() && path != "/" && path != kCataloguePath)
        return Failure{std::string("the pane asks its server for ") + kCataloguePath +
                       ": give https://HOST[:PORT] or https://HOST[:PORT]" + kCataloguePath};
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

namespace {

// Adds `observer` to one of the simulator's lists until the handle goes; the handle reaches the
// list weakly, so it may outlive the simulator.
template <class List, class Observer>
Subscription addObserver(const std::shared_ptr<List>& list, Observer observer) {
    const std::uint64_t id = list->next++;
    list->entries.emplace_back(id, std::move(observer));
    return Subscription([weak = std::weak_ptr<List>(list), id] {
        if (auto l = weak.lock())
            std::erase_if(l->entries, [id](const auto& entry) { return entry.first == id; });
    });
}

} // namespace

Simulator::Simulator(Options options)
    : options_(std::move(options)), alive_(std::make_shared<Simulator*>(this)) {
    UITraitCollection::setCurrentUserInterfaceStyle(options_.appearance);
    if (options_.seed)
        DeviceRandom::seed(*options_.seed);
    logSink_ = NSLogAddSink([this](const std::string& line) {
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
    // the app that declares the scheme. What opened shows at once: opening a URL covers the app
    // with another screen and tears nothing down.
    std::weak_ptr<Simulator*> alive = alive_;
    urlHandler_ = UIApplication::sharedApplication()->setURLHandler(
        [](const NSURL& url) {
            std::string scheme = lowercased(url.scheme());
            if (scheme == "http" || scheme == "https" || scheme == "mailto")
                return true;
            return !scheme.empty() &&
                   ALApplicationList::sharedApplicationList()->hasApplicationForURLScheme(scheme);
        },
        [alive](const std::string& url) {
            if (auto self = alive.lock())
                (*self)->openedURL(url);
        });

    respringHandler_ = DeviceSpawn::setRespringHandler([alive] {
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
    // The preference libraries that tweaks depend on, as a phone running them has them.
    PrefsLibraries::install();
    NSBundle::setPreferredLanguages({options_.language.empty() ? std::string("en") : options_.language});
    UIDevice::setModel(UIDevice::modelFromName(options_.model).value_or(UIDeviceModel::iPhone));
    settings_ = std::make_unique<SettingsApp>();
    settings_->setPreferenceBundle(options_.preferenceBundle);
    settings_->setPreferenceBundleFromSettings(options_.preferenceBundleFromSettings);
}

void Simulator::startNetwork() {
    URLLoadingSystem::DeviceNetwork network;
    network.offline = options_.offline;
    OrbitchatEndpoints endpoints;
    if (!options_.catalogueURL.empty()) {
        if (auto host = catalogueHostFromURL(options_.catalogueURL))
            endpoints.catalogueHost = host.value();
        else
            std::cerr << "orbitchat-sim: " << host.failure().reason << "\n";
    } else if (!options_.offline) {
        // The authority, its certificates and the server are made when the device first loads
        // something: most runs never open the catalogue, and making them is a good part of what
        // starting the device would otherwise cost.
        std::string file = orFromDataFolder(options_.catalogueFile, &DataFolder::catalogue);
        OrbitchatPreferencesController::setEndpoints(endpoints);
        URLLoadingSystem::shared().setDeviceNetworkLazily(
            [this, file, host = endpoints.catalogueHost, network] {
                return startCatalogueServer(file, host, network);
            });
        return;
    }
    OrbitchatPreferencesController::setEndpoints(endpoints);
    URLLoadingSystem::shared().setDeviceNetwork(std::move(network));
}

URLLoadingSystem::DeviceNetwork Simulator::startCatalogueServer(const std::string& file,
                                                                const std::string& host,
                                                                URLLoadingSystem::DeviceNetwork network) {
    std::string why;
    if (auto factory = CatalogueServerModule::load())
        catalogueServer_.reset(factory.value()(
            host, [file](const std::string& path) { return serveCatalogue(file, path); }, why));
    else
        why = "its module could not be loaded: " + factory.reason();
    if (catalogueServer_) {
        network.trustedCertificatesPEM = {catalogueServer_->authorityPEM()};
        network.connectTo = {catalogueServer_->connectToEntry(443)};
    } else {
        std::cerr << "orbitchat-sim: no catalogue server (" << why << ")\n";
    }
    return network;
}

Result<> Simulator::settleNetwork(double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    auto& system = URLLoadingSystem::shared();
    for (;;) {
        double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (!system.waitUntilIdle(std::max(0.0, left))) {
            std::size_t n = system.loadsInFlight();
            return Failure{std::to_string(n) + " request(s) still in flight after " +
                           std::to_string(static_cast<int>(seconds)) + " s" +
                           (system.holdsResponses()
                                ? " (responses are held: \"network release\" lets them through)"
                                : "")};
        }
        // The completions have posted their work to the main queue; it may start new requests.
        if (auto loop = NSRunLoop::main())
            loop->runUntilIdle();
        if (system.loadsInFlight() == 0)
            return Result<>::success();
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
    // Requests still running stop now, and their completions go (a catalogue screen with them)
    // while the notification centres and everything else they reach still exist.
    auto& network = URLLoadingSystem::shared();
    if (std::size_t n = network.loadsInFlight())
        std::cerr << "orbitchat-sim: " << n << " request(s) still in flight as the device shuts down\n";
    network.shutDown();
    if (auto loop = NSRunLoop::main())
        loop->runUntilIdle();
    // The device's own run loop goes with it: the work left on it (a delayed alert, a HUD's timer)
    // holds the device's screens. A loop that a window put in its place is the window's to end.
    if (NSRunLoop::main() == loop_)
        NSRunLoop::installMain(nullptr);
    loop_.reset();
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
    // A copy: an observer may drop its own handle, or another's, while it is told.
    auto observers = respringObservers_->entries;
    for (const auto& [id, observer] : observers)
        observer();
}

void Simulator::openedURL(const std::string& url) {
    auto observers = urlObservers_->entries;
    for (const auto& [id, observer] : observers)
        observer(url);
}

Subscription Simulator::observeResprings(std::function<void()> observer) {
    return addObserver(respringObservers_, std::move(observer));
}

Subscription Simulator::observeOpenedURLs(std::function<void(const std::string& url)> observer) {
    return addObserver(urlObservers_, std::move(observer));
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
