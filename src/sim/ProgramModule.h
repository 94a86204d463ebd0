#pragma once

// A module of the program: a shared object installed beside it (lib/orbitchat-sim/ above its bin/
// folder) that holds a part linking libraries which most runs never need, and exports one factory
// function. The window module (screen/WindowModule.h) and the catalogue server's module
// (settings/CatalogueServerModule.h) are found and loaded through here, the same way.
//
// A module is found from the program's own file (/proc/self/exe) by a relative path fixed when the
// program is built: the same path in the build tree as in an install prefix. Neither the current
// folder nor a variable of the environment can point elsewhere, so nothing a simulated device or a
// user's folder holds is ever loaded as code.
//
//     auto factory = ProgramModule::factory(ProgramModule::fileFor(program, "../lib/x.so"), "x_make");
//     if (!factory)
//         fail(factory.reason());   // "<file>: cannot open shared object file: ..."
//
// Failure: the program cannot tell where it is, or the module cannot be loaded (missing, or
// unloadable: dlerror's words, which name the file) or lacks its factory.

#include "platform/foundation/Result.h"

#include <filesystem>

class ProgramModule {
public:
    // The module at `relativePath` from the folder of the program file `program`.
    static std::filesystem::path fileFor(const std::filesystem::path& program, const char* relativePath);

    // The running program's own file.
    static Result<std::filesystem::path> programFile();

    // Loads the module `file` (once for the process; later calls find it loaded) and answers the
    // address of its exported function `symbol`.
    static Result<void*> factory(const std::filesystem::path& file, const char* symbol);
};
