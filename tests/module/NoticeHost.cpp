// A host that loads libwardlet.so from the path it is given and makes the library show one
// notice: LogIn before any data source finds the login slot missing and says so.
#include <dlfcn.h>

#include <cstdio>

#include "wardlet/wardlet.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    auto logIn = reinterpret_cast<decltype(&LogIn)>(dlsym(library, "LogIn"));
    if (logIn == nullptr) return 1;
    logIn();
    return dlclose(library) == 0 ? 0 : 1;
}
