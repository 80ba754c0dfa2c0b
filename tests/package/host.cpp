// A small host built outside the source tree against the installed package, with pkg-config and
// with find_package(Wardlet): it makes a data file through the library, asks for a right the
// default administrator holds and for one a stranger lacks, and reads the store back.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "wardlet/wardlet.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DATA-FILE\n", argv[0]);
        return 2;
    }
    SetDataSource(argv[1]);
    if (ModifyPWD("Admin", "4827", "installed-7") != 1) {
        std::fprintf(stderr, "host: ModifyPWD did not save %s\n", argv[1]);
        return 1;
    }
    const bool admin = Islegal("Admin", "installed-7", 0x01010100) == 1;
    const bool stranger = Islegal("nobody", "x", 0x01010100) == 1;
    CObList list;
    const bool store = GetConfigData(&list) == 1 && list.GetCount() == 1;
    std::printf("administrator %s, stranger %s, store %s\n", admin ? "allowed" : "refused",
                stranger ? "allowed" : "refused", store ? "handed out" : "missing");
    return admin && !stranger && store ? 0 : 1;
}
