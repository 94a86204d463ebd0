#include "sim/screen/WindowModule.h"

#include <dlfcn.h>

#include <system_error>

#ifndef ORBITCHAT_SIM_WINDOW_MODULE
#error                                                                                                       \
    "ORBITCHAT_SIM_WINDOW_MODULE (the module's path relative to the program's folder) is set by src/sim/CMakeLists.txt"
#endif

std::filesystem::path WindowModule::fileFor(const std::filesystem::path& program) {
    return (program.parent_path() / ORBITCHAT_SIM_WINDOW_MODULE).lexically_normal();
}

Result<HostWindowFactory> WindowModule::load(const std::filesystem::path& program) {
    const std::string file = fileFor(program).string();
    // The module stays loaded for the life of the process (SDL keeps threads and handlers of its
    // own that must not outlive its code), and a second load of it is the dynamic loader's count
    // going up. RTLD_NOW reports a broken module here, not at the first call into it.
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        return Failure{error ? error : file + ": cannot be loaded"};
    }
    auto factory = reinterpret_cast<HostWindowFactory>(dlsym(handle, kHostWindowFactoryName));
    if (!factory)
        return Failure{file + ": has no " + kHostWindowFactoryName};
    return factory;
}

Result<HostWindowFactory> WindowModule::load() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return Failure{"the program cannot tell where it is (/proc/self/exe: " + error.message() + ")",
                       error.value()};
    return load(program);
}
