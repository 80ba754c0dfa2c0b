// Checks for test programs that play a host: they load libwardlet.so by path, look its functions
// up by name, report every failed check on stderr and count them.
#pragma once

#include <dlfcn.h>

#include <cstdio>

inline int g_failures = 0;

inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++g_failures;
    }
}

template <typename Function>
Function Find(void* library, const char* name) {
    auto function = reinterpret_cast<Function>(dlsym(library, name));
    Check(function != nullptr, name);
    return function;
}
