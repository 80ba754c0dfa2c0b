// Real processes for the tests, started through the shell, which keeps the plumbing short.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

// Set to a folder, it makes the test binary claim a notice slot there, print "<slot> <pid>" and
// hold the slot until killed, instead of running tests.
inline constexpr const char* kHoldSlotVariable = "POPNOTE_TEST_HOLD_SLOT_IN";

// Runs `command` with sh; returns its exit status and sets `output` to its standard output.
inline int RunShell(const std::string& command, std::string& output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
