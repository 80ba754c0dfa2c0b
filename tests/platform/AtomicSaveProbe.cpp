// atomic_save_probe FILE: replaces FILE with the line "saved by the probe" the way the library
// saves its data file, for a test that watches the system calls from outside. Exits 0 on success.
#include <cstdio>
#include <string>

#include "platform/AtomicFile.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string content = "saved by the probe\n";
    std::string error;
    if (!ReplaceFileAtomically(argv[1], content.data(), content.size(), &error)) {
        std::fprintf(stderr, "atomic_save_probe: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
