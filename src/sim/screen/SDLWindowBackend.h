#pragma once

// The simulator in a window on the host's display (SDL2, through the window module that is loaded
// when the first window opens: HostWindow.h, WindowModule.h). The window is the device's screen at
// its pixel size, scaled down to fit a smaller display. A click is a tap, a drag pans and
// scrolls (the run loop runs in UITrackingRunLoopMode while the button is down), the wheel
// scrolls the list under the pointer, and the keyboard types into the focused text field.
//
// The pointer's position over the window tilts the device (UIDeviceTilt): the centre is level,
// the edges are tilted fully, and leaving the window levels it again; views with motion effects
// follow.
//
// It draws only when the screen changed (UIView::displayGeneration) or something animates, and
// otherwise sleeps in the window's event wait, so an idle simulator takes next to no CPU.
//
//     std::string why;
//     auto window = SDLWindowBackend::open(screen, why);
//     if (window) window->run(simulator);

#include "sim/screen/HostWindow.h"
#include "sim/screen/ScreenBackend.h"

#include <functional>
#include <memory>
#include <string>

class SimScreen;
class Simulator;

class SDLWindowBackend : public ScreenBackend {
public:
    // Null (with the reason) when there is no display, the window module cannot be loaded ("the
    // window back end could not be loaded: ..."), or SDL cannot open a window.
    static std::unique_ptr<SDLWindowBackend> open(SimScreen& screen, const std::string& title,
                                                  std::string& why);
    ~SDLWindowBackend() override;

    void showFrame(const CGImage& frame, double time) override;

    // Runs the device until the window is closed (or `stop`). The simulator's main run loop
    // must run on a real clock.
    void run();
    void stop() { running_ = false; }

    // The window's title bar: its status line.
    void setTitle(const std::string& title);

    // Window pixels per screen point (the display may have scaled the window down).
    double windowPixelsPerPoint() const { return pixelsPerPoint_; }
    // Called after each drawn frame (the e2e tests' hook: the simulator writes its state).
    void setAfterFrame(std::function<void()> fn) { afterFrame_ = std::move(fn); }
    std::uint64_t framesDrawn() const { return framesDrawn_; }
    // With a handler, a click or a key press calls it instead of reaching the device (the HUD
    // gallery's "next").
    void setAdvanceHandler(std::function<void()> fn) { advance_ = std::move(fn); }
    // Called when the user presses F5 (the window's way to call the pane's `burst`).
    void setBurstHandler(std::function<void()> fn) { burst_ = std::move(fn); }

private:
    explicit SDLWindowBackend(SimScreen& screen) : screen_(screen) {}
    void handle(const HostWindowEvent& event);
    CGPoint toPoints(int x, int y) const;
    void tiltToward(int x, int y);

    SimScreen& screen_;
    std::unique_ptr<HostWindow> window_;
    double pixelsPerPoint_ = 1;
    bool running_ = false;
    bool buttonDown_ = false;
    std::uint64_t framesDrawn_ = 0;
    std::function<void()> afterFrame_;
    std::function<void()> advance_;
    std::function<void()> burst_;
    double tiltX_ = 0, tiltY_ = 0;
    bool tiltPending_ = false;
};
