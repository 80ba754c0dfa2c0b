#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

std::unique_ptr<DynamicLibrary> DynamicLibrary::Load(const char* name, std::string* error) {
    // dlopen(nullptr) would hand out the main program, which no caller means.
    if (name == nullptr) {
        if (error != nullptr) *error = "no library name";
        return nullptr;
    }
    void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        if (error != nullptr) {
            const char* reason = dlerror();
            *error = reason != nullptr ? reason : "cannot load library";
        }
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::DynamicLibrary(void* handle) : handle_(handle) {}

DynamicLibrary::~DynamicLibrary() { dlclose(handle_); }

void* DynamicLibrary::Entry(const char* symbol) const {
    return symbol != nullptr ? dlsym(handle_, symbol) : nullptr;
}

std::string LoadedFileOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0') {
        return "";
    }
    char resolved[PATH_MAX];
    return realpath(info.dli_fname, resolved) != nullptr ? resolved : "";
}
