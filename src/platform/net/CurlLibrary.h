#pragma once

// libcurl, loaded when the device first goes to the network rather than when the program starts:
// a run that never fetches anything (most runs: open a pane, flip a switch, dump) would otherwise
// pay for libcurl and the two dozen libraries behind it before its first line of work.
//
// Nothing is linked with libcurl. CurlLibrary.cpp defines, under libcurl's own names, every
// function of it that the URL loading system and the URL check call; each loads the library by its
// soname on first use and calls the real one. The prototypes come from libcurl's own header, so a
// forwarder of the wrong type does not compile, and the header's version checks still hold at
// compile time. The first use may come from any thread, several at once: the library is loaded
// exactly once for the process, and the log says once if it could not be.
//
// Callers ask first, and fail their own way when it is missing:
//
//     if (auto loaded = CurlLibrary::load(); !loaded)
//         return fail(loaded.reason());   // "the network library (libcurl.so.4) could not be loaded: ..."
//
// A forwarder called without the library answers what libcurl answers when it cannot start (null
// handles, CURLE_FAILED_INIT and the like); it never crashes and never waits.

#include "platform/foundation/Result.h"

class CurlLibrary {
public:
    // Loads libcurl and initialises it (once; later calls answer at once). Failure: the library is
    // missing, lacks a function that is called, or cannot initialise (dlerror's or libcurl's
    // words, after "the network library (<soname>) could not be loaded: ").
    static Result<> load();
};
