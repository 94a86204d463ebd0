#include "platform/process/LazyLibrary.h"

#include <dlfcn.h>

void LibraryLookup::open(const char* soname) {
    if (!failure_.empty())
        return;
    soname_ = soname;
    handle_ = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* error = dlerror();
        failure_ = error ? error : words_.cannotOpen;
    }
}

void* LibraryLookup::symbol(const char* name) {
    void* found = handle_ ? dlsym(handle_, name) : nullptr;
    if (!found)
        failure_ = std::string(words_.missing) + name;
    return found;
}

void LibraryLookup::fail(std::string why) {
    if (failure_.empty())
        failure_ = std::move(why);
}
