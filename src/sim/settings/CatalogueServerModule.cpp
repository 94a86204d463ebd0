#include "sim/settings/CatalogueServerModule.h"

#include "sim/ProgramModule.h"

#ifndef ORBITCHAT_SIM_LOOPBACK_MODULE
#error                                                                                                       \
    "ORBITCHAT_SIM_LOOPBACK_MODULE (the module's path relative to the program's folder) is set by src/sim/CMakeLists.txt"
#endif

std::filesystem::path CatalogueServerModule::fileFor(const std::filesystem::path& program) {
    return ProgramModule::fileFor(program, ORBITCHAT_SIM_LOOPBACK_MODULE);
}

Result<CatalogueServerFactory> CatalogueServerModule::load(const std::filesystem::path& program) {
    // OpenSSL keeps state of its own for the process and the server's threads run the module's
    // code, so the module stays loaded for the process's life.
    Result<void*> factory = ProgramModule::factory(fileFor(program), kCatalogueServerFactoryName);
    if (!factory)
        return factory.failure();
    return reinterpret_cast<CatalogueServerFactory>(factory.value());
}

// Defined when the module's code is linked into the running program itself: the test and
// benchmark programs, which run the simulator in their own process, link it so. The program leaves
// it undefined (a weak reference resolves to null) and loads the module.
extern "C" CatalogueServer* orbitchat_sim_start_catalogue_server(const std::string& hostName,
                                                                 const CatalogueServer::Handler& handler,
                                                                 std::string& why) __attribute__((weak));

Result<CatalogueServerFactory> CatalogueServerModule::load() {
    if (&orbitchat_sim_start_catalogue_server)
        return &orbitchat_sim_start_catalogue_server;
    Result<std::filesystem::path> program = ProgramModule::programFile();
    if (!program)
        return program.failure();
    return load(program.value());
}
