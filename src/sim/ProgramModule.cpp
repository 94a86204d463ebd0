#include "sim/ProgramModule.h"

#include <dlfcn.h>

#include <string>
#include <system_error>

std::filesystem::path ProgramModule::fileFor(const std::filesystem::path& program, const char* relativePath) {
    return (program.parent_path() / relativePath).lexically_normal();
}

Result<std::filesystem::path> ProgramModule::programFile() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return Failure{"the program cannot tell where it is (/proc/self/exe: " + error.message() + ")",
                       error.value()};
    return program;
}

Result<void*> ProgramModule::factory(const std::filesystem::path& file, const char* symbol) {
    const std::string name = file.string();
    // A module stays loaded for the life of the process (its libraries keep threads and handlers of
    // their own that must not outlive their code), and a second load of it is the dynamic loader's
    // count going up. RTLD_NOW reports a broken module here, not at the first call into it, and
    // RTLD_LOCAL keeps its libraries' names out of the program's lookups.
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        return Failure{error ? error : name + ": cannot be loaded"};
    }
    void* function = dlsym(handle, symbol);
    if (!function)
        return Failure{name + ": has no " + symbol};
    return function;
}
