#pragma once

// libarchive, loaded when the first package is read rather than when the program starts: only
// `install`, `--package` and a package given as a bundle read archives, and libarchive brings
// eight libraries (ICU's among them) whose loading a headless run would otherwise pay for.
//
// The program is not linked with libarchive. ArchiveLibrary.cpp defines the library's functions
// that the package reader calls (BundleSource.cpp), each of which loads the library by its soname
// on first use and calls the real one; the prototypes come from libarchive's own header, so a
// forwarder of the wrong type does not compile. When the library cannot be loaded, a function
// fails as the library does for a reader it cannot make (a null archive, ARCHIVE_FATAL).
//
//     if (auto loaded = ArchiveLibrary::load(); !loaded)
//         return fail(loaded.reason());   // "the package reader could not be loaded: ..."

#include "platform/foundation/Result.h"

class ArchiveLibrary {
public:
    // Loads libarchive (once; later calls answer at once). Failure: the library is missing or
    // lacks a function the reader calls (dlerror's words, after "the package reader could not be
    // loaded: ").
    static Result<> load();
};
