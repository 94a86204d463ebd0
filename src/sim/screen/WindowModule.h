#pragma once

// The window module: orbitchat-sim-window.so, which holds the SDL host window (HostWindow.h) and
// is the only part of the program that links SDL. The program loads it when it opens its first
// window, not at start, so a headless run (scripts, tests, lint, shot) maps none of SDL's fifty
// libraries.
//
// The module is found from the program's own file by a relative path fixed when the program is
// built (<bin>/../lib/orbitchat-sim/ beside an install prefix's bin/, and the same place relative
// to the program in the build tree), and loaded as every module of the program is
// (sim/ProgramModule.h).
//
//     auto factory = WindowModule::load();
//     if (!factory)
//         fail("the window back end could not be loaded: " + factory.reason());
//
// Failure: the program cannot tell where it is, or the module cannot be loaded (missing, or
// unloadable: dlerror's words) or lacks its factory.

#include "platform/foundation/Result.h"
#include "sim/screen/HostWindow.h"

#include <filesystem>

class WindowModule {
public:
    // The module beside this program; it is loaded once, and later calls find it loaded.
    static Result<HostWindowFactory> load();
    // The module that belongs beside the program file `program`.
    static Result<HostWindowFactory> load(const std::filesystem::path& program);
    // Where the module of the program file `program` is.
    static std::filesystem::path fileFor(const std::filesystem::path& program);
};
