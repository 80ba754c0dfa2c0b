// What every export shares: the library's own declarations and the guard that keeps C++
// exceptions from ever reaching the host.
#pragma once

#include <cstdio>
#include <exception>
#include <utility>

#include "wardlet/wardlet.h"

// Runs `body`; an exception that escapes it is reported on standard error and `fallback`
// returned instead.
template <typename Result, typename Body>
Result GuardExport(const char* exportName, Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "wardlet: %s failed: %s\n", exportName, error.what());
    } catch (...) {
        std::fprintf(stderr, "wardlet: %s failed\n", exportName);
    }
    return fallback;
}

template <typename Body>
void GuardExport(const char* exportName, Body&& body) noexcept {
    GuardExport(exportName, 0, [&] {
        std::forward<Body>(body)();
        return 0;
    });
}

// A host's text: null is taken as empty.
inline CString HostText(const char* text) { return CString(text ? text : ""); }

// Copies `text` and its terminating zero into a host buffer (which carries no size).
void CopyToHostBuffer(char* buffer, const CString& text);
