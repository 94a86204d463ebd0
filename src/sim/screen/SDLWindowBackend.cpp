#include "sim/screen/SDLWindowBackend.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/UIMotionEffect.h"
#include "platform/ui/UIScreen.h"
#include "sim/screen/SimScreen.h"

#include <SDL.h>
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
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        why = std::string("SDL cannot use the display: ") + SDL_GetError();
        return nullptr;
    }
    // Frames are drawn in software; the window shows them through X's shared memory, without an
    // OpenGL context (and its driver threads) behind the window surface.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    std::unique_ptr<SDLWindowBackend> backend(new SDLWindowBackend(screen));
    CGRect bounds = UIScreen::mainScreen()->bounds();
    double scale = UIScreen::mainScreen()->scale();
    int pw = static_cast<int>(std::ceil(bounds.width() * scale)),
        ph = static_cast<int>(std::ceil(bounds.height() * scale));
    // Scaled down, keeping the aspect, when the display is smaller than the device.
    double fit = 1;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0)
        fit = std::min({1.0, usable.w * 0.95 / pw, usable.h * 0.95 / ph});
    int ww = std::max(1, static_cast<int>(pw * fit)), wh = std::max(1, static_cast<int>(ph * fit));
    backend->pixelsPerPoint_ = static_cast<double>(ww) / bounds.width();
    backend->window_ =
        SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, ww, wh, 0);
    if (!backend->window_) {
        why = std::string("SDL cannot open a window: ") + SDL_GetError();
        return nullptr;
    }
    backend->renderer_ = SDL_CreateRenderer(backend->window_, -1, SDL_RENDERER_SOFTWARE);
    if (!backend->renderer_) {
        why = std::string("SDL cannot draw in the window: ") + SDL_GetError();
        return nullptr;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    SDL_StartTextInput();
    return backend;
}

void SDLWindowBackend::setTitle(const std::string& title) {
    if (window_)
        SDL_SetWindowTitle(window_, title.c_str());
}

SDLWindowBackend::~SDLWindowBackend() {
    if (texture_)
        SDL_DestroyTexture(texture_);
    if (renderer_)
        SDL_DestroyRenderer(renderer_);
    if (window_)
        SDL_DestroyWindow(window_);
    // The window is the last of SDL the program uses: SDL_Quit also closes what the video
    // subsystem opened behind it (its D-Bus connection among them).
    SDL_Quit();
}

void SDLWindowBackend::showFrame(const CGImage& frame, double) {
    int w = static_cast<int>(frame.width()), h = static_cast<int>(frame.height());
    if (!texture_ || w != textureWidth_ || h != textureHeight_) {
        if (texture_)
            SDL_DestroyTexture(texture_);
        // Cairo's ARGB32 is 32-bit native-endian ARGB, SDL's ARGB8888.
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
        textureWidth_ = w, textureHeight_ = h;
    }
    if (!texture_)
        return;
    cairo_surface_t* s = frame.surface();
    cairo_surface_flush(s);
    SDL_UpdateTexture(texture_, nullptr, cairo_image_surface_get_data(s), cairo_image_surface_get_stride(s));
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    ++framesDrawn_;
}

CGPoint SDLWindowBackend::toPoints(int x, int y) const {
    return CGPointMake(x / pixelsPerPoint_, y / pixelsPerPoint_);
}

void SDLWindowBackend::tiltToward(int x, int y) {
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    if (w <= 0 || h <= 0)
        return;
    // Hundredths are finer than a point of a bezel's travel and keep small jitters from redrawing.
    auto level = [](double v) { return std::round(std::clamp(v, -1.0, 1.0) * 100) / 100; };
    tiltX_ = level(2.0 * x / w - 1);
    tiltY_ = level(2.0 * y / h - 1);
    tiltPending_ = true;
}

void SDLWindowBackend::handle(const SDL_Event& e) {
    UIWindow& window = screen_.window();
    auto loop = NSRunLoop::main();
    if (advance_) {
        bool click = e.type == SDL_MOUSEBUTTONUP && e.button.button == SDL_BUTTON_LEFT;
        if (click || e.type == SDL_KEYDOWN) {
            advance_();
            return;
        }
        if (e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_TEXTINPUT)
            return;
    }
    switch (e.type) {
    case SDL_QUIT:
        running_ = false;
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.button != SDL_BUTTON_LEFT)
            break;
        buttonDown_ = true;
        // While the finger is down the run loop tracks: timers of the default mode wait.
        if (loop)
            loop->setCurrentMode(UITrackingRunLoopMode);
        window.touchBegan(toPoints(e.button.x, e.button.y));
        break;
    case SDL_MOUSEMOTION:
        tiltToward(e.motion.x, e.motion.y);
        if (buttonDown_)
            window.touchMoved(toPoints(e.motion.x, e.motion.y));
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.button != SDL_BUTTON_LEFT || !buttonDown_)
            break;
        buttonDown_ = false;
        window.touchEnded(toPoints(e.button.x, e.button.y));
        if (loop)
            loop->setCurrentMode(NSDefaultRunLoopMode);
        break;
    case SDL_MOUSEWHEEL: {
        int mx = 0, my = 0;
        SDL_GetMouseState(&mx, &my);
        window.scrollWheel(toPoints(mx, my), -e.wheel.preciseY * 40);
        break;
    }
    case SDL_TEXTINPUT:
        window.typeText(e.text.text);
        break;
    case SDL_KEYDOWN:
        if (e.key.keysym.sym == SDLK_BACKSPACE)
            window.deleteBackward();
        else if (e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER)
            window.returnKey();
        else if (e.key.keysym.sym == SDLK_F5 && burst_)
            burst_();
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_LEAVE) {
            tiltX_ = tiltY_ = 0;
            tiltPending_ = true;
        }
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED && texture_) {
            SDL_RenderClear(renderer_);
            SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
            SDL_RenderPresent(renderer_);
        }
        break;
    default:
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
        SDL_Event e;
        if (SDL_WaitEventTimeout(&e, moving ? 1 : 100)) {
            handle(e);
            while (running_ && SDL_PollEvent(&e))
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
