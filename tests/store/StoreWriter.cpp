// wardlet_store_writer DATA USER ROUNDS: a second host program for the lock tests. It changes
// USER's password ROUNDS times with ModifyPWD, from "USER-0" to "USER-ROUNDS", one step a call.
// A change that another program's save undid makes the next step fail. Exits 0 when every step
// was saved, 1 when one was refused, 2 on bad arguments.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "wardlet/wardlet.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: wardlet_store_writer DATA USER ROUNDS\n");
        return 2;
    }
    SetDataSource(argv[1]);
    const std::string user = argv[2];
    const int rounds = std::atoi(argv[3]);
    for (int round = 0; round < rounds; ++round) {
        const std::string before = user + "-" + std::to_string(round);
        const std::string after = user + "-" + std::to_string(round + 1);
        if (ModifyPWD(user.c_str(), before.c_str(), after.c_str()) != 1) {
            std::fprintf(stderr, "wardlet_store_writer: %s: step %d refused\n", user.c_str(),
                         round);
            return 1;
        }
    }
    return 0;
}
