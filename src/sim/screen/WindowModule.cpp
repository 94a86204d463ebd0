#include "sim/screen/WindowModule.h"

#include "sim/ProgramModule.h"

#ifndef ORBITCHAT_SIM_WINDOW_MODULE
#error                                                                                                       \
    "ORBITCHAT_SIM_WINDOW_MODULE (the module's path relative to the program's folder) is set by src/sim/CMakeLists.txt"
#endif

std::filesystem::path WindowModule::fileFor(const std::filesystem::path& program) {
    return ProgramModule::fileFor(program, ORBITCHAT_SIM_WINDOW_MODULE);
}

Result<HostWindowFactory> WindowModule::load(const std::filesystem::path& program) {
    // SDL keeps threads and handlers of its own, so the module stays loaded for the process's life.
    Result<void*> factory = ProgramModule::factory(fileFor(program), kHostWindowFactoryName);
    if (!factory)
        return factory.failure();
    return reinterpret_cast<HostWindowFactory>(factory.value());
}

Result<HostWindowFactory> WindowModule::load() {
    Result<std::filesystem::path> program = ProgramModule::programFile();
    if (!program)
        return program.failure();
    return load(program.value());
}
