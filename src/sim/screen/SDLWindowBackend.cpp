#include "sim/screen/SDLWindowBackend.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/graphics/DrawingLibraries.h"
#include "platform/ui/UIMotionEffect.h"
#include "platform/ui/UIScreen.h"
#include "sim/screen/SimScreen.h"
#include "sim/screen/WindowModule.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

std::unique_ptr<SDLWindowBackend> SDLWindowBackend::open(SimScreen& screen, const std::string& title,
                                                         std::string& why) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland)) {
        why = "no display ($DISPLAY is not set)";
        return nullptr;
    }
    if (auto loaded = DrawingLibraries::load(); !loaded) {
        why = loaded.reason();
        return nullptr;
    }
    auto factory = WindowModule::load();
    if (!factory) {
        why = "the window back end could not be loaded: " + factory.reason();
        return nullptr;
    }
    CGRect bounds = UIScreen::mainScreen()->bounds();
    double scale = UIScreen::mainScreen()->scale();
    HostWindowRequest request{title, static_cast<int>(std::ceil(bounds.width() * scale)),
                              static_cast<int>(std::ceil(bounds.height() * scale))};
    std::unique_ptr<HostWindow> window(factory.value()(request, why));
    if (!window)
        return nullptr;
    std::unique_ptr<SDLWindowBackend> backend(new SDLWindowBackend(screen));
    backend->pixelsPerPoint_ = static_cast<double>(window->width()) / bounds.width();
    backend->window_ = std::move(window);
    return backend;
}

SDLWindowBackend::~SDLWindowBackend() = default;

void SDLWindowBackend::setTitle(const std::string& title) {
    if (window_)
        window_->setTitle(title);
}

void SDLWindowBackend::showFrame(const CGImage& frame, double) {
    cairo_surface_t* s = frame.surface();
    cairo_surface_flush(s);
    if (window_->present(cairo_image_surface_get_data(s), static_cast<int>(frame.width()),
                         static_cast<int>(frame.height()), cairo_image_surface_get_stride(s)))
        ++framesDrawn_;
}

CGPoint SDLWindowBackend::toPoints(int x, int y) const {
    return CGPointMake(x / pixelsPerPoint_, y / pixelsPerPoint_);
}

void SDLWindowBackend::tiltToward(int x, int y) {
    const int w = window_->width(), h = window_->height();
    if (w <= 0 || h <= 0)
        return;
    // Hundredths are finer than a point of a bezel's travel and keep small jitters from redrawing.
    auto level = [](double v) { return std::round(std::clamp(v, -1.0, 1.0) * 100) / 100; };
    tiltX_ = level(2.0 * x / w - 1);
    tiltY_ = level(2.0 * y / h - 1);
    tiltPending_ = true;
}

void SDLWindowBackend::handle(const HostWindowEvent& e) {
    using Kind = HostWindowEvent::Kind;
    UIWindow& window = screen_.window();
    auto loop = NSRunLoop::main();
    if (advance_) {
        if (e.kind == Kind::ButtonUp || e.kind == Kind::Key) {
            advance_();
            return;
        }
        if (e.kind == Kind::ButtonDown || e.kind == Kind::Text)
            return;
    }
    switch (e.kind) {
    case Kind::Quit:
        running_ = false;
        break;
    case Kind::ButtonDown:
        buttonDown_ = true;
        // While the finger is down the run loop tracks: timers of the default mode wait.
        if (loop)
            loop->setCurrentMode(UITrackingRunLoopMode);
        window.touchBegan(toPoints(e.x, e.y));
        break;
    case Kind::Motion:
        tiltToward(e.x, e.y);
        if (buttonDown_)
            window.touchMoved(toPoints(e.x, e.y));
        break;
    case Kind::ButtonUp:
        if (!buttonDown_)
            break;
        buttonDown_ = false;
        window.touchEnded(toPoints(e.x, e.y));
        if (loop)
            loop->setCurrentMode(NSDefaultRunLoopMode);
        break;
    case Kind::Wheel:
        window.scrollWheel(toPoints(e.x, e.y), -e.wheelY * 40);
        break;
    case Kind::Text:
        window.typeText(e.text);
        break;
    case Kind::Key:
        if (e.key == HostWindowEvent::Key::Backspace)
            window.deleteBackward();
        else if (e.key == HostWindowEvent::Key::Return)
            window.returnKey();
        else if (e.key == HostWindowEvent::Key::F5 && burst_)
            burst_();
        break;
    case Kind::Leave:
        tiltX_ = tiltY_ = 0;
        tiltPending_ = true;
        break;
    case Kind::None:
        break;
    }
}

void SDLWindowBackend::run() {
    auto loop = NSRunLoop::main();
    running_ = true;
    while (running_ && loop) {
        // Moving: wake for the next frame. Still: sleep in the event wait; a tenth of a second
        // bounds how late a timer of the device can fire.
        bool moving = screen_.window().isAnimating() || loop->hasFrameObservers();
        HostWindowEvent e;
        if (window_->waitEvent(e, moving ? 1 : 100)) {
            handle(e);
            while (running_ && window_->pollEvent(e))
                handle(e);
        }
        loop->runUntil(loop->now() + (moving ? NSRunLoop::kFrameInterval / 2 : 0));
        screen_.update();
        // The tilt reaches the device only while something follows it, so moving the pointer
        // over a screen without motion effects draws nothing.
        if (tiltPending_ && screen_.showsMotionEffects()) {
            UIDeviceTilt::set(tiltX_, tiltY_);
            tiltPending_ = false;
        }
        if (screen_.needsRender()) {
            const CGImageRef& frame = screen_.render();
            if (frame)
                showFrame(*frame, loop->now());
            if (afterFrame_)
                afterFrame_();
        }
    }
}
