#pragma once

// The catalogue server's module: orbitchat-sim-loopback.so, which holds the loopback HTTPS server
// and its certificate authority (CatalogueServer.h) and is the only part of the program that links
// cpp-httplib and OpenSSL. The program loads it when the device first goes to the network with the
// sample catalogue to serve, not at start: loading those libraries (and OpenSSL's reading of its
// configuration) is a good part of what starting the program would otherwise cost.
//
// It lies beside the window module and is found and loaded the same way (sim/ProgramModule.h).
//
//     auto factory = CatalogueServerModule::load();
//     if (!factory)
//         log("no catalogue server (" + factory.reason() + ")");   // names the file, dlerror's words
//
// Failure: the program cannot tell where it is, or the module cannot be loaded (missing, or
// unloadable: dlerror's words, which name the file) or lacks its factory.

#include "platform/foundation/Result.h"
#include "sim/settings/CatalogueServer.h"

#include <filesystem>

class CatalogueServerModule {
public:
    // The module beside this program; it is loaded once, and later calls find it loaded. A program
    // that links the module's code in (a test program) is answered with that code.
    static Result<CatalogueServerFactory> load();
    // The module that belongs beside the program file `program`.
    static Result<CatalogueServerFactory> load(const std::filesystem::path& program);
    // Where the module of the program file `program` is.
    static std::filesystem::path fileFor(const std::filesystem::path& program);
};
