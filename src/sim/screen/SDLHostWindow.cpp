// The host window over SDL2: the whole of the window module (orbitchat-sim-window.so). It is the
// only code that links SDL, and it uses nothing of the program but HostWindow.h, so the module
// needs no symbol of the program and loads into it, or into a test, alike.

#include "sim/screen/HostWindow.h"

#include <SDL.h>

#include <algorithm>
#include <memory>
#include <type_traits>

namespace {

class SDLHostWindow final : public HostWindow {
public:
    static SDLHostWindow* open(const HostWindowRequest& request, std::string& why) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            why = std::string("SDL cannot use the display: ") + SDL_GetError();
            return nullptr;
        }
        // Frames are drawn in software; the window shows them through X's shared memory,
        // without an OpenGL context (and its driver threads) behind the window surface.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        std::unique_ptr<SDLHostWindow> window(new SDLHostWindow);
        const int pw = std::max(1, request.pixelWidth), ph = std::max(1, request.pixelHeight);
        // Scaled down, keeping the aspect, when the display is smaller than the device.
        double fit = 1;
        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0)
            fit = std::min({1.0, usable.w * 0.95 / pw, usable.h * 0.95 / ph});
        window->width_ = std::max(1, static_cast<int>(pw * fit));
        window->height_ = std::max(1, static_cast<int>(ph * fit));
        window->window_ = SDL_CreateWindow(request.title.c_str(), SDL_WINDOWPOS_CENTERED,
                                           SDL_WINDOWPOS_CENTERED, window->width_, window->height_, 0);
        if (!window->window_) {
            why = std::string("SDL cannot open a window: ") + SDL_GetError();
            return nullptr;
        }
        window->renderer_ = SDL_CreateRenderer(window->window_, -1, SDL_RENDERER_SOFTWARE);
        if (!window->renderer_) {
            why = std::string("SDL cannot draw in the window: ") + SDL_GetError();
            return nullptr;
        }
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
        SDL_StartTextInput();
        return window.release();
    }

    ~SDLHostWindow() override {
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

    int width() const override { return width_; }
    int height() const override { return height_; }

    bool present(const unsigned char* pixels, int w, int h, int stride) override {
        if (!texture_ || w != textureWidth_ || h != textureHeight_) {
            if (texture_)
                SDL_DestroyTexture(texture_);
            // Cairo's ARGB32 is 32-bit native-endian ARGB, SDL's ARGB8888.
            texture_ =
                SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
            textureWidth_ = w, textureHeight_ = h;
        }
        if (!texture_)
            return false;
        SDL_UpdateTexture(texture_, nullptr, pixels, stride);
        redraw();
        return true;
    }

    void setTitle(const std::string& title) override { SDL_SetWindowTitle(window_, title.c_str()); }

    bool waitEvent(HostWindowEvent& event, int timeoutMilliseconds) override {
        SDL_Event e;
        if (!SDL_WaitEventTimeout(&e, timeoutMilliseconds))
            return false;
        translate(e, event);
        return true;
    }

    bool pollEvent(HostWindowEvent& event) override {
        SDL_Event e;
        if (!SDL_PollEvent(&e))
            return false;
        translate(e, event);
        return true;
    }

private:
    SDLHostWindow() = default;

    void redraw() {
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    }

    void translate(const SDL_Event& e, HostWindowEvent& event) {
        using Kind = HostWindowEvent::Kind;
        event = HostWindowEvent{};
        switch (e.type) {
        case SDL_QUIT:
            event.kind = Kind::Quit;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (e.button.button != SDL_BUTTON_LEFT)
                break;
            event.kind = e.type == SDL_MOUSEBUTTONDOWN ? Kind::ButtonDown : Kind::ButtonUp;
            event.x = e.button.x, event.y = e.button.y;
            break;
        case SDL_MOUSEMOTION:
            event.kind = Kind::Motion;
            event.x = e.motion.x, event.y = e.motion.y;
            break;
        case SDL_MOUSEWHEEL:
            event.kind = Kind::Wheel;
            SDL_GetMouseState(&event.x, &event.y);
            event.wheelY = e.wheel.preciseY;
            break;
        case SDL_TEXTINPUT:
            event.kind = Kind::Text;
            event.text = e.text.text;
            break;
        case SDL_KEYDOWN:
            event.kind = Kind::Key;
            if (e.key.keysym.sym == SDLK_BACKSPACE)
                event.key = HostWindowEvent::Key::Backspace;
            else if (e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER)
                event.key = HostWindowEvent::Key::Return;
            else if (e.key.keysym.sym == SDLK_F5)
                event.key = HostWindowEvent::Key::F5;
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_LEAVE)
                event.kind = Kind::Leave;
            // A window uncovered shows its last frame again at once, without asking the device.
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED && texture_)
                redraw();
            break;
        default:
            break;
        }
    }

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int width_ = 0, height_ = 0;
    int textureWidth_ = 0, textureHeight_ = 0;
};

} // namespace

extern "C" __attribute__((visibility("default"))) HostWindow*
orbitchat_sim_open_host_window(const HostWindowRequest& request, std::string& why) {
    return SDLHostWindow::open(request, why);
}

// The factory's type is the one the program expects (HostWindow.h).
static_assert(std::is_same_v<decltype(&orbitchat_sim_open_host_window), HostWindowFactory>);
