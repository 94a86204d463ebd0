#pragma once

// A window on the host's display, as the window back end (SDLWindowBackend) sees it: a surface
// that shows ARGB pixels, a title, and the user's input as plain events. The one implementation,
// over SDL2, lives in a module of its own (orbitchat-sim-window.so, SDLHostWindow.cpp) that the
// program loads when it opens its first window (WindowModule.h), so a headless run never maps SDL
// and the libraries behind it. Nothing here names an SDL type: the module and the program agree
// on this header alone.
//
//     HostWindowRequest request{"orbitchat-sim", 750, 1334};
//     std::string why;
//     std::unique_ptr<HostWindow> window(factory(request, why));
//     HostWindowEvent event;
//     while (window->waitEvent(event, 100)) ...

#include <memory>
#include <string>

struct HostWindowRequest {
    std::string title;
    // The device's screen in pixels; the window is made smaller, keeping the aspect, when the
    // display cannot hold it.
    int pixelWidth = 0, pixelHeight = 0;
};

// One input event. Buttons other than the left one are not reported.
struct HostWindowEvent {
    enum class Kind {
        None,       // nothing the back end acts on (the window redrew itself, say)
        Quit,       // the window was closed, or the program was asked to end
        ButtonDown, // the left button, at (x, y)
        ButtonUp,   // the left button, at (x, y)
        Motion,     // the pointer moved to (x, y)
        Wheel,      // the wheel turned by `wheelY` (up is positive) with the pointer at (x, y)
        Text,       // `text` (UTF-8) was typed
        Key,        // `key` was pressed
        Leave,      // the pointer left the window
    };
    enum class Key { Other, Backspace, Return, F5 };

    Kind kind = Kind::None;
    int x = 0, y = 0;
    double wheelY = 0;
    std::string text;
    Key key = Key::Other;
};

class HostWindow {
public:
    virtual ~HostWindow() = default;

    // The window's size in its own pixels.
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Shows `height` rows of `width` native-endian ARGB pixels (Cairo's ARGB32), `stride` bytes
    // apart, scaled to the window; false when the window cannot take a frame of that size.
    virtual bool present(const unsigned char* pixels, int width, int height, int stride) = 0;
    virtual void setTitle(const std::string& title) = 0;
    // The next event, waiting at most `timeoutMilliseconds` for one; false when none came.
    virtual bool waitEvent(HostWindowEvent& event, int timeoutMilliseconds) = 0;
    // The next event already queued, without waiting; false when there is none.
    virtual bool pollEvent(HostWindowEvent& event) = 0;
};

// What the module exports under kHostWindowFactoryName: a new window, or null with the reason in
// `why` (the display cannot be used, no window can be made on it).
using HostWindowFactory = HostWindow* (*)(const HostWindowRequest& request, std::string& why);
inline constexpr const char* kHostWindowFactoryName = "orbitchat_sim_open_host_window";
