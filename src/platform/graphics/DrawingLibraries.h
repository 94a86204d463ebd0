#pragma once

// Cairo, Pango (with its Cairo back end, GObject and GLib) and libwebp, loaded when the program
// first draws rather than when it starts: a run that never draws (open a pane, flip a switch, dump
// its state) would otherwise pay for the drawing stack and the dozens of libraries behind it
// before its first line of work.
//
// Nothing is linked with them. DrawingLibraries.cpp defines, under the libraries' own names and
// with the prototypes from their own headers (so a forwarder of the wrong type does not compile),
// every function of theirs that the program and its tests call; each loads the libraries by their
// sonames on first use and calls the real one. The first use may come from any thread, several at
// once: the libraries are loaded exactly once for the process, and the log says once if they could
// not be. Functions the headers make variadic or data the headers export (GLib's UTF-8 step table)
// cannot be forwarded, and are not used: nextUTF8Character below takes the table's place.
//
// What starts drawing asks first, and fails its own way when they are missing:
//
//     if (auto loaded = DrawingLibraries::load(); !loaded)
//         return fail(loaded.reason());   // "the drawing libraries (libcairo.so.2) could not be loaded: ..."
//
// A forwarder called without its library answers what the library answers for an object it could
// not make: null objects, an error status, zero; it never crashes and never waits.

#include "platform/foundation/Result.h"

class DrawingLibraries {
public:
    // Loads Cairo, Pango, PangoCairo, GObject and GLib (once; later calls answer at once).
    // Failure: a library is missing or lacks a function that is called (dlerror's words, after
    // "the drawing libraries (<soname>) could not be loaded: ").
    static Result<> load();

    // Loads libwebp and libwebpmux, which write animated images (once). Failure as for load().
    static Result<> loadAnimation();
};

// The character after the one UTF-8 `p` points at, as GLib's g_utf8_next_char steps: by the
// length its lead byte announces (a byte that leads nothing is a character of its own).
inline const char* nextUTF8Character(const char* p) {
    const auto lead = static_cast<unsigned char>(*p);
    if (lead < 0xC0 || lead >= 0xFE)
        return p + 1;
    if (lead < 0xE0)
        return p + 2;
    if (lead < 0xF0)
        return p + 3;
    if (lead < 0xF8)
        return p + 4;
    if (lead < 0xFC)
        return p + 5;
    return p + 6;
}
