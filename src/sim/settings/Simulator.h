#pragma once

// The simulated device with the Settings app on it, headless: a device folder as its root, a main
// screen, a main run loop on a manual clock (time moves only when a script waits, so every run of
// a script gives the same result), and the Settings app that hosts the pane.
//
// Creating a Simulator installs it as the device the platform layer talks to, in a device
// environment of its own: the file manager's root, the installed-application list, the URL handler
// of UIApplication (the schemes the app bundles declare, and a browser for http and https), the
// respring handler of posix_spawn, and the device's network: by default the maker's catalogue server runs on loopback HTTPS (a
// throwaway certificate authority that only this device trusts, a certificate for the maker's
// host name, and the device connecting that name to the loopback port), so the pane's fetch goes
// through TLS exactly as in the field. The server comes from its own module, loaded with it at the
// device's first load (CatalogueServerModule.h); where the module cannot be loaded the log says
// why and the catalogue fails to load as it would without a server. The simulator is a device environment of its own
// (DeviceEnvironment): its screen, model, languages, interface style (Options::appearance), random
// numbers and the classes of the panes it has are set in it, and all of it goes when the simulator
// does, so the next simulator, or the code around it, sees nothing of this one. Only one Simulator
// exists at a time.
//
// Destroying it ends the device in order: the Settings app closes; requests still in flight stop
// and their completions are dropped while everything they hold can still reach the rest of the
// device; its main run loop goes with the work left on it; then the environment ends, and what
// was in force before the simulator is back.
//
// The catalogue's authority and server are made when the device first loads something, not when
// the simulator starts; until then catalogueServerPort answers 0.
//
// Network work happens in real time while the clock of a script is manual: `settleNetwork` waits
// for it.
//
//     Simulator sim({.deviceRoot = "examples/device"});
//     sim.settings().open();
//     sim.runUntilIdle();

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/Subscription.h"
#include "platform/net/URLLoadingSystem.h"
#include "platform/ui/UITraitCollection.h"
#include "sim/settings/BundleSource.h"
#include "sim/settings/CatalogueServer.h"
#include "sim/settings/SettingsApp.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class ManualClock;
class NSRunLoop;

class Simulator {
public:
    struct Options {
        std::string deviceRoot; // a host folder
        std::string bundlePath; // the pane's resource folder; empty: the data folder's (DataFolder.h)
        // A preference bundle folder of the host that "open" opens as the device would.
        std::string preferenceBundle{};
        // "open" opens the preference bundle from its row in the Settings list, as a tap on it
        // would (Back returns to the list), when the device has an entry for it.
        bool preferenceBundleFromSettings = false;
        // The project bundle that `preferenceBundle` was installed from: a window follows its
        // folders and installs it again when they change (BundleLiveReload).
        std::optional<BundleSource::Bundle> projectBundle{};
        // The device's language ("de", "fr-CA"); empty: English.
        std::string language{};
        // The device's model: "iphone", "ipad" or "ipod" (empty: an iPhone).
        std::string model{};
        double screenWidth = 375;
        double screenHeight = 667;
        double screenScale = 2;
        // The catalogue the loopback server serves (empty: the data folder's sample catalogue).
        std::string catalogueFile{};
        // Fetch the catalogue from this https URL instead, trusting the host's certificates only.
        std::string catalogueURL{};
        // Every request fails as on a device without a connection.
        bool offline = false;
        // The device's interface style: the whole screen is drawn light or dark.
        UIUserInterfaceStyle appearance = UIUserInterfaceStyleLight;
        // Seeds the device's random numbers (none: truly random).
        std::optional<std::uint64_t> seed{};
    };

    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    SettingsApp& settings() { return *settings_; }
    const Options& options() const { return options_; }

    // Runs everything due now on the main run loop.
    void runUntilIdle();
    // Moves the clock forward, running each task at its time.
    void advanceBy(double seconds);

    // Waits (real time, at most `seconds`) until no request is in flight and the main queue has run
    // what their completions posted; fails with a message for the script's author when it does not
    // settle.
    Result<> settleNetwork(double seconds);
    // The loopback catalogue server's port, or 0 when none runs.
    int catalogueServerPort() const;
    std::size_t catalogueServerRequests() const;

    // The catalogue host for an https URL given on the command line: its host and port, when its
    // path is empty, "/" or "/chatheadsextensions.json"; otherwise a failure saying why.
    static Result<std::string> catalogueHostFromURL(const std::string& url);

    // What the device does on its own, told on the main thread until the handle goes: a respring,
    // from the main run loop once the Settings app came back (or failed to), and each URL that
    // opened, in order, as it opens.
    Subscription observeResprings(std::function<void()> observer);
    Subscription observeOpenedURLs(std::function<void(const std::string& url)> observer);

    // Every log line since the simulator started.
    std::vector<std::string> logLines() const;

    // "light" or "dark" as a style; nullopt for any other name.
    static std::optional<UIUserInterfaceStyle> appearanceNamed(const std::string& name);

    // Reads --screen's WIDTHxHEIGHT@SCALE (each side 100 to 2048 points, from a watch to a large
    // tablet, and the scale 1 to 3) into `options`; false, leaving them as they were, otherwise.
    static bool readScreen(const std::string& text, Options& options);

private:
    // Restarts the device's user interface: the Settings app is torn down and opened again on the
    // pane. Preference files and everything else on the device stay.
    void respring();
    void startNetwork();
    // Makes the catalogue's authority and server (on the first load) and answers the network
    // that reaches them.
    URLLoadingSystem::DeviceNetwork startCatalogueServer(const std::string& file, const std::string& host,
                                                         URLLoadingSystem::DeviceNetwork network);
    void openedURL(const std::string& url);

    // The device: everything set below is set in it and goes with it. First, so that it ends last.
    DeviceEnvironment::Scope device_;

    // From the catalogue server's module, loaded with it (CatalogueServerModule.h).
    std::unique_ptr<CatalogueServer> catalogueServer_;

    Options options_;
    std::shared_ptr<NSRunLoop> loop_;
    std::unique_ptr<SettingsApp> settings_;
    mutable std::mutex logMutex_;
    std::vector<std::string> log_;
    template <class... Args> struct ObserverList {
        std::uint64_t next = 1;
        std::vector<std::pair<std::uint64_t, std::function<void(Args...)>>> entries;
    };
    std::shared_ptr<ObserverList<>> respringObservers_ = std::make_shared<ObserverList<>>();
    std::shared_ptr<ObserverList<const std::string&>> urlObservers_ =
        std::make_shared<ObserverList<const std::string&>>();
    // Lets work queued on the run loop (a respring, an opened URL) notice that the simulator has gone.
    std::shared_ptr<Simulator*> alive_;
    Subscription logSink_;
    Subscription respringHandler_;
    Subscription urlHandler_;
};
