#pragma once

// The simulated device's screen: a UIWindow showing the Settings app's navigation controller and
// whatever it presents, rendered at the screen's scale. Both back ends (the SDL window and the
// headless recorder) show what it renders; scripts and tests read it through the views dump.
//
// Besides the app it shows what the device does on its own, as the simulator tells of it:
// - a respring: the screen goes black and the Settings app comes back on the pane as the black
//   fades (the app itself restarts in Simulator);
// - a URL that opened: an https page in a browser sheet showing its address, a sileo:// or
//   cydia:// address in the package manager's screen naming the package. Their "Done" button
//   closes them. Nothing opens on the host.
//
//     SimScreen screen(simulator);
//     screen.update();                     // after every change, before rendering
//     CGImageRef frame = screen.render();

#include "platform/dispatch/NSRunLoop.h"
#include "platform/graphics/CGImage.h"
#include "platform/ui/UIRenderer.h"
#include "platform/ui/UIWindow.h"

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <optional>
#include <string>

class Simulator;
class UINavigationController;
class UIButton;

class SimScreen {
public:
    static constexpr double kRespringDarkSeconds = 0.6;

    explicit SimScreen(Simulator& simulator);
    ~SimScreen();
    SimScreen(const SimScreen&) = delete;
    SimScreen& operator=(const SimScreen&) = delete;

    UIWindow& window() { return *window_; }
    const std::shared_ptr<UIWindow>& windowPtr() const { return window_; }

    // Brings the screen in line with the app and the device; answers whether anything changed.
    bool update();
    // Keeps the screen updated on every frame of the main run loop (the headless back end, whose
    // clock only moves when a script waits). The window back end calls update itself.
    void followRunLoopFrames();

    // Whether the screen must be drawn again: something changed since the last render, or moves.
    bool needsRender() const;
    const CGImageRef& render();
    CGFloat scale() const { return renderer_.scale(); }

    // What is shown besides the app: "browser", "packageManager" or nullopt; and its address.
    std::optional<std::string> openedScreenKind() const { return openedKind_; }
    std::string openedAddress() const { return openedAddress_; }
    // Closes the browser sheet or package-manager screen (what its Done button does).
    void closeOpenedScreen();
    bool isRespringing() const;
    // Whether any view on the window follows the device's tilt.
    bool showsMotionEffects();

    // The views dump: every view on the window, front to back order of drawing, with its class,
    // frame in screen points, alpha, hidden flag and text. The parts of a progress HUD also carry
    // "hudPart" (hud, backgroundView, bezelView, indicator, label, detailsLabel, button), and a
    // view with motion effects its "motionOffset": how far the device's tilt displaces it on
    // screen from its frame.
    nlohmann::json viewsDump();
    // The window point at the centre of the row or control titled `text` that a finger could
    // tap, or nullopt.
    std::optional<CGPoint> pointOfRow(const std::string& title);
    // Scrolls the list so the row titled `title` is in view; false when no row has that title.
    bool scrollToRow(const std::string& title);

private:
    void showRespring();
    void showOpenedURL(const std::string& url);
    std::shared_ptr<UIView> makeSheet(const std::string& title, const std::string& heading,
                                      const std::string& body);

    Simulator& simulator_;
    std::shared_ptr<UIWindow> window_;
    UIRenderer renderer_;
    std::weak_ptr<UINavigationController> shownApp_;
    std::shared_ptr<UIView> cover_;
    std::shared_ptr<UIView> opened_;
    std::optional<std::string> openedKind_;
    std::string openedAddress_;
    std::uint64_t renderedGeneration_ = 0;
    bool renderedAnimating_ = false;
    FrameSubscription frameSubscription_;
    Subscription resprings_;
    Subscription openedURLs_;
};
